#pragma once
// Themes made in code for tests: converted ones, partial ones, and the damaged ones the Open
// command refuses, each as the file a user would have.
#include <cstdint>
#include <string>
#include <vector>

namespace vexaro::test {

// A theme that does not follow the default numbering, as a multi-bitmap file: 166 bitmaps, so
// 167 (field 10) is missing; 133 (field 6) cannot be unpacked; the main area 003 is 176 x 208
// while 010 is 176 x 144; the first-form icons are 44 x 29 and 140 is one more of them, the
// second-form icons 44 x 44 and 150 is one more.
std::vector<std::uint8_t> UnusualTheme();

struct ThemeFixture {
    std::string name; // "Unusual.mbm": the extension gives the type
    std::vector<std::uint8_t> bytes;
};

// Every kind of theme the conversion meets, named after what it shows: the unusual theme alone
// and in a package, themes whose bitmaps are all faulty, of no pixels where a field or the
// preview reads them, a multi-bitmap file of no bitmaps, of 1002 bitmaps, of the ROM form,
// damaged ones, and packages without a theme, with a corrupt entry before or after the theme,
// with a command file of their own, or announcing more than one package may unpack.
std::vector<ThemeFixture> MadeThemes();

} // namespace vexaro::test
