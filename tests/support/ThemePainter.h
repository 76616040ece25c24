#pragma once
// A made-up Nokia theme for tests: numbered BMP files in "<workspace>/Nokia/MBM/", as the
// unpacking job leaves them, one per bitmap number field.
//
// The default shapes are the nominal screen areas (status 176x44, main 176x144, control 176x20)
// and twelve icons of several sizes and formats, chosen to exercise the previews: a first-form
// icon wider than its spacing, one taller than its row, one spilling over the right edge,
// second-form icons that reach the caption line, 8-bit icons whose palette repeats the background
// colour under another index, and 1-bit icons whose bottom-left pixel is not white.
//
// Icon pixels: the background colour fills the border ring (so both the top-left and the
// bottom-left pixel hold it) and some cells inside; the rest is a pattern that never has the
// background colour. In a 1-bit icon the background is white and the pattern navy, except for
// the bottom-left pixel, which is navy.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"
#include "tool/FieldDefaults.h"
#include "tool/Workspace.h"

namespace vexaro::test {

struct ThemeItemShape {
    int width = 0, height = 0;
    PixelFormat format = PixelFormat::Bits24;
};

// Shapes of fields 1 to 15 (index 0 is field 1).
std::array<ThemeItemShape, kFieldCount> DefaultThemeShapes();
// Nominal shapes: the three areas as above, every icon 24-bit, first form 44x29, second form 44x44.
std::array<ThemeItemShape, kFieldCount> NominalThemeShapes();

struct ThemeOptions {
    unsigned seed = 1; // varies every colour
    std::array<ThemeItemShape, kFieldCount> shapes = DefaultThemeShapes();
    std::array<std::string, kFieldCount> numbers = DefaultNumbers(); // file name parts of fields 1 to 15
    std::vector<int> omit;                                           // fields (1 to 15) whose file is not written

    static std::array<std::string, kFieldCount> DefaultNumbers()
    {
        std::array<std::string, kFieldCount> n;
        for (int i = 0; i < kFieldCount; ++i)
            n[static_cast<std::size_t>(i)] = FieldDefault(i + 1);
        return n;
    }
};

struct ThemePicture {
    int field = 0;              // 1 to 15
    std::filesystem::path path; // the file written
    Bitmap picture;             // what it holds
};

// The picture of one field, in the shape's format.
Bitmap PaintThemeItem(int field, const ThemeItemShape& shape, unsigned seed);

// Writes one numbered BMP file per field not omitted (creating "Nokia/MBM/"), and returns the
// pictures written in field order.
std::vector<ThemePicture> PaintTheme(const Workspace& workspace, const ThemeOptions& options = {});

// A multi-bitmap file of `count` bitmaps, as a theme of its own: bitmap n has the shape
// `shapes.at(n)` where given, else 8 x 6 in colour, and pixels that differ from bitmap to
// bitmap. The bitmaps numbered in `faulty` carry a compression no reader knows, so the
// converter cannot unpack them.
enum class MbmPaint {
    Colour,     // 24-bit colour
    Mask,       // 1-bit grey, black with a white border
    GreyMask,   // 8-bit grey, levels from black to white
    ColourMask, // 24-bit colour holding only black and white
};
struct MbmShape {
    int width = 8, height = 6;
    MbmPaint paint = MbmPaint::Colour;
};
std::vector<std::uint8_t> PaintMbm(int count, const std::map<int, MbmShape>& shapes = {},
                                   const std::vector<int>& faulty = {});

// A bomb made of pixels: a multi-bitmap file of about 2 MiB whose table lists `entries`
// bitmaps that are all one 8192 x 8192 24-bit bitmap (192 MiB decoded), stored as the shortest
// RLE that fills it. Packed into a package it takes a few kilobytes.
std::vector<std::uint8_t> PixelBombMbm(int entries);

// A skin whose bitmaps follow no default numbering, as a multi-bitmap file of 60 bitmaps (8 x 6
// colour where not said):
//   000 20x16 colour "signal bars", 001 its 1-bit mask; 002 16x16 colour, 003 its 1-bit mask;
//   007 176x208 colour "the picture", 008 its 1-bit mask, 009 176x208 colour but only black and
//   white; 012 176x40 colour; 013 176x18 colour;
//   030 44x44 colour, 031 its 1-bit mask; 032 44x44 colour, 033 its 8-bit grey mask; 034 44x44
//   colour but only black and white; 036 42x29 colour, 037 its mask; 038 42x29 colour, 039 its
//   mask; 040 16x16 colour.
std::vector<std::uint8_t> SkinMbm();

} // namespace vexaro::test
