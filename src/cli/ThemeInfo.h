#pragma once
// The info command's output: the facts of a theme (import/ThemeFacts.h) for people and for
// scripts.
#include <string>

#include "bitmap/Bitmap.h"
#include "import/ThemeFacts.h"

namespace vexaro::cli {

// For people: the bitmap table, the field table, the candidates and the --set line.
std::string FactsText(const ThemeFacts& facts);

// For scripts: one JSON object {"format": 1, "file", "bitmaps": [...], "fields": [...], "set"}, valid
// UTF-8 whatever the names hold: a text that is no UTF-8 shows U+FFFD and comes with its bytes in
// hex as "file_hex" or "text_hex".
std::string FactsJson(const ThemeFacts& facts);

// What info --json prints instead when it fails: {"format": 1, "error": "message"}, valid UTF-8
// as above.
std::string ErrorJson(const std::string& message);

// The contact sheet of `theme` (whose facts are `facts`): every bitmap the unpacking writes, each
// captioned with its number and "mask" or "damaged" where it is one, then its size and depth.
// Throws Error when the theme decodes to more pixels than a theme may.
Bitmap ThemeSheet(const ThemeBytes& theme, const ThemeFacts& facts);

// The quality of a contact sheet written as JPEG.
inline constexpr int kSheetQuality = 90;

} // namespace vexaro::cli
