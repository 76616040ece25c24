#include "preview/SourceItem.h"

#include "resize/AverageResize.h"

namespace vexaro::detail {

void DrawSourceItem(const FieldBitmapLoader& load, WorkingBitmaps& work, Bitmap& picture, const SourceItem& item)
{
    if (!load(item.field, work.loader))
        return;
    const PixelSize drawn = ThemeFieldOf(item.field).drawn;
    if (drawn == PixelSize{}) {
        Draw(picture, work.loader, item.x, item.y, work.transparent);
        return;
    }
    AverageResize(work.loader, work.resized, drawn.width, drawn.height);
    Draw(picture, work.resized, item.x, item.y);
}

} // namespace vexaro::detail
