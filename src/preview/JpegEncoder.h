#pragma once
// Pictures as JPEG, in memory.
#include <cstdint>
#include <vector>

#include "bitmap/Bitmap.h"

namespace vexaro {

// JPEG of `picture` through libjpeg: 24-bit RGB input, the library's default parameters,
// `quality` with baseline-limited quantisation tables, sequential, colour. Throws Error with
// libjpeg's text when the library refuses (an empty picture, for one).
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality);

} // namespace vexaro
