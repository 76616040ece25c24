#pragma once
// Pictures and files for the converter's benchmarks, made in code (nothing generated is kept
// in the repository).
#include <cstddef>
#include <filesystem>
#include <string>

#include "bitmap/Bitmap.h"

namespace vexaro::bench {

enum class Content {
    Theme, // tiles of one colour, of rows of one colour and of gradients: compresses
    Noise, // every pixel random: no compressor can win
};

// A picture of w x h at 16 (5-6-5) or 24 bits per pixel.
Bitmap BenchPicture(int w, int h, int bits, Content content);

void WriteBmp(const std::filesystem::path& path, const Bitmap& picture);

// Writes `count` theme pictures of w x h at 24 bits ("0000.bmp" ...) into `folder` and a
// compile command file for them ("compile.txt", target "batch.mbm", /c24 each); returns the
// command file's path.
std::filesystem::path WriteCompileBatch(const std::filesystem::path& folder, std::size_t count, int w, int h);

// The decompile command file for `bitmaps` bitmaps of `mbm` into "out/0000.bmp" ...
std::string UnpackCommands(const std::string& mbm, std::size_t bitmaps);

} // namespace vexaro::bench
