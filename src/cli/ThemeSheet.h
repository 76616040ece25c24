#pragma once
// The contact sheet of a theme: one picture of every bitmap the unpacking writes, for info
// --sheet and beside each theme of a report.
#include "bitmap/Bitmap.h"
#include "import/ThemeFacts.h"

namespace vexaro::cli {

// Every bitmap the unpacking writes, each captioned with its number and "mask" or "damaged"
// where it is one, then its size and depth. Throws Error when the theme decodes to more pixels
// than a theme may.
Bitmap ThemeSheet(const ThemeBytes& theme, const ThemeFacts& facts);

// The quality of a contact sheet written as JPEG.
inline constexpr int kSheetQuality = 90;

} // namespace vexaro::cli
