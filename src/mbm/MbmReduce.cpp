#include "mbm/MbmReduce.h"

#include <string>

#include "base/Error.h"

namespace vexaro::mbm {

namespace {

unsigned GreyOf(Rgb c) { return (2u * c.r + 5u * c.g + c.b) / 8u; }

// Sets the `bits`-bit field of pixel x in a row packed least significant bits first.
void PutPacked(std::uint8_t* row, int x, int bits, unsigned value)
{
    const int perByte = 8 / bits;
    const int shift = (x % perByte) * bits;
    const unsigned mask = ((1u << bits) - 1) << shift;
    std::uint8_t& byte = row[x / perByte];
    byte = static_cast<std::uint8_t>((byte & ~mask) | ((value << shift) & mask));
}

void PutWord(std::uint8_t* p, unsigned v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

} // namespace

bool IsValidDepthOption(const DepthOption& option)
{
    if (option.alpha)
        return option.colour && option.bitsPerPixel == 32;
    switch (option.bitsPerPixel) {
    case 1: case 2: return !option.colour;
    case 4: case 8: return true;
    case 12: case 16: case 24: case 32: return option.colour;
    default: return false;
    }
}

Rgb RemapGrey(Rgb c)
{
    if (c == Rgb{128, 128, 128})
        return Rgb{127, 127, 127};
    if (c == Rgb{192, 192, 192})
        return Rgb{187, 187, 187};
    return c;
}

MbmImage ReduceBitmap(const Bitmap& source, const DepthOption& option, const InverseTable256& inverse256, const Bitmap* alpha)
{
    if (!IsValidDepthOption(option))
        throw Error("invalid bitmap depth " + std::string(option.colour ? "c" : "") + std::to_string(option.bitsPerPixel) +
                    (option.alpha ? "a" : ""));
    if (option.alpha) {
        if (alpha == nullptr)
            throw Error("no alpha picture for a 32-bit alpha bitmap");
        if (alpha->format() != PixelFormat::Pal8)
            throw Error("the alpha picture has " + std::to_string(alpha->bitsPerPixel()) + " bits per pixel, not 8");
        if (alpha->width() != source.width() || alpha->height() != source.height())
            throw Error("the alpha picture is " + std::to_string(alpha->width()) + "x" + std::to_string(alpha->height()) +
                        ", the picture " + std::to_string(source.width()) + "x" + std::to_string(source.height()));
    }
    MbmImage image;
    image.width = source.width();
    image.height = source.height();
    image.bitsPerPixel = option.bitsPerPixel;
    image.colourMode = option.alpha ? kColourAlpha : option.colour ? kColour : kGrey;
    image.pixels.assign(image.stride() * static_cast<std::size_t>(image.height), 0xFF);
    const InverseTable16& inverse16 = StandardInverse16();
    const int bits = option.bitsPerPixel;
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = image.row(y);
        for (int x = 0; x < image.width; ++x) {
            const Rgb c = RemapGrey(source.pixel(x, y));
            switch (bits) {
            case 1: case 2: case 4: {
                const unsigned v = option.colour ? NearestIndex16(inverse16, c) : GreyOf(c) >> (8 - bits);
                PutPacked(row, x, bits, v);
                break;
            }
            case 8:
                row[x] = option.colour ? NearestIndex256(inverse256, c) : static_cast<std::uint8_t>(GreyOf(c));
                break;
            case 12:
                PutWord(row + 2 * x, ((c.r >> 4u) << 8) | ((c.g >> 4u) << 4) | (c.b >> 4u));
                break;
            case 16:
                PutWord(row + 2 * x, ((c.r >> 3u) << 11) | ((c.g >> 2u) << 5) | (c.b >> 3u));
                break;
            case 24:
                row[3 * x] = c.b;
                row[3 * x + 1] = c.g;
                row[3 * x + 2] = c.r;
                break;
            default:
                row[4 * x] = c.b;
                row[4 * x + 1] = c.g;
                row[4 * x + 2] = c.r;
                row[4 * x + 3] = option.alpha ? static_cast<std::uint8_t>(alpha->index(x, y)) : 0;
                break;
            }
        }
    }
    return image;
}

int TwipsFor(int pixels, std::int32_t pixelsPerMetre)
{
    if (pixelsPerMetre <= 0 || pixels <= 0)
        return 0;
    const std::int64_t perMetre = std::int64_t{pixels} * 1440000 / 254;
    return static_cast<int>(perMetre / pixelsPerMetre);
}

} // namespace vexaro::mbm
