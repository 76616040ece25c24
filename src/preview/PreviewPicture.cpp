#include "preview/PreviewPicture.h"

#include <array>
#include <string>

#include "preview/SourceItem.h"

namespace vexaro {

namespace {

using detail::SourceItem;

constexpr int kWidth = 280, kHeight = 385;

// Icons of both rows stand 44 pixels apart from x = 5; the first-form row at y = 290, the
// second-form row at y = 321.
constexpr std::array<SourceItem, 3> kAreas = {{
    {1, 5, 45},
    {2, 5, 95},
    {3, 5, 245},
}};

constexpr std::array<SourceItem, 12> kIcons = {{
    {4, 5, 290},
    {5, 49, 290},
    {6, 93, 290},
    {7, 137, 290},
    {8, 181, 290},
    {9, 225, 290},
    {10, 5, 321},
    {11, 49, 321},
    {12, 93, 321},
    {13, 137, 321},
    {14, 181, 321},
    {15, 225, 321},
}};

} // namespace

void ComposeTargetPreview(const FieldBitmapLoader& load, const CaptionPainter& caption, Bitmap& image1)
{
    if (image1.width() != kWidth || image1.height() != kHeight)
        image1.reset(kWidth, kHeight, PixelFormat::Bits24);
    image1.fill(kPreviewFill);

    const CaptionStyle style{};
    if (!kWebAddress.empty())
        caption(image1, 5, 2, std::string(kVisitCaptionLead) + std::string(kWebAddress), style);
    caption(image1, 5, 30, std::string(kImageCaption), style);

    detail::WorkingBitmaps work;
    for (const SourceItem& item : kAreas)
        detail::DrawSourceItem(load, work, image1, item);
    work.transparent = true;

    caption(image1, 5, 275, std::string(kMenuCaption), style);
    for (const SourceItem& item : kIcons)
        detail::DrawSourceItem(load, work, image1, item);
    caption(image1, 5, 367, std::string(kMenuNamesCaption), style);
}

} // namespace vexaro
