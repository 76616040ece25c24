#pragma once
// Windows BMP files.
//
// Reading takes the variants that editors write: core (OS/2 1.x, 12 bytes), OS/2 2.x (16 to
// 64 bytes) and info headers of 40, 52, 56, 108 and 124 bytes; 1, 2, 4, 8, 16, 24 and 32 bits
// per pixel; BI_RGB, BI_BITFIELDS and BI_ALPHABITFIELDS; BI_RLE4 and BI_RLE8; bottom-up and
// top-down rows. Every failure throws Error(kBitmapNotValid). A file of length zero reads as
// an empty picture.
//
// Writing produces an uncompressed BMP in the picture's own format; a paletted picture keeps
// its palette and indices.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"

namespace vexaro {

// Replaces size, format and pixels of `bitmap` with those of the BMP in `bytes`.
void DecodeBmp(std::span<const std::uint8_t> bytes, Bitmap& bitmap);
// The pixels of an uncompressed BMP where they lie in `bytes`, with the colours DecodeBmp
// would give them, for reading a picture without a copy. Nothing for an empty file and for
// files whose pixels need decoding (RLE, 2 bits per pixel); throws as DecodeBmp does.
// Bits after the last pixel of a row are left as the file has them.
std::optional<PixelRows> ViewBmpPixels(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> EncodeBmp(const Bitmap& bitmap);

// The largest BMP file read. A picture holds at most kMaxPixelBytes; the rest is room for
// headers, palettes and run-length data that codes less than it could.
inline constexpr std::size_t kMaxBmpFileBytes = std::size_t{300} << 20;

// File forms. A file that cannot be read (missing, not a regular file, larger than
// kMaxBmpFileBytes) throws Error("Cannot open file \"PATH\". REASON"); one that cannot be created
// or written throws Error("Cannot create file \"PATH\". REASON").
void LoadBmpFile(const std::string& path, Bitmap& bitmap);
void SaveBmpFile(const Bitmap& bitmap, const std::string& path);

// Writes the whole file new, in place of a file or link of that name (never through it); throws
// as SaveBmpFile does, and leaves no file of that name when writing fails.
void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace vexaro
