#pragma once
// A look inside a theme without unpacking it: its bitmaps as the multi-bitmap file declares
// them, the bitmap each of the fifteen number fields names, whether that bitmap is there and
// fits, and for every field the bitmaps that would serve it, best first. Nothing is written.
//
// Masks. A bitmap is a mask when it is grey (1 to 8 bits) and follows a colour bitmap of its
// size (the mask companion of that bitmap), or when its pixels are only black and white. Sizes,
// depths and the first rule come from the headers; the pixels of a bitmap are decoded only when
// a rule needs them: for a field's own bitmap, for the candidates shown, and for the companion
// of a candidate icon. What a look decodes stays within mbm::kMaxThemePixels in all; a bitmap
// beyond that is taken at its header's word.
//
// Which bitmaps serve a field (its candidates): colour bitmaps that are no mask, whose numbers
// the unpacking writes (below kMaxUnpackedBitmaps), that no other field which fits already
// names, except that an area may share its picture with another area.
//   - The status, main and control areas are resized, so any such bitmap serves; first those
//     with enough pixels (at least half the area's width and height, ThemeField::size), then
//     the rest; within each, the closest aspect ratio first, then the closest pixel count.
//   - An icon takes bitmaps of icon size (up to kLargestIcon on each side): first those of the
//     size most usable icons of its form already have (of the other form when its own has
//     none; that size is FieldFacts::wanted), then the larger before the smaller.
// A field fits when its bitmap is there, is a colour bitmap and no mask, and for an area is of
// the area's size.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "bitmap/Bitmap.h"
#include "import/UnpackedTheme.h"
#include "tool/FieldDefaults.h"

namespace vexaro {

// Icons are no larger than this on either side.
inline constexpr PixelSize kLargestIcon{44, 44};
// A field lists at most this many candidates.
inline constexpr std::size_t kMaxCandidates = 10;

struct BitmapFacts {
    int number = 0;
    int width = 0, height = 0;
    int bitsPerPixel = 0;
    std::uint32_t colourMode = 0;  // 0 grey, 1 colour, 2 alpha, 3 premultiplied alpha
    std::uint32_t compression = 0; // 0 none, 1 byte RLE, 2 12-bit, 3 16-bit, 4 24-bit, 5 32-bit, 6 32-bit alpha
    std::int64_t bytes = 0;        // what the bitmap takes in the file: its header and stored data
    std::string fault;             // why it cannot be unpacked; empty when it can (as far as known)
    bool mask = false;             // a mask, by the rules above (as far as known)
    int maskCompanion = -1;        // a colour bitmap's mask that follows it; -1 when none
    bool decoded = false;          // its pixels were decoded: fault and mask are certain
};

struct FieldFacts {
    int field = 0;                     // 1 to 15
    std::string text;                  // the field's text
    int bitmap = -1;                   // the bitmap the text names, -1 when it names none
    bool exists = false;               // that bitmap is in the theme and can be unpacked
    std::optional<PixelSize> expected; // an area's size in the theme; nothing for an icon
    bool fits = false;                 // exists, colour, no mask, of the expected size where there is one
    // An area's size, or the size of its form's icons; nothing for an icon with none to go by.
    std::optional<PixelSize> wanted;
    std::vector<int> candidates; // best first, at most kMaxCandidates; may hold the field's own bitmap
};

struct ThemeFacts {
    std::string name;                 // the theme file as the user named it
    std::vector<BitmapFacts> bitmaps; // in file order
    std::array<FieldFacts, kFieldCount> fields;
    // "--set 2=005 --set 4=170", "" when nothing to offer: each icon that does not fit takes its
    // best candidate that no other icon holds or took (in field order), then each area that does
    // not fit its best candidate that no icon holds or took, unless that is its own bitmap.
    std::string setLine;
};

// A theme's multi-bitmap file, read into memory.
struct ThemeBytes {
    std::string name; // as the user named the theme file
    std::vector<std::uint8_t> mbm;
};

// The largest theme file taken into memory whole (standard input): a multi-bitmap file's limit.
inline constexpr std::size_t kMaxThemeFileBytes = std::size_t{1} << 30;

// The theme file whose bytes are `bytes` (read from standard input, say), shown as `name`; a
// package's multi-bitmap entry is read into memory. Throws Error when the package is refused or
// damaged (the package reader's messages) or holds no multi-bitmap file (NoMultiBitmapMessage).
ThemeBytes ThemeBytesInMemory(const std::string& name, std::vector<std::uint8_t> bytes, ThemeFileType type);

// The theme in `theme`, of `type`, shown as `name`, whose file is called `fileName`: its
// multi-bitmap file, read into memory. Throws as ThemeBytesInMemory does, and Error("Cannot open
// file "NAME". Larger than N bytes") for a multi-bitmap file over mbm::kMaxMbmFileBytes.
ThemeBytes ReadThemeBytes(const ByteSource& theme, ThemeFileType type, const std::string& name,
                          const std::string& fileName);

// The bitmaps of the multi-bitmap file `bytes` from their headers, grey masks marked. Throws
// Error when the bytes are no multi-bitmap file.
std::vector<BitmapFacts> ReadBitmapFacts(std::span<const std::uint8_t> bytes);

// The fifteen fields against the theme, with the candidates and the --set line (rules above).
// Throws Error when its bytes are no multi-bitmap file (UnreadableMultiBitmapMessage) or its
// bitmaps, as an Open would unpack them, come to more than mbm::kMaxThemePixels
// (mbm::CheckThemePixels); nothing is decoded then.
ThemeFacts DescribeTheme(const ThemeBytes& theme, const FieldTexts& fields);

// ReadThemeBytes, then DescribeTheme.
ThemeFacts InspectTheme(const ByteSource& theme, ThemeFileType type, const std::string& name,
                        const std::string& fileName, const FieldTexts& fields);

// Every bitmap of the theme with the unpacking's numbers, in order, with its facts (mask and
// fault as its pixels tell) and its picture (empty when it cannot be decoded). One picture is
// held at a time. Throws Error when the theme decodes to more than mbm::kMaxThemePixels.
void ForEachBitmapPicture(const ThemeBytes& theme, const std::function<void(const BitmapFacts&, const Bitmap&)>& visit);

} // namespace vexaro
