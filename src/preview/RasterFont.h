#pragma once
// Windows raster fonts (".fon": a 16-bit executable whose FONT resources are FNT strikes), read
// into plain records, and the preview captions drawn with them the way Windows draws a raster
// face: the strike that fits the asked cell, bold made by drawing every glyph twice one pixel
// apart. The captions carry their own copy of "MS Sans Serif" (Wine's), so every program and
// every platform draws them to the same pixels.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"
#include "tool/WindowSeam.h"

namespace vexaro {

// One strike, from its FNT header (versions 2 and 3):
//   0x00 u16 version (0x0200 or 0x0300)    0x02 u32 size of the resource
//   0x4A u16 ascent                         0x53 u16 weight (400 regular, 700 bold)
//   0x55 u8  character set (0: Windows ANSI) 0x58 u16 pixel height of every glyph
//   0x5F u8  first character                 0x60 u8  last character
//   0x61 u8  default character (from the first)
//   then the character table at 0x76 (version 2: u16 width, u16 offset) or at 0x94 (version 3:
//   u16 width, u32 offset), one entry per character from first to last. A glyph is stored as
//   columns 8 pixels wide, left to right; each column is `height` bytes, top row first, the
//   leftmost pixel in the high bit.
struct RasterGlyph {
    int width = 0;
    std::vector<std::uint8_t> rows; // width x height pixels, 1 for ink, row by row
};

struct RasterStrike {
    int height = 0;
    int ascent = 0;
    int weight = 0;
    int firstChar = 0;
    int defaultChar = 0;             // an index into `glyphs`
    std::vector<RasterGlyph> glyphs; // firstChar .. lastChar
    const RasterGlyph& glyph(unsigned char c) const;
};

struct RasterFont {
    std::vector<RasterStrike> strikes; // in the order of the file's resources
    // The tallest strike whose height fits in `cellHeight`, or the shortest when none fits.
    const RasterStrike& strikeFor(int cellHeight) const;
};

// Reads a ".fon" file. Throws vexaro::Error naming `name` and what is wrong ("no FONT
// resources", "strike 2: glyph 65 lies outside the resource").
RasterFont ReadRasterFont(std::span<const std::uint8_t> bytes, const std::string& name);

// The bytes of the ".fon" file the program carries.
std::span<const std::uint8_t> CaptionFontFile();

// The caption face carried by the program (Wine's "MS Sans Serif", strikes of 13, 16 and 20
// pixels), read once.
const RasterFont& CaptionFont();

// Draws `text` (Windows ANSI) onto `picture` with the top-left corner of its cell at (x, y):
// the cell, as wide as the text and `style.cellHeight` tall, is filled with the background and
// the glyphs of the fitting strike drawn in the text colour from its top. Bold on a regular
// strike draws each glyph at x and x + 1 and widens its advance by one. Whatever falls outside
// the picture is left out. `style.face` is not looked up: every caption uses the carried face.
void DrawCaption(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style);

// The width in pixels of the cell DrawCaption fills for `text`.
int CaptionWidth(const std::string& text, const CaptionStyle& style);

} // namespace vexaro
