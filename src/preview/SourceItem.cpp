#include "preview/SourceItem.h"

#include <system_error>

#include "resize/AverageResize.h"
#include "bitmap/BmpCodec.h"

namespace vexaro::detail {

namespace {
constexpr int kAreaWidth = 176;
constexpr int kStatusHeight = 50;
constexpr int kMainHeight = 150;
} // namespace

bool SourceFilePresent(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return false;
    if (ec)
        return true; // there is something by that name we cannot examine; opening it says why
    return status.type() != std::filesystem::file_type::directory;
}

void DrawSourceItem(const Workspace& workspace, const WindowSeam& window, WorkingBitmaps& work, Bitmap& picture,
                    const SourceItem& item)
{
    const std::filesystem::path path = workspace.sourceBitmap(window.fieldText(item.field));
    if (!SourceFilePresent(path))
        return;
    LoadBmpFile(path.string(), work.loader);
    switch (item.how) {
    case ItemDraw::Resize50:
        AverageResize(work.loader, work.resized, kAreaWidth, kStatusHeight);
        Draw(picture, work.resized, item.x, item.y);
        break;
    case ItemDraw::Resize150:
        AverageResize(work.loader, work.resized, kAreaWidth, kMainHeight);
        Draw(picture, work.resized, item.x, item.y);
        break;
    case ItemDraw::Loaded:
        Draw(picture, work.loader, item.x, item.y, work.transparent);
        break;
    }
}

} // namespace vexaro::detail
