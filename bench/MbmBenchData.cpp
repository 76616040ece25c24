#include "MbmBenchData.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

#include "bitmap/BmpCodec.h"

namespace vexaro::bench {

namespace {

std::uint32_t Hash(std::uint32_t v)
{
    v ^= v >> 16;
    v *= 0x7FEB352Du;
    v ^= v >> 15;
    v *= 0x846CA68Bu;
    v ^= v >> 16;
    return v;
}

Rgb ThemeColour(int x, int y)
{
    const std::uint32_t tile = Hash(static_cast<std::uint32_t>(x / 32) * 7919u + static_cast<std::uint32_t>(y / 32));
    const auto b = [](std::uint32_t v) { return static_cast<std::uint8_t>(v); };
    switch (tile % 3) {
    case 0: return Rgb{b(tile >> 8), b(tile >> 16), b(tile >> 24)}; // one colour
    case 1: return Rgb{b(y * 5), b(tile >> 8), b(y * 3)};           // rows of one colour
    default: return Rgb{b(x * 8 + y), b(x * 4), b(tile >> 16)};     // a gradient
    }
}

Rgb NoiseColour(int x, int y)
{
    const std::uint32_t v = Hash(static_cast<std::uint32_t>(y) * 65537u + static_cast<std::uint32_t>(x));
    return Rgb{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16)};
}

} // namespace

Bitmap BenchPicture(int w, int h, int bits, Content content)
{
    Bitmap b;
    b.reset(w, h, bits == 16 ? PixelFormat::Bits16 : PixelFormat::Bits24);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = b.row(y);
        for (int x = 0; x < w; ++x) {
            const Rgb c = content == Content::Theme ? ThemeColour(x, y) : NoiseColour(x, y);
            if (bits == 16) {
                const unsigned v = ((c.r >> 3u) << 11) | ((c.g >> 2u) << 5) | (c.b >> 3u);
                *p++ = static_cast<std::uint8_t>(v);
                *p++ = static_cast<std::uint8_t>(v >> 8);
            } else {
                *p++ = c.b;
                *p++ = c.g;
                *p++ = c.r;
            }
        }
    }
    return b;
}

void WriteBmp(const std::filesystem::path& path, const Bitmap& picture)
{
    const std::vector<std::uint8_t> bytes = EncodeBmp(picture);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path WriteCompileBatch(const std::filesystem::path& folder, std::size_t count, int w, int h)
{
    std::string commands = "batch.mbm\r\n";
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%04zu.bmp", i);
        // Each picture its own part of one large theme-like scene.
        Bitmap b;
        b.reset(w, h, PixelFormat::Bits24);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.setPixel(x, y, ThemeColour(x + static_cast<int>(i) * 7, y + static_cast<int>(i) * 13));
        WriteBmp(folder / name, b);
        commands += std::string("/c24") + name + "\r\n";
    }
    const std::filesystem::path file = folder / "compile.txt";
    std::ofstream(file, std::ios::binary) << commands;
    return file;
}

std::string UnpackCommands(const std::string& mbm, std::size_t bitmaps)
{
    std::string text = "/u " + mbm + "\r\n";
    for (std::size_t i = 0; i < bitmaps; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "out/%04zu.bmp\r\n", i);
        text += name;
    }
    return text;
}

} // namespace vexaro::bench
