#pragma once
// A look inside a theme without unpacking it: its bitmaps as the multi-bitmap file declares
// them, the bitmap each of the fifteen number fields names, whether that bitmap is there and of
// the size its area expects, and for the others the bitmaps that would fit.
//
// Which bitmaps fit a field:
//   - the status, main and control areas (fields 1 to 3) take bitmaps of exactly 176 x 44,
//     176 x 144 and 176 x 20;
//   - an icon field (4 to 15) takes bitmaps of the size most icons of its form (4 to 9 the first
//     form, 10 to 15 the second) have in the theme, counting the icon fields whose bitmap is
//     there; when none of its form is there, that of the other form; when no icon is there at
//     all, any bitmap no larger than 44 x 44.
// Only readable colour bitmaps are offered (grey ones are masks), none that another field
// already names, and only numbers the unpacking writes (0 to 999).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/ConsoleWindow.h"
#include "import/ImportCommands.h"
#include "tool/Workspace.h"

namespace vexaro::cli {

struct BitmapFacts {
    int number = 0;
    int width = 0, height = 0;
    int bitsPerPixel = 0;
    std::uint32_t colourMode = 0;
    std::uint32_t compression = 0;
    std::int64_t bytes = 0; // what the bitmap takes in the file: its header and stored data
    std::string fault;      // why it cannot be unpacked; empty when it can
};

struct AreaSize {
    int width = 0, height = 0;
    bool operator==(const AreaSize&) const = default;
};

struct FieldFacts {
    int field = 0;                    // 1 to 15
    std::string text;                 // the field's text
    int bitmap = -1;                  // the bitmap the text names, -1 when it names none
    bool exists = false;              // that bitmap is in the theme and can be unpacked
    std::optional<AreaSize> expected; // fields 1 to 3
    bool fits = false;                // exists, of the expected size where there is one
    std::vector<int> suggestions;     // when it does not fit: the bitmaps that would
};

struct ThemeFacts {
    std::string name;                 // the theme file as the user named it
    std::vector<BitmapFacts> bitmaps; // in file order
    std::array<FieldFacts, kFieldCount> fields;
    std::string setLine; // "--set 2=005 --set 4=170", "" when nothing to offer
};

// The bitmaps of the multi-bitmap file `bytes`, each one decoded to find whether it can be
// unpacked. Throws Error when the bytes are no multi-bitmap file.
std::vector<BitmapFacts> ReadBitmapFacts(std::span<const std::uint8_t> bytes);

// The fifteen fields against `bitmaps`, with the suggestions and the --set line (rules above).
ThemeFacts DescribeTheme(const std::string& name, std::vector<BitmapFacts> bitmaps, const FieldTexts& fields);

// The theme file `file` (a package's multi-bitmap entry is taken out through the package
// reader into a temporary folder of its own). Throws Error when the file cannot be read, the
// package is damaged or holds no multi-bitmap file, or that file is no multi-bitmap file.
ThemeFacts InspectThemeFile(const std::string& file, ThemeFileType type, const FieldTexts& fields);

// The theme opened in `workspace` ("Nokia\temp.mbm"). Throws Error when none is.
ThemeFacts InspectWorkspace(const Workspace& workspace, const FieldTexts& fields);

// For people: the bitmap table, the field table, the fitting bitmaps and the --set line.
std::string FactsText(const ThemeFacts& facts);

// For scripts: one JSON object {"file", "bitmaps": [...], "fields": [...], "set"}.
std::string FactsJson(const ThemeFacts& facts);

} // namespace vexaro::cli
