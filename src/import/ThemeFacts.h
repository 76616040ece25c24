#pragma once
// A look inside a theme without unpacking it: its bitmaps as the multi-bitmap file declares
// them, the bitmap each of the fifteen number fields names, whether that bitmap is there and of
// the size its area expects, and for the others the bitmaps that would fit. Nothing is written.
//
// Which bitmaps fit a field:
//   - the status, main and control areas take bitmaps of exactly their size in a theme
//     (ThemeField::size: 176 x 44, 176 x 144 and 176 x 20);
//   - an icon field takes bitmaps of the size most icons of its form have in the theme,
//     counting the icon fields whose bitmap is there; when none of its form is there, that of
//     the other form; when no icon is there at all, any bitmap no larger than kLargestIcon.
// Only readable colour bitmaps are offered (grey ones are masks), none that another field
// already names, and only numbers the unpacking writes (below kMaxUnpackedBitmaps).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "import/UnpackedTheme.h"
#include "tool/FieldDefaults.h"

namespace vexaro {

// Without an icon in the theme to go by, an icon is offered bitmaps no larger than this.
inline constexpr PixelSize kLargestIcon{44, 44};

struct BitmapFacts {
    int number = 0;
    int width = 0, height = 0;
    int bitsPerPixel = 0;
    std::uint32_t colourMode = 0;  // 0 grey, 1 colour, 2 alpha, 3 premultiplied alpha
    std::uint32_t compression = 0; // 0 none, 1 byte RLE, 2 12-bit, 3 16-bit, 4 24-bit, 5 32-bit, 6 32-bit alpha
    std::int64_t bytes = 0;        // what the bitmap takes in the file: its header and stored data
    std::string fault;             // why it cannot be unpacked; empty when it can
};

struct FieldFacts {
    int field = 0;                     // 1 to 15
    std::string text;                  // the field's text
    int bitmap = -1;                   // the bitmap the text names, -1 when it names none
    bool exists = false;               // that bitmap is in the theme and can be unpacked
    std::optional<PixelSize> expected; // an area's size in the theme; nothing for an icon
    bool fits = false;                 // exists, of the expected size where there is one
    // When it does not fit: the size of the bitmaps offered (nothing: an icon with no icon to
    // go by, offered any up to kLargestIcon) and the bitmaps that would fit.
    std::optional<PixelSize> wanted;
    std::vector<int> suggestions;
};

struct ThemeFacts {
    std::string name;                 // the theme file as the user named it
    std::vector<BitmapFacts> bitmaps; // in file order
    std::array<FieldFacts, kFieldCount> fields;
    std::string setLine; // "--set 2=005 --set 4=170", "" when nothing to offer
};

// The bitmaps of the multi-bitmap file in `mbm`, each one decoded to find whether it can be
// unpacked. Throws Error when the bytes are no multi-bitmap file.
std::vector<BitmapFacts> ReadBitmapFacts(const ByteReader& mbm);

// The fifteen fields against `bitmaps`, with the suggestions and the --set line (rules above).
ThemeFacts DescribeTheme(const std::string& name, std::vector<BitmapFacts> bitmaps, const FieldTexts& fields);

// The theme in `theme`, of `type`, shown as `name`, whose file is called `fileName`; a package's
// multi-bitmap entry is read as a conversion reads it (import/UnpackedTheme.h). Throws Error when
// the package is refused or damaged or holds no multi-bitmap file, or that file is no
// multi-bitmap file; a multi-bitmap file longer than mbm::kMaxMbmFileBytes is refused as a file
// that cannot be opened ("Cannot open file "NAME". Larger than N bytes").
ThemeFacts InspectTheme(const ByteSource& theme, ThemeFileType type, const std::string& name,
                        const std::string& fileName, const FieldTexts& fields);

} // namespace vexaro
