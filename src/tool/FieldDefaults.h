#pragma once
// The fifteen bitmap number fields Edit1 to Edit15, in one table: what each field's bitmap is in
// the theme (one of the three screen areas, stacked top to bottom, or one of the six menu icons
// in its first or second form), the window's caption for it, the size it is drawn at, and the
// design-time text it keeps when "Settings.ini" has no value for it. The window, the theme
// build, the previews and the look inside a theme all read it here, and get the bitmap a field
// names through a FieldBitmapLoader.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "bitmap/Bitmap.h"

namespace vexaro {

inline constexpr int kFieldCount = 15;

struct PixelSize {
    int width = 0, height = 0;
    bool operator==(const PixelSize&) const = default;
};

struct ThemeField {
    int number;            // 1 to 15: Edit1 to Edit15, and the field's key in "Settings.ini"
    std::string_view name; // the area ("status area") or the icon ("Camera")
    int form;              // 0 for an area; an icon's first (1) or second (2) form
    int column;            // an icon's column in the window and in the Siemens menu, 0 to 5; 0 for an area
    // The window's caption: beside an area's field its size, height x width; over the icon
    // columns, the first-form captions one after another.
    std::string_view caption;
    PixelSize size;  // an area's size in the theme; none for an icon, which may have any size
    PixelSize drawn; // the size the previews and the Siemens theme resize it to; none: its own size
    std::string_view defaultText;

    bool isIcon() const { return form != 0; }
};

inline constexpr int kStatusAreaField = 1;
inline constexpr int kMainAreaField = 2;
inline constexpr int kControlAreaField = 3;

inline constexpr std::array<ThemeField, kFieldCount> kThemeFields = {{
    {1, "status area", 0, 0, "44x176", {176, 44}, {176, 50}, "002"},
    {2, "main area", 0, 0, "144x176", {176, 144}, {176, 150}, "003"},
    {3, "control area", 0, 0, "20x176", {176, 20}, {}, "004"},
    {4, "Camera", 1, 0, "Camera    ", {}, {}, "165"},
    {5, "Organiser", 1, 1, "Organiser   ", {}, {}, "023"},
    {6, "Music", 1, 2, "Music     ", {}, {}, "133"},
    {7, "Games", 1, 3, "Games      ", {}, {}, "109"},
    {8, "Extras", 1, 4, "Extras      ", {}, {}, "121"},
    {9, "Setup", 1, 5, "Setup", {}, {}, "073"},
    {10, "Camera", 2, 0, "Camera    ", {}, {}, "167"},
    {11, "Organiser", 2, 1, "Organiser   ", {}, {}, "025"},
    {12, "Music", 2, 2, "Music     ", {}, {}, "135"},
    {13, "Games", 2, 3, "Games      ", {}, {}, "111"},
    {14, "Extras", 2, 4, "Extras      ", {}, {}, "123"},
    {15, "Setup", 2, 5, "Setup", {}, {}, "075"},
}};

// "Settings.ini" keeps the field texts in this section, under the keys "1" to "15".
inline constexpr const char* kFieldSettingsSection = "Files";

// The texts of the fifteen fields; index 0 is field 1.
using FieldTexts = std::array<std::string, kFieldCount>;

// The row of field `n` (1 to 15); throws std::out_of_range for another number.
inline const ThemeField& ThemeFieldOf(int n) { return kThemeFields.at(static_cast<std::size_t>(n - 1)); }

// Default text of field `n` (1 to 15).
inline std::string FieldDefault(int n) { return std::string(ThemeFieldOf(n).defaultText); }

// What field `n` is, for people: "status area", "Camera icon", "Camera icon, second form".
inline std::string FieldName(int n)
{
    const ThemeField& f = ThemeFieldOf(n);
    if (!f.isIcon())
        return std::string(f.name);
    return std::string(f.name) + (f.form == 1 ? " icon" : " icon, second form");
}

// The text of a bitmap number as the unpacking names its file and a field names the bitmap: three
// digits with leading zeros (7 -> "007").
inline std::string BitmapNumberText(int number)
{
    const std::string digits = std::to_string(number);
    return digits.size() >= 3 ? digits : std::string(3 - digits.size(), '0') + digits;
}

// Bitmaps beyond this many get no numbered file: the names have three digits (000 to 999).
inline constexpr std::int32_t kMaxUnpackedBitmaps = 1000;

// How a build or a redraw gets the bitmap that field `n` (1 to 15) names: it is loaded into
// `loader` (size, format and pixels) and the call returns true, or the theme has none and the
// call returns false with `loader` as it was. Throws what reading the bitmap throws ("Bitmap
// image is not valid", "Cannot open file ...").
using FieldBitmapLoader = std::function<bool(int n, Bitmap& loader)>;

} // namespace vexaro
