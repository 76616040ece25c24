#include "mbm/MbmColours.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/Bytes.h"
#include "mbm/Palette.h"

namespace vexaro::mbm {

namespace {

Rgb Grey(unsigned v)
{
    return Rgb{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v)};
}

std::uint8_t Scale(unsigned v, unsigned max) { return static_cast<std::uint8_t>(255 * v / max); }

// Value of the n-bit pixel x in a row packed least significant bits first.
unsigned PackedValue(const std::uint8_t* row, int x, int bits)
{
    const int perByte = 8 / bits;
    const int shift = (x % perByte) * bits;
    return (row[x / perByte] >> shift) & ((1u << bits) - 1);
}

// 24-bit BMP file header and info header, 54 bytes.
void PutHeader(std::vector<std::uint8_t>& out, std::uint32_t fileSize, std::uint32_t pixelOffset, int width, int height,
               int bitCount, std::uint32_t imageSize, std::uint32_t coloursUsed)
{
    auto put16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    put32(fileSize);
    put32(0); // reserved
    put32(pixelOffset);
    put32(40); // info header size
    put32(static_cast<std::uint32_t>(width));
    put32(static_cast<std::uint32_t>(height));
    put16(1); // planes
    put16(static_cast<std::uint32_t>(bitCount));
    put32(0); // no compression
    put32(imageSize);
    put32(0); // pixels per metre, x
    put32(0); // and y
    put32(coloursUsed);
    put32(0); // important colours
}

// Colour of a pixel value of 1 to 8 bits.
Rgb ValueColour(int bitsPerPixel, bool grey, unsigned v)
{
    switch (bitsPerPixel) {
    case 1: return Grey(v * 255);
    case 2: return Grey(v * 85);
    case 4: return grey ? Grey(v * 17) : StandardPalette16()[v];
    default: return grey ? Grey(v) : StandardPalette256()[v];
    }
}

Rgb Colour12(unsigned v)
{
    return Rgb{static_cast<std::uint8_t>(17 * ((v >> 8) & 0xF)), static_cast<std::uint8_t>(17 * ((v >> 4) & 0xF)),
               static_cast<std::uint8_t>(17 * (v & 0xF))};
}

Rgb Colour16(unsigned v) { return Rgb{Scale(v >> 11, 31), Scale((v >> 5) & 0x3F, 63), Scale(v & 0x1F, 31)}; }

bool IsGreyMode(std::uint32_t colourMode) { return colourMode == kGrey || colourMode > kColourPremultipliedAlpha; }

// Turns MBM rows into blue, green, red triples. Pixel values of 1 to 8 bits go through a
// table made once per image.
class RowConverter {
public:
    explicit RowConverter(const MbmImage& image) : image_(image)
    {
        if (image.bitsPerPixel <= 8)
            for (unsigned v = 0; v < (1u << image.bitsPerPixel); ++v)
                table_[v] = ValueColour(image.bitsPerPixel, IsGreyMode(image.colourMode), v);
    }

    void convert(int y, std::uint8_t* out) const
    {
        const std::uint8_t* row = image_.row(y);
        const int w = image_.width;
        auto put = [&out](Rgb c) {
            *out++ = c.b;
            *out++ = c.g;
            *out++ = c.r;
        };
        switch (image_.bitsPerPixel) {
        case 1:
        case 2:
        case 4:
            for (int x = 0; x < w; ++x)
                put(table_[PackedValue(row, x, image_.bitsPerPixel)]);
            return;
        case 8:
            for (int x = 0; x < w; ++x)
                put(table_[row[x]]);
            return;
        case 12:
            for (int x = 0; x < w; ++x)
                put(Colour12(row[2 * x] | (row[2 * x + 1] << 8)));
            return;
        case 16:
            for (int x = 0; x < w; ++x)
                put(Colour16(row[2 * x] | (row[2 * x + 1] << 8)));
            return;
        case 24: std::memcpy(out, row, static_cast<std::size_t>(w) * 3); return;
        default:
            for (int x = 0; x < w; ++x, row += 4) {
                *out++ = row[0];
                *out++ = row[1];
                *out++ = row[2];
            }
        }
    }

private:
    const MbmImage& image_;
    std::array<Rgb, 256> table_{};
};

} // namespace

Rgb PixelColour(const MbmImage& image, int x, int y)
{
    const std::uint8_t* row = image.row(y);
    switch (image.bitsPerPixel) {
    case 1:
    case 2:
    case 4:
        return ValueColour(image.bitsPerPixel, IsGreyMode(image.colourMode), PackedValue(row, x, image.bitsPerPixel));
    case 8: return ValueColour(8, IsGreyMode(image.colourMode), row[x]);
    case 12: return Colour12(row[2 * x] | (row[2 * x + 1] << 8));
    case 16: return Colour16(row[2 * x] | (row[2 * x + 1] << 8));
    case 24: return Rgb{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    default: return Rgb{row[4 * x + 2], row[4 * x + 1], row[4 * x]};
    }
}

Bitmap ToBitmap(const MbmImage& image)
{
    Bitmap bitmap;
    bitmap.reset(image.width, image.height, PixelFormat::Bits24);
    const RowConverter converter(image);
    for (int y = 0; y < image.height; ++y)
        converter.convert(y, bitmap.row(y));
    return bitmap;
}

bool HasAlphaChannel(const MbmImage& image)
{
    return image.bitsPerPixel == 32 &&
           (image.colourMode == kColourAlpha || image.colourMode == kColourPremultipliedAlpha);
}

std::vector<std::uint8_t> EncodeDecompiledBmp(const MbmImage& image)
{
    std::vector<std::uint8_t> out;
    EncodeDecompiledBmp(image, std::size_t{1} << 20, [&out](std::span<const std::uint8_t> piece) {
        if (out.empty()) // the header comes first: its size field tells the whole size
            out.reserve(LoadU32(piece.data() + 2));
        out.insert(out.end(), piece.begin(), piece.end());
    });
    return out;
}

void EncodeDecompiledBmp(const MbmImage& image, std::size_t piece,
                         const std::function<void(std::span<const std::uint8_t>)>& put)
{
    // CheckDecodedSize keeps these below 256 MiB, so 32 bits hold them.
    const std::size_t rowBytes = (3 * static_cast<std::size_t>(image.width) + 3) / 4 * 4;
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(image.height);
    // The header goes with the first rows.
    std::vector<std::uint8_t> buffer;
    PutHeader(buffer, static_cast<std::uint32_t>(54 + pixelBytes), 54, image.width, image.height, 24, 0, 0);
    const std::size_t rowsPerPiece = rowBytes == 0 ? 0 : std::max<std::size_t>(1, piece / rowBytes);
    buffer.resize(54 + std::min(rowsPerPiece, static_cast<std::size_t>(image.height)) * rowBytes, 0xFF);
    std::size_t from = 0; // the header's bytes, then only the rows'
    const RowConverter converter(image);
    for (int y = image.height - 1; y >= 0 && rowBytes != 0; from = 54) {
        std::size_t n = 0;
        for (; n < rowsPerPiece && y >= 0; ++n, --y)
            converter.convert(y, buffer.data() + 54 + n * rowBytes);
        put(std::span<const std::uint8_t>(buffer.data() + from, 54 - from + n * rowBytes));
    }
    if (from == 0)
        put(std::span<const std::uint8_t>(buffer.data(), 54)); // no rows: the header alone
}

Bitmap AlphaBitmap(const MbmImage& image)
{
    std::vector<Rgb> grey(256);
    for (unsigned i = 0; i < grey.size(); ++i)
        grey[i] = Grey(i);
    Bitmap bitmap;
    bitmap.reset(image.width, image.height, PixelFormat::Pal8, std::move(grey));
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.row(y);
        std::uint8_t* indices = bitmap.row(y);
        for (int x = 0; x < image.width; ++x)
            indices[x] = row[4 * x + 3];
    }
    return bitmap;
}

std::vector<std::uint8_t> EncodeAlphaBmp(const MbmImage& image)
{
    const std::size_t rowBytes = (static_cast<std::size_t>(image.width) + 3) / 4 * 4;
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(image.height);
    constexpr std::size_t kPixelOffset = 54 + 256 * 4;
    std::vector<std::uint8_t> out;
    out.reserve(kPixelOffset + pixelBytes);
    PutHeader(out, static_cast<std::uint32_t>(kPixelOffset + pixelBytes), kPixelOffset, image.width, image.height, 8,
              static_cast<std::uint32_t>(pixelBytes), 256);
    for (unsigned i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        out.insert(out.end(), {v, v, v, 0});
    }
    out.resize(kPixelOffset + pixelBytes, 0x00);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.row(y);
        std::uint8_t* dst = out.data() + kPixelOffset + static_cast<std::size_t>(image.height - 1 - y) * rowBytes;
        for (int x = 0; x < image.width; ++x)
            dst[x] = row[4 * x + 3];
    }
    return out;
}

} // namespace vexaro::mbm
