#include "ThemePainter.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "base/ByteReader.h"
#include "bitmap/BmpCodec.h"
#include "mbm/MbmFormat.h"
#include "mbm/MbmReduce.h"
#include "mbm/MbmWriter.h"

namespace vexaro::test {

namespace {

using Shape = ThemeItemShape;
constexpr PixelFormat k24 = PixelFormat::Bits24;
constexpr PixelFormat k8 = PixelFormat::Pal8;
constexpr PixelFormat k1 = PixelFormat::Pal1;

constexpr Rgb kNavy{0, 0, 128};

std::uint8_t Byte(unsigned v) { return static_cast<std::uint8_t>(v & 0xFFu); }

// Background colour of an icon: red 255, which the pattern never uses.
Rgb IconBackground(int field, unsigned seed)
{
    return Rgb{255, Byte(static_cast<unsigned>(field) * 16 + seed * 5),
               Byte(seed * 37 + static_cast<unsigned>(field) * 3)};
}

// Pattern colour: red stays below 255.
Rgb IconPattern(int field, unsigned seed, unsigned x, unsigned y)
{
    return Rgb{Byte((x * 5 + y * 3 + static_cast<unsigned>(field) * 11 + seed) % 250),
               Byte(y * 7 + static_cast<unsigned>(field) * 29), Byte((x ^ y) * 9 + seed * 13)};
}

// Where an icon shows its background: the border ring and every third 3x3 cell inside.
bool IconBackgroundAt(int x, int y, int w, int h)
{
    if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
        return true;
    return ((x / 3) + (y / 3)) % 3 == 0;
}

Bitmap PaintArea(int field, const Shape& shape, unsigned seed)
{
    if (!IsPaletted(shape.format) && shape.format != k24)
        throw std::invalid_argument("theme areas are painted 24-bit or paletted");
    Bitmap b;
    const unsigned f = static_cast<unsigned>(field);
    if (IsPaletted(shape.format)) {
        const unsigned colours = 1u << std::min(8, BitsPerPixel(shape.format));
        std::vector<Rgb> palette(colours);
        for (unsigned i = 0; i < colours; ++i)
            palette[i] = Rgb{Byte(i * 37 + seed), Byte(i * 11 + f * 50), Byte(255 - i * 5)};
        b.reset(shape.width, shape.height, shape.format, palette);
        const int bpp = BitsPerPixel(shape.format);
        for (int y = 0; y < shape.height; ++y)
            for (int x = 0; x < shape.width; ++x) {
                const unsigned index = (static_cast<unsigned>(x / 4 + y / 2) + seed) % colours;
                const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
                const int shift = 8 - bpp - static_cast<int>(bit % 8);
                b.row(y)[bit / 8] = static_cast<std::uint8_t>(b.row(y)[bit / 8] | (index << shift));
            }
        return b;
    }
    b.reset(shape.width, shape.height, k24);
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x) {
            const unsigned ux = static_cast<unsigned>(x), uy = static_cast<unsigned>(y);
            b.setPixel(x, y, Rgb{Byte(ux * 3 + seed * 17 + f * 40), Byte(uy * 5 + f * 60), Byte((ux ^ uy) * 7 + seed)});
        }
    return b;
}

Bitmap PaintIcon(int field, const Shape& shape, unsigned seed)
{
    if (shape.format != k1 && shape.format != k8 && shape.format != k24)
        throw std::invalid_argument("theme icons are painted 1-bit, 8-bit or 24-bit");
    const int w = shape.width, h = shape.height;
    Bitmap b;
    if (shape.format == k1) {
        b.reset(w, h, k1, {kNavy, kWhite});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool white = IconBackgroundAt(x, y, w, h) && !(x == 0 && y == h - 1);
                if (white)
                    b.row(y)[x / 8] = static_cast<std::uint8_t>(b.row(y)[x / 8] | (0x80u >> (x % 8)));
            }
        return b;
    }
    const Rgb background = IconBackground(field, seed);
    if (shape.format == k8) {
        // Index 0 and index 31 both hold the background colour; 1 to 30 the pattern.
        constexpr unsigned kPattern = 30;
        std::vector<Rgb> palette(kPattern + 2);
        palette[0] = background;
        palette[kPattern + 1] = background;
        for (unsigned i = 0; i < kPattern; ++i)
            palette[i + 1] = IconPattern(field, seed, i * 3, i);
        b.reset(w, h, k8, palette);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned index = 1 + static_cast<unsigned>(x + 2 * y) % kPattern;
                if (IconBackgroundAt(x, y, w, h))
                    index = (x == 0 || y == 0 || x == w - 1 || y == h - 1) ? 0 : kPattern + 1;
                b.row(y)[x] = static_cast<std::uint8_t>(index);
            }
        return b;
    }
    b.reset(w, h, k24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y,
                       IconBackgroundAt(x, y, w, h)
                           ? background
                           : IconPattern(field, seed, static_cast<unsigned>(x), static_cast<unsigned>(y)));
    return b;
}

} // namespace

std::array<ThemeItemShape, kFieldCount> DefaultThemeShapes()
{
    return {{
        {176, 44, k24},  // 1 status area
        {176, 144, k24}, // 2 main area
        {176, 20, k8},   // 3 control area
        {44, 29, k24},   // 4 Camera
        {52, 29, k8},    // 5 Organiser: wider than both spacings
        {40, 29, k1},    // 6 Music
        {44, 36, k24},   // 7 Games: taller than its row
        {44, 29, k8},    // 8 Extras
        {60, 33, k24},   // 9 Setup: spills over the right edge
        {44, 44, k24},   // 10 Camera, second form
        {44, 44, k8},    // 11 Organiser
        {52, 44, k1},    // 12 Music: wider than both spacings
        {44, 52, k24},   // 13 Games: reaches the caption line of the preview
        {44, 44, k8},    // 14 Extras
        {40, 48, k24},   // 15 Setup: also reaches the caption line
    }};
}

std::array<ThemeItemShape, kFieldCount> NominalThemeShapes()
{
    std::array<ThemeItemShape, kFieldCount> s{};
    s[0] = {176, 44, k24};
    s[1] = {176, 144, k24};
    s[2] = {176, 20, k24};
    for (std::size_t i = 3; i < 9; ++i)
        s[i] = {44, 29, k24};
    for (std::size_t i = 9; i < 15; ++i)
        s[i] = {44, 44, k24};
    return s;
}

Bitmap PaintThemeItem(int field, const ThemeItemShape& shape, unsigned seed)
{
    return field <= 3 ? PaintArea(field, shape, seed) : PaintIcon(field, shape, seed);
}

std::vector<ThemePicture> PaintTheme(const Workspace& workspace, const ThemeOptions& options)
{
    std::filesystem::create_directories(workspace.unpacked());
    std::vector<ThemePicture> written;
    for (int field = 1; field <= kFieldCount; ++field) {
        if (std::find(options.omit.begin(), options.omit.end(), field) != options.omit.end())
            continue;
        const std::size_t i = static_cast<std::size_t>(field - 1);
        ThemePicture item;
        item.field = field;
        item.path = workspace.sourceBitmap(options.numbers[i]);
        item.picture = PaintThemeItem(field, options.shapes[i], options.seed);
        SaveBmpFile(item.picture, item.path.string());
        written.push_back(std::move(item));
    }
    return written;
}

std::vector<std::uint8_t> PaintMbm(int count, const std::map<int, MbmShape>& shapes, const std::vector<int>& faulty)
{
    std::vector<mbm::MbmImage> images;
    for (int n = 0; n < count; ++n) {
        const auto given = shapes.find(n);
        const MbmShape shape = given == shapes.end() ? MbmShape{} : given->second;
        Bitmap picture;
        picture.reset(shape.width, shape.height, PixelFormat::Bits24);
        for (int y = 0; y < shape.height; ++y)
            for (int x = 0; x < shape.width; ++x) {
                const bool border = x == 0 || y == 0 || x == shape.width - 1 || y == shape.height - 1;
                const Rgb colour{Byte(static_cast<unsigned>(n) * 37), Byte(static_cast<unsigned>(x) * 9),
                                 Byte(static_cast<unsigned>(y * 5 + n))};
                const std::uint8_t level = Byte(static_cast<unsigned>(x * 255 / std::max(1, shape.width - 1)));
                switch (shape.paint) {
                case MbmPaint::Colour: picture.setPixel(x, y, colour); break;
                case MbmPaint::Mask:
                case MbmPaint::ColourMask: picture.setPixel(x, y, border ? kWhite : kBlack); break;
                case MbmPaint::GreyMask: picture.setPixel(x, y, Rgb{level, level, level}); break;
                }
            }
        const int bits = shape.paint == MbmPaint::Mask ? 1 : shape.paint == MbmPaint::GreyMask ? 8 : 24;
        images.push_back(mbm::ReduceBitmap(picture, mbm::DepthOption{bits, bits == 24, false}));
    }
    std::vector<std::uint8_t> bytes = mbm::WriteMbm(images);
    const ByteReader in(bytes);
    const std::uint32_t table = *in.u32(16);
    for (const int n : faulty) {
        const std::uint32_t at = *in.u32(table + 4 + 4 * static_cast<std::uint32_t>(n));
        StoreU32(bytes.data() + at + 36, 99); // the bitmap header's compression field
    }
    return bytes;
}

std::vector<std::uint8_t> PixelBombMbm(int entries)
{
    constexpr std::int32_t kSide = 8192;
    constexpr std::size_t kPixelBytes = std::size_t{kSide} * kSide * 3;
    // Every packet repeats one pixel 128 times: lead byte 127, then blue, green, red.
    const std::size_t streamBytes = kPixelBytes / 3 / 128 * 4;
    const std::uint32_t bitmapAt = static_cast<std::uint32_t>(mbm::kFileStoreFirstBitmap);
    const std::uint32_t trailerAt = bitmapAt + static_cast<std::uint32_t>(mbm::kBitmapHeaderSize + streamBytes);
    std::vector<std::uint8_t> bytes(trailerAt + 4 + 4 * static_cast<std::size_t>(entries));
    auto put = [&bytes](std::size_t at, std::uint32_t value) { StoreU32(bytes.data() + at, value); };
    put(0, mbm::kFileStoreUid1);
    put(4, mbm::kMultiBitmapUid2);
    put(12, mbm::kUidChecksum);
    put(16, trailerAt);
    const std::uint32_t header[] = {static_cast<std::uint32_t>(mbm::kBitmapHeaderSize + streamBytes),
                                    static_cast<std::uint32_t>(mbm::kBitmapHeaderSize),
                                    kSide,
                                    kSide,
                                    0,
                                    0,
                                    24,
                                    mbm::kColour,
                                    0,
                                    static_cast<std::uint32_t>(mbm::Compression::Rle24)};
    for (std::size_t i = 0; i < std::size(header); ++i)
        put(bitmapAt + 4 * i, header[i]);
    for (std::size_t at = bitmapAt + mbm::kBitmapHeaderSize; at < trailerAt; at += 4) {
        bytes[at] = 127;
        bytes[at + 1] = 0x20;
        bytes[at + 2] = 0x40;
        bytes[at + 3] = 0x80;
    }
    put(trailerAt, static_cast<std::uint32_t>(entries));
    for (int n = 0; n < entries; ++n)
        put(trailerAt + 4 + 4 * static_cast<std::size_t>(n), bitmapAt);
    return bytes;
}

std::vector<std::uint8_t> SkinMbm()
{
    using P = MbmPaint;
    return PaintMbm(60, {{0, {20, 16}},
                         {1, {20, 16, P::Mask}},
                         {2, {16, 16}},
                         {3, {16, 16, P::Mask}},
                         {7, {176, 208}},
                         {8, {176, 208, P::Mask}},
                         {9, {176, 208, P::ColourMask}},
                         {12, {176, 40}},
                         {13, {176, 18}},
                         {30, {44, 44}},
                         {31, {44, 44, P::Mask}},
                         {32, {44, 44}},
                         {33, {44, 44, P::GreyMask}},
                         {34, {44, 44, P::ColourMask}},
                         {36, {42, 29}},
                         {37, {42, 29, P::Mask}},
                         {38, {42, 29}},
                         {39, {42, 29, P::Mask}},
                         {40, {16, 16}}});
}

} // namespace vexaro::test
