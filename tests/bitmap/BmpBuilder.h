#pragma once
// Builds BMP files field by field, so tests can make exactly the header they need.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "bitmap/Bitmap.h"

namespace vexaro::test {

struct RawBmp {
    std::uint32_t headerSize = 40; // 12 writes a core header
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    // Inside headers of 52 bytes and more, otherwise right after the header.
    std::vector<std::uint32_t> masks;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> pixels;
    // Default: the pixels follow the palette. A larger offset leaves a gap of zeros.
    std::optional<std::uint32_t> pixelOffset;
};

inline void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes)
{
    if (out.size() < at + static_cast<std::size_t>(bytes))
        out.resize(at + static_cast<std::size_t>(bytes));
    for (int i = 0; i < bytes; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::vector<std::uint8_t> BuildBmp(const RawBmp& b)
{
    std::vector<std::uint8_t> out(14 + b.headerSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutLe(out, 14, b.headerSize, 4);
    const bool core = b.headerSize == 12;
    if (core) {
        PutLe(out, 18, static_cast<std::uint32_t>(b.width), 2);
        PutLe(out, 20, static_cast<std::uint32_t>(b.height), 2);
        PutLe(out, 22, b.planes, 2);
        PutLe(out, 24, b.bitCount, 2);
    } else {
        // Short OS/2 headers get the fields that fit.
        std::vector<std::uint8_t> h(std::max<std::size_t>(b.headerSize, 56), 0);
        PutLe(h, 4, static_cast<std::uint32_t>(b.width), 4);
        PutLe(h, 8, static_cast<std::uint32_t>(b.height), 4);
        PutLe(h, 12, b.planes, 2);
        PutLe(h, 14, b.bitCount, 2);
        PutLe(h, 16, b.compression, 4);
        PutLe(h, 32, b.colorsUsed, 4);
        if (b.headerSize >= 52)
            for (std::size_t i = 0; i < b.masks.size() && 40 + 4 * i + 4 <= b.headerSize; ++i)
                PutLe(h, 40 + 4 * i, b.masks[i], 4);
        std::copy(h.begin() + 4, h.begin() + b.headerSize, out.begin() + 18);
    }
    if (b.headerSize < 52)
        for (std::uint32_t m : b.masks)
            PutLe(out, out.size(), m, 4);
    for (const Rgb& c : b.palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        if (!core)
            out.push_back(0);
    }
    const std::uint32_t offset = b.pixelOffset.value_or(static_cast<std::uint32_t>(out.size()));
    out.resize(std::max<std::size_t>(out.size(), offset), 0);
    PutLe(out, 10, offset, 4); // an offset inside the headers is written as given
    out.insert(out.end(), b.pixels.begin(), b.pixels.end());
    PutLe(out, 2, static_cast<std::uint32_t>(out.size()), 4);
    return out;
}

} // namespace vexaro::test
