#pragma once
// The fixed colours of paletted MBM bitmaps and the tables that pick an index for a colour.
//
// A palette is never stored in an MBM: index values always mean the standard 16- or
// 256-colour palette below. The nearest-colour tables map a colour truncated to 3 (16-colour)
// or 4 (256-colour) bits per channel to the palette index with the smallest sum of channel
// differences, lowest index on ties; there is no dithering.
#include <array>
#include <cstdint>
#include <string_view>

#include "bitmap/Bitmap.h"

namespace vexaro::mbm {

using Palette256 = std::array<Rgb, 256>;
// Index for the cell (r >> 4) + 16 (g >> 4) + 256 (b >> 4).
using InverseTable256 = std::array<std::uint8_t, 4096>;
// Index for the cell (r >> 5) + 8 (g >> 5) + 64 (b >> 5).
using InverseTable16 = std::array<std::uint8_t, 512>;

const std::array<Rgb, 16>& StandardPalette16();
const Palette256& StandardPalette256();

const InverseTable16& StandardInverse16();
const InverseTable256& StandardInverse256();
// The 256-colour table for another palette (given with the converter's /p option).
InverseTable256 BuildInverse256(const Palette256& palette);

inline std::uint8_t NearestIndex16(const InverseTable16& table, Rgb c)
{
    return table[(c.r >> 5) + 8 * (c.g >> 5) + 64 * (c.b >> 5)];
}
inline std::uint8_t NearestIndex256(const InverseTable256& table, Rgb c)
{
    return table[(c.r >> 4) + 16 * (c.g >> 4) + 256 * (c.b >> 4)];
}

// Palette file: 256 numbers written 0x00BBGGRR anywhere in the text. Each "0x" (or "0X")
// starts a number; of the eight characters after it, the 3rd-4th are blue, 5th-6th green,
// 7th-8th red, and a character that is no hex digit counts as 0. Throws
// vexaro::Error("Bad palette file: ...") when fewer than 256 numbers are found.
Palette256 ParsePaletteFile(std::string_view text);

} // namespace vexaro::mbm
