#pragma once
// What the pixels of a decoded MBM bitmap look like, and the BMP files the converter's
// decompile mode writes for them.
//
// Colours: 1, 2 bpp and grey 4, 8 bpp are grey levels (v * 255 / (2^bpp - 1)); colour 4 and
// 8 bpp index the standard 16- and 256-colour palettes; 12 bpp nibbles n become 17 n; 16 bpp
// channels become floor(255 v / 31) and floor(255 v / 63); 24 and 32 bpp are copied (the
// alpha byte is not a colour). Only colour modes 1, 2 and 3 select the palettes: a mode the
// format does not know (such as 0xFFFFFFFF in a damaged file) reads as grey, like mode 0.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "bitmap/Bitmap.h"
#include "mbm/MbmFormat.h"

namespace vexaro::mbm {

// Colour of pixel (x, y); the coordinates must lie inside the image.
Rgb PixelColour(const MbmImage& image, int x, int y);

// The image as a 24-bit picture.
Bitmap ToBitmap(const MbmImage& image);

// True for 32-bit images whose fourth byte is an alpha channel (colour modes 2 and 3).
bool HasAlphaChannel(const MbmImage& image);

// The decompile output: an uncompressed bottom-up 24-bit BMP with a 54-byte header
// (biSizeImage 0, 0 pixels per metre) and rows padded with 0xFF bytes.
std::vector<std::uint8_t> EncodeDecompiledBmp(const MbmImage& image);
// The same bytes in pieces as they are made, for writing them without holding them whole:
// the rows from the bottom up, a few rows (about `piece` bytes, at least one row) to a call
// of `put`, the header with the first of them.
void EncodeDecompiledBmp(const MbmImage& image, std::size_t piece,
                         const std::function<void(std::span<const std::uint8_t>)>& put);

// The alpha companion of an image with an alpha channel: an 8-bit BMP with a 256-entry grey
// palette whose pixel bytes are the alpha values, rows padded with 0x00.
std::vector<std::uint8_t> EncodeAlphaBmp(const MbmImage& image);
// The same as a picture, as reading that file gives it: 8 bits per pixel, the grey palette, the
// alpha values as indices.
Bitmap AlphaBitmap(const MbmImage& image);

} // namespace vexaro::mbm
