// Fuzz target of the BMP reader: any bytes are either refused with the reader's message or
// decoded into a whole picture, and a decoded picture survives a write and a second read.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "bitmap/BmpCodec.h"
#include "base/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vexaro::Bitmap bitmap;
    try {
        vexaro::DecodeBmp(std::span<const std::uint8_t>(data, size), bitmap);
    } catch (const vexaro::Error&) {
        return 0;
    }
    if (bitmap.pixelBytes().size() != bitmap.stride() * static_cast<std::size_t>(bitmap.height()))
        std::abort();
    vexaro::Bitmap back;
    vexaro::DecodeBmp(vexaro::EncodeBmp(bitmap), back);
    if (back.format() != bitmap.format() || back.palette() != bitmap.palette() || back.masks() != bitmap.masks() ||
        back.pixelBytes() != bitmap.pixelBytes())
        std::abort();
    return 0;
}
