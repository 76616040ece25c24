#include "cli/ThemeSheet.h"

#include <algorithm>

#include "import/ThemeInfo.h"
#include "preview/ContactSheet.h"

namespace vexaro::cli {

Bitmap ThemeSheet(const ThemeBytes& theme, const ThemeFacts& facts)
{
    ContactSheet sheet(std::min(facts.bitmaps.size(), static_cast<std::size_t>(kMaxUnpackedBitmaps)));
    ForEachBitmapPicture(theme, [&](const BitmapFacts& b, const Bitmap& picture) {
        std::string first = BitmapNumberText(b.number);
        SheetMark mark = SheetMark::Picture;
        if (!b.fault.empty()) {
            first += " damaged";
            mark = SheetMark::Broken;
        } else if (b.mask) {
            first += " mask";
            mark = SheetMark::Mask;
        }
        sheet.add(picture, first, SizeAndDepthText(b), mark);
    });
    return sheet.picture();
}

} // namespace vexaro::cli
