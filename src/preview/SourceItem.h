#pragma once
// One bitmap item of a redraw: the bitmap that a bitmap number field names, loaded into the
// loader bitmap and drawn onto a picture. Shared by the source panel and the target preview; not
// part of the library's interface.
#include "bitmap/Bitmap.h"
#include "tool/FieldDefaults.h"

namespace vexaro::detail {

// Where a field's bitmap is drawn. A field with a size to be drawn at (the status and main
// areas) is resized to it with AverageResize and drawn opaque; any other bitmap is drawn at its
// own size, opaque or transparent by the loader's state.
struct SourceItem {
    int field; // bitmap number field, 1 to 15
    int x, y;
};

// The working bitmaps of one redraw, released with it (also when it ends with an error).
struct WorkingBitmaps {
    Bitmap loader;
    Bitmap resized;
    bool transparent = false; // the loader's drawing mode; once switched on it stays on
};

// Loads the field's bitmap through `load` and, when the theme has one, draws it onto `picture`.
// Throws what `load` throws ("Cannot open file ...", "Bitmap image is not valid").
void DrawSourceItem(const FieldBitmapLoader& load, WorkingBitmaps& work, Bitmap& picture, const SourceItem& item);

} // namespace vexaro::detail
