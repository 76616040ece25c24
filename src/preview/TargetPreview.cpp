#include "preview/TargetPreview.h"

#include <array>
#include <string>

#include "preview/SourceItem.h"

namespace vexaro {

namespace {

using detail::ItemDraw;
using detail::SourceItem;

constexpr int kWidth = 280, kHeight = 385;

// Icons of both rows stand 44 pixels apart from x = 5; the first-form row at y = 290, the
// second-form row at y = 321.
constexpr std::array<SourceItem, 3> kAreas = {{
    {1, 5, 45, ItemDraw::Resize50},
    {2, 5, 95, ItemDraw::Resize150},
    {3, 5, 245, ItemDraw::Loaded},
}};

constexpr std::array<SourceItem, 12> kIcons = {{
    {4, 5, 290, ItemDraw::Loaded},
    {5, 49, 290, ItemDraw::Loaded},
    {6, 93, 290, ItemDraw::Loaded},
    {7, 137, 290, ItemDraw::Loaded},
    {8, 181, 290, ItemDraw::Loaded},
    {9, 225, 290, ItemDraw::Loaded},
    {10, 5, 321, ItemDraw::Loaded},
    {11, 49, 321, ItemDraw::Loaded},
    {12, 93, 321, ItemDraw::Loaded},
    {13, 137, 321, ItemDraw::Loaded},
    {14, 181, 321, ItemDraw::Loaded},
    {15, 225, 321, ItemDraw::Loaded},
}};

} // namespace

void DrawTargetPreview(const Workspace& workspace, WindowSeam& window, Bitmap& image1)
{
    if (image1.width() != kWidth || image1.height() != kHeight)
        image1.reset(kWidth, kHeight, PixelFormat::Bits24);
    image1.fill(kPreviewFill);

    const CaptionStyle style{};
    if (!kWebAddress.empty())
        window.drawCaption(image1, 5, 2, std::string(kVisitCaptionLead) + std::string(kWebAddress), style);
    window.drawCaption(image1, 5, 30, std::string(kImageCaption), style);

    detail::WorkingBitmaps work;
    for (const SourceItem& item : kAreas)
        detail::DrawSourceItem(workspace, window, work, image1, item);
    work.transparent = true;

    window.drawCaption(image1, 5, 275, std::string(kMenuCaption), style);
    for (const SourceItem& item : kIcons)
        detail::DrawSourceItem(workspace, window, work, image1, item);
    window.drawCaption(image1, 5, 367, std::string(kMenuNamesCaption), style);
}

} // namespace vexaro
