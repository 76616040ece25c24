#pragma once
// One bitmap item of a redraw: the numbered BMP file that a bitmap number field names, read
// into the loader bitmap and drawn onto a picture. Shared by the source panel and the target
// preview; not part of the library's interface.
#include "bitmap/Bitmap.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

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

// Reads the field's text now, and when it names a file in "Nokia\MBM\" (Workspace::
// findSourceBitmap) loads it and draws it onto `picture`. Throws what LoadBmpFile throws ("Cannot open file ...",
// "Bitmap image is not valid").
void DrawSourceItem(const Workspace& workspace, const WindowSeam& window, WorkingBitmaps& work, Bitmap& picture,
                    const SourceItem& item);

} // namespace vexaro::detail
