// The BMP codec on files made field by field, for what the BMP Suite test does not pin down:
// the checks that refuse a file (and leave the picture alone), formats and masks kept, RLE
// streams that overrun or stop short, the writer's layout, round trips and the file helpers.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

using test::BuildBmp;
using test::RawBmp;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16) |
           (std::uint32_t{b[at + 3]} << 24);
}

Bitmap Decoded(const std::vector<std::uint8_t>& bytes)
{
    Bitmap b;
    DecodeBmp(bytes, b);
    return b;
}

// Decoding must fail with the reader's message and leave the picture as it was.
void ExpectRefusedHere(const std::vector<std::uint8_t>& bytes)
{
    Bitmap b;
    b.reset(3, 2, PixelFormat::Pal8, {kRed});
    const std::vector<std::uint8_t> before = b.pixelBytes();
    try {
        DecodeBmp(bytes, b);
        ADD_FAILURE() << "the file was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kBitmapNotValid);
    }
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.format(), PixelFormat::Pal8);
    EXPECT_EQ(b.pixelBytes(), before);
}

// The same, naming the caller's line in a failure.
#define EXPECT_REFUSED(...)                                                                                            \
    do {                                                                                                               \
        SCOPED_TRACE("the file made here");                                                                            \
        ExpectRefusedHere(__VA_ARGS__);                                                                                \
    } while (0)

// A 2x2 24-bit file, rows bottom-up: bottom row blue, green; top row red, white.
RawBmp Rgb24TwoByTwo()
{
    RawBmp r;
    r.width = 2;
    r.height = 2;
    r.pixels = {255, 0, 0, 0, 255, 0, 0, 0, /**/ 0, 0, 255, 255, 255, 255, 0, 0};
    return r;
}

// ---- reading ----------------------------------------------------------------------------

TEST(BmpDecode, EmptyInputGivesAnEmptyPicture)
{
    Bitmap b;
    b.reset(4, 4, PixelFormat::Pal8);
    DecodeBmp({}, b);
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
    EXPECT_TRUE(b.pixelBytes().empty());
}

TEST(BmpDecode, PixelOffsetIsHonouredAndTheLastRowMayLackItsPadding)
{
    RawBmp r = Rgb24TwoByTwo();
    r.pixelOffset = 54 + 10; // a gap after the header
    r.pixels.resize(14);     // 2 bytes of the top row's padding missing
    const Bitmap b = Decoded(BuildBmp(r));
    EXPECT_EQ(b.pixel(0, 0), kRed);
    EXPECT_EQ(b.pixel(1, 1), kGreen);
    // One byte of real pixel data missing is a short file.
    r.pixels.resize(13);
    EXPECT_REFUSED(BuildBmp(r));
}

TEST(BmpDecode, PalettedFilesKeepIndicesAndPalette)
{
    // 1 bit, 9 wide: the row's last byte has a bit that belongs to no pixel, set on purpose.
    RawBmp r;
    r.bitCount = 1;
    r.width = 9;
    r.palette = {kRed, kBlue};
    r.pixels = {0b10100000, 0b11111111, 0, 0};
    const Bitmap b = Decoded(BuildBmp(r));
    ASSERT_EQ(b.format(), PixelFormat::Pal1);
    EXPECT_EQ(b.palette(), r.palette);
    EXPECT_EQ(b.index(0, 0), 1u);
    EXPECT_EQ(b.index(1, 0), 0u);
    EXPECT_EQ(b.index(8, 0), 1u);
    EXPECT_EQ(b.row(0)[1], 0x80) << "bits past the last pixel are cleared";

    RawBmp p4;
    p4.bitCount = 4;
    p4.width = 3;
    p4.palette = {kBlack, kRed, kGreen};
    p4.pixels = {0x12, 0x0F, 0, 0};
    const Bitmap b4 = Decoded(BuildBmp(p4));
    ASSERT_EQ(b4.format(), PixelFormat::Pal4);
    EXPECT_EQ(b4.pixel(0, 0), kRed);
    EXPECT_EQ(b4.pixel(1, 0), kGreen);
    EXPECT_EQ(b4.pixel(2, 0), kBlack);
}

TEST(BmpDecode, TwoBitFilesBecomeFourBitWithTheSameIndices)
{
    RawBmp r;
    r.bitCount = 2;
    r.width = 5;
    r.palette = {kBlack, kRed, kGreen, kBlue};
    r.pixels = {0b00011011, 0b10000000, 0, 0}; // 0 1 2 3 | 2
    const Bitmap b = Decoded(BuildBmp(r));
    ASSERT_EQ(b.format(), PixelFormat::Pal4);
    EXPECT_EQ(b.palette(), r.palette);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(b.index(x, 0), x < 4 ? static_cast<unsigned>(x) : 2u) << x;
}

// Colours of the many mask layouts are pinned by the BMP Suite; here: the format and masks
// that the picture keeps.
TEST(BmpDecode, SixteenAndThirtyTwoBitFilesKeepTheirWordsAndMasks)
{
    // BI_RGB 16 bits is 5-5-5 whatever the header says elsewhere; the top bit stays in the word.
    RawBmp rgb16;
    rgb16.headerSize = 124;
    rgb16.bitCount = 16;
    rgb16.masks = {0xF800, 0x07E0, 0x001F};
    rgb16.pixels = {0x1F, 0x80, 0, 0};
    const Bitmap a = Decoded(BuildBmp(rgb16));
    ASSERT_EQ(a.format(), PixelFormat::Bits16);
    EXPECT_EQ(a.masks(), kMasks555);
    EXPECT_EQ(a.row(0)[1], 0x80);
    EXPECT_EQ(a.pixel(0, 0), kBlue);

    // BITFIELDS masks inside a v5 header, alpha left out.
    RawBmp v5 = rgb16;
    v5.bitCount = 32;
    v5.compression = 3;
    v5.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
    const Bitmap d = Decoded(BuildBmp(v5));
    ASSERT_EQ(d.format(), PixelFormat::Bits32);
    EXPECT_EQ(d.masks(), (ChannelMasks{0x3FF00000, 0x000FFC00, 0x000003FF}));

    // Three empty masks after a 40-byte header read as BI_RGB would.
    RawBmp zero;
    zero.bitCount = 16;
    zero.compression = 3;
    zero.masks = {0, 0, 0};
    zero.pixels = {0, 0, 0, 0};
    EXPECT_EQ(Decoded(BuildBmp(zero)).masks(), kMasks555);
}

TEST(BmpDecode, MasksOutsideTheWordOrWithGapsAreRefused)
{
    RawBmp r;
    r.bitCount = 16;
    r.compression = 3;
    r.pixels = {0, 0, 0, 0};
    r.masks = {0x1F0000, 0x07E0, 0x001F};
    EXPECT_REFUSED(BuildBmp(r));
    r.masks = {0xF800, 0x05E0, 0x001F};
    EXPECT_REFUSED(BuildBmp(r));
}

// Each refused header differs from a good 1x1 24-bit file in one field.
TEST(BmpDecode, HeadersThatBreakARuleAreRefused)
{
    const RawBmp good = [] {
        RawBmp r;
        r.pixels = {1, 2, 3, 0};
        return r;
    }();
    ASSERT_NO_THROW(Decoded(BuildBmp(good)));

    auto with = [&](auto change) {
        RawBmp r = good;
        change(r);
        return BuildBmp(r);
    };
    std::vector<std::uint8_t> magic = BuildBmp(good);
    magic[1] = 'X';
    EXPECT_REFUSED(magic);
    const std::vector<std::uint8_t> whole = BuildBmp(good);
    EXPECT_REFUSED(std::vector<std::uint8_t>(whole.begin(), whole.begin() + 10)); // cut in the file header
    EXPECT_REFUSED(std::vector<std::uint8_t>(whole.begin(), whole.begin() + 40)); // cut in the info header
    EXPECT_REFUSED(with([](RawBmp& r) { r.headerSize = 11; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.headerSize = 14; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.width = 0; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.width = -1; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.height = 0; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.height = INT32_MIN; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.width = kMaxSide + 1; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.height = -(kMaxSide + 1); }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.planes = 2; }));
    for (std::uint16_t bits : {0, 3, 15, 48, 64})
        EXPECT_REFUSED(with([&](RawBmp& r) { r.bitCount = bits; }));
    for (std::uint32_t c : {4u, 5u, 7u, 0xFFFFFFFFu})
        EXPECT_REFUSED(with([&](RawBmp& r) { r.compression = c; }));
    EXPECT_REFUSED(with([](RawBmp& r) { r.compression = 1; })); // RLE8 at 24 bits
    EXPECT_REFUSED(with([](RawBmp& r) {
        r.compression = 3;
        r.masks = {0xFF0000, 0xFF00, 0xFF};
    })); // BITFIELDS at 24 bits
    std::vector<std::uint8_t> farOffset = whole;
    test::PutLe(farOffset, 10, static_cast<std::uint32_t>(whole.size() + 1), 4);
    EXPECT_REFUSED(farOffset);
    test::PutLe(farOffset, 10, 0xFFFFFFFF, 4);
    EXPECT_REFUSED(farOffset);
    EXPECT_REFUSED(with([](RawBmp& r) { r.pixelOffset = 20; })); // inside the headers
}

TEST(BmpDecode, PicturesBeyondTheCapsAreRefusedBeforeAnyPixelIsRead)
{
    // 32768 x 32768 at 24 bits would need 3 GiB of pixels; the file holds four bytes.
    RawBmp big;
    big.width = kMaxSide;
    big.height = kMaxSide;
    big.pixels = {0, 0, 0, 0};
    EXPECT_REFUSED(BuildBmp(big));
    // The same as RLE8, whose stream could describe any size: the cap still holds.
    RawBmp rle = big;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.palette = {kRed};
    rle.pixels = {0, 1};
    EXPECT_REFUSED(BuildBmp(rle));
    // Within the caps, a tiny RLE stream may describe a large picture.
    rle.width = 4096;
    rle.height = 4096;
    const Bitmap b = Decoded(BuildBmp(rle));
    EXPECT_EQ(b.width(), 4096);
    EXPECT_EQ(b.pixel(4095, 0), kRed); // index 0 everywhere
}

// ---- RLE --------------------------------------------------------------------------------

RawBmp Rle8(int w, int h, std::vector<std::uint8_t> stream)
{
    RawBmp r;
    r.bitCount = 8;
    r.compression = 1;
    r.width = w;
    r.height = h;
    r.palette = {kBlack, kRed, kGreen, kBlue};
    r.pixels = std::move(stream);
    return r;
}

std::vector<unsigned> Indices(const Bitmap& b)
{
    std::vector<unsigned> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            out.push_back(b.index(x, y));
    return out;
}

TEST(BmpRle, RunsPastTheEdgeAreDroppedAndTheLineGoesOn)
{
    const Bitmap b = Decoded(BuildBmp(Rle8(3, 2, {5, 1, 1, 2, 0, 0, 3, 3})));
    EXPECT_EQ(Indices(b), (std::vector<unsigned>{3, 3, 3, 1, 1, 1}));
}

TEST(BmpRle, AStreamThatEndsEarlyKeepsWhatItDecoded)
{
    // Ends after one run, with no end-of-picture escape; then again inside a literal run.
    const Bitmap a = Decoded(BuildBmp(Rle8(3, 2, {2, 3})));
    EXPECT_EQ(Indices(a), (std::vector<unsigned>{0, 0, 0, 3, 3, 0}));
    const Bitmap b = Decoded(BuildBmp(Rle8(4, 1, {0, 4, 1, 2})));
    EXPECT_EQ(Indices(b), (std::vector<unsigned>{1, 2, 0, 0}));
    // A delta cut after its escape, and a delta that leaves the picture.
    EXPECT_EQ(Indices(Decoded(BuildBmp(Rle8(2, 1, {1, 2, 0, 2, 1})))), (std::vector<unsigned>{2, 0}));
    EXPECT_EQ(Indices(Decoded(BuildBmp(Rle8(2, 1, {0, 2, 0, 9, 2, 1})))), (std::vector<unsigned>{0, 0}));
}

// ---- writing ----------------------------------------------------------------------------

void PutIndex(Bitmap& b, int x, int y, unsigned index)
{
    const int bpp = b.bitsPerPixel();
    const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
    const int shift = 8 - bpp - static_cast<int>(bit % 8);
    std::uint8_t& byte = b.row(y)[bit / 8];
    byte = static_cast<std::uint8_t>((byte & ~(((1u << bpp) - 1) << shift)) | (index << shift));
}

// A 5x3 picture in `format` whose pixels all differ from their neighbours.
Bitmap Sample(PixelFormat format, ChannelMasks masks = {})
{
    Bitmap b;
    std::vector<Rgb> palette;
    if (format == PixelFormat::Pal1)
        palette = {kRed, kBlue};
    else if (IsPaletted(format))
        palette = {kRed, kGreen, kBlue};
    b.reset(5, 3, format, palette, masks);
    for (int y = 0; y < 3; ++y) {
        if (IsPaletted(format)) {
            for (int x = 0; x < 5; ++x)
                PutIndex(b, x, y, static_cast<unsigned>(x + y) % (format == PixelFormat::Pal1 ? 2 : 3));
        } else {
            for (std::size_t i = 0; i < 5 * static_cast<std::size_t>(b.bitsPerPixel()) / 8; ++i)
                b.row(y)[i] = static_cast<std::uint8_t>(17 * i + 5 * static_cast<std::size_t>(y) + 1);
        }
    }
    return b;
}

TEST(BmpEncode, RoundTripKeepsFormatPaletteMasksAndPixels)
{
    const std::vector<std::pair<PixelFormat, ChannelMasks>> cases = {
        {PixelFormat::Pal1, {}},          {PixelFormat::Pal4, {}},
        {PixelFormat::Pal8, {}},          {PixelFormat::Bits16, kMasks555},
        {PixelFormat::Bits16, kMasks565}, {PixelFormat::Bits24, {}},
        {PixelFormat::Bits32, kMasks888}, {PixelFormat::Bits32, {0x3FF00000, 0x000FFC00, 0x000003FF}},
    };
    for (const auto& [format, masks] : cases) {
        SCOPED_TRACE(BitsPerPixel(format));
        const Bitmap original = Sample(format, masks);
        const Bitmap back = Decoded(EncodeBmp(original));
        EXPECT_EQ(back.format(), original.format());
        EXPECT_EQ(back.palette(), original.palette());
        EXPECT_EQ(back.masks(), original.masks());
        EXPECT_EQ(back.pixelBytes(), original.pixelBytes());
    }
}

TEST(BmpEncode, HeaderFieldsDescribeTheFile)
{
    const Bitmap p8 = Sample(PixelFormat::Pal8);
    const std::vector<std::uint8_t> f = EncodeBmp(p8);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(U32At(f, 2), f.size());            // bfSize
    EXPECT_EQ(U32At(f, 10), 14u + 40u + 3u * 4); // bfOffBits: after three RGBQUADs
    EXPECT_EQ(U32At(f, 14), 40u);
    EXPECT_EQ(U32At(f, 18), 5u);
    EXPECT_EQ(U32At(f, 22), 3u);     // positive height: bottom-up
    EXPECT_EQ(U32At(f, 30), 0u);     // BI_RGB
    EXPECT_EQ(U32At(f, 34), 8u * 3); // biSizeImage = stride * height
    EXPECT_EQ(U32At(f, 46), 3u);     // colours used
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 54, f.begin() + 58), (std::vector<std::uint8_t>{0, 0, 255, 0}));
    // The first stored row is the bottom one.
    EXPECT_EQ(std::memcmp(f.data() + U32At(f, 10), p8.row(2), 8), 0);

    const std::vector<std::uint8_t> f565 = EncodeBmp(Sample(PixelFormat::Bits16, kMasks565));
    EXPECT_EQ(U32At(f565, 30), 3u); // BI_BITFIELDS, masks after the header
    EXPECT_EQ(U32At(f565, 54), 0xF800u);
    EXPECT_EQ(U32At(f565, 10), 66u);
    EXPECT_EQ(U32At(EncodeBmp(Sample(PixelFormat::Bits16, kMasks555)), 30), 0u);
    EXPECT_EQ(U32At(EncodeBmp(Sample(PixelFormat::Bits32, kMasks888)), 30), 0u);
    EXPECT_EQ(U32At(EncodeBmp(Sample(PixelFormat::Bits24)), 10), 54u);
}

TEST(BmpEncode, AnEmptyPictureIsAnEmptyFile)
{
    EXPECT_TRUE(EncodeBmp(Bitmap()).empty());
    Bitmap b = Sample(PixelFormat::Bits24);
    DecodeBmp(EncodeBmp(Bitmap()), b);
    EXPECT_TRUE(b.empty());
}

// ---- files ------------------------------------------------------------------------------

TEST(BmpFile, SaveThenLoadGivesThePictureBack)
{
    test::TempDir dir;
    const std::string path = (dir / "p.bmp").string();
    const Bitmap original = Sample(PixelFormat::Pal4);
    SaveBmpFile(original, path);
    EXPECT_EQ(test::ReadBytes(path), EncodeBmp(original));
    Bitmap back;
    LoadBmpFile(path, back);
    EXPECT_EQ(back.pixelBytes(), original.pixelBytes());
    EXPECT_EQ(back.palette(), original.palette());
}

TEST(BmpFile, ErrorsNameTheFileAndTheReason)
{
    test::TempDir dir;
    const std::string missing = (dir / "missing.bmp").string();
    Bitmap b;
    try {
        LoadBmpFile(missing, b);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + missing + "\". " + SystemReason(ENOENT));
    }
    const std::string noFolder = (dir / "no" / "p.bmp").string();
    try {
        SaveBmpFile(Sample(PixelFormat::Bits24), noFolder);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + noFolder + "\". " + SystemReason(ENOENT));
    }
    // A folder is refused before anything is read.
    try {
        LoadBmpFile(dir.str(), b);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir.str() + "\". Not a regular file");
    }
    // A file that is no BMP gives the reader's message.
    const std::string text = (dir / "t.bmp").string();
    test::WriteBytes(text, {'h', 'e', 'l', 'l', 'o'});
    try {
        LoadBmpFile(text, b);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kBitmapNotValid);
    }
}

} // namespace
} // namespace vexaro
