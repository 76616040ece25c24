#include "preview/SourceItem.h"

#include <optional>

#include "resize/AverageResize.h"
#include "bitmap/BmpCodec.h"
#include "tool/FieldDefaults.h"

namespace vexaro::detail {

void DrawSourceItem(const Workspace& workspace, const WindowSeam& window, WorkingBitmaps& work, Bitmap& picture,
                    const SourceItem& item)
{
    const std::optional<std::filesystem::path> path = workspace.findSourceBitmap(window.fieldText(item.field));
    if (!path)
        return;
    LoadBmpFile(path->string(), work.loader);
    const PixelSize drawn = ThemeFieldOf(item.field).drawn;
    if (drawn == PixelSize{}) {
        Draw(picture, work.loader, item.x, item.y, work.transparent);
        return;
    }
    AverageResize(work.loader, work.resized, drawn.width, drawn.height);
    Draw(picture, work.resized, item.x, item.y);
}

} // namespace vexaro::detail
