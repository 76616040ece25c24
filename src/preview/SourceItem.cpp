#include "preview/SourceItem.h"

#include <optional>

#include "resize/AverageResize.h"
#include "bitmap/BmpCodec.h"

namespace vexaro::detail {

namespace {
constexpr int kAreaWidth = 176;
constexpr int kStatusHeight = 50;
constexpr int kMainHeight = 150;
} // namespace

void DrawSourceItem(const Workspace& workspace, const WindowSeam& window, WorkingBitmaps& work, Bitmap& picture,
                    const SourceItem& item)
{
    const std::optional<std::filesystem::path> path = workspace.findSourceBitmap(window.fieldText(item.field));
    if (!path)
        return;
    LoadBmpFile(path->string(), work.loader);
    switch (item.how) {
    case ItemDraw::Resize50:
        AverageResize(work.loader, work.resized, kAreaWidth, kStatusHeight);
        Draw(picture, work.resized, item.x, item.y);
        break;
    case ItemDraw::Resize150:
        AverageResize(work.loader, work.resized, kAreaWidth, kMainHeight);
        Draw(picture, work.resized, item.x, item.y);
        break;
    case ItemDraw::Loaded: Draw(picture, work.loader, item.x, item.y, work.transparent); break;
    }
}

} // namespace vexaro::detail
