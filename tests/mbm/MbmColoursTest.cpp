// Colour rules both ways: palettes and their nearest-colour tables, the depth reductions of
// compile, the colours and BMP files of decompile, twips and palette files.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReduce.h"
#include "mbm/Palette.h"
#include "TestSupport.h"

namespace vexaro::mbm {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

MbmImage Image(int w, int h, int bpp, std::uint32_t mode, Bytes pixels)
{
    MbmImage image;
    image.width = w;
    image.height = h;
    image.bitsPerPixel = bpp;
    image.colourMode = mode;
    image.pixels = std::move(pixels);
    return image;
}

Bitmap OnePixel(Rgb c)
{
    return test::Paint(1, 1, [c](int, int) { return c; });
}

TEST(Palettes, StandardEntries)
{
    const Palette256& p = StandardPalette256();
    EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(p[5], (Rgb{255, 0, 0}));
    EXPECT_EQ(p[30], (Rgb{0, 255, 0}));
    EXPECT_EQ(p[107], (Rgb{255, 255, 102}));
    EXPECT_EQ(p[108], (Rgb{17, 17, 17}));
    EXPECT_EQ(p[128], (Rgb{0, 0, 136}));
    EXPECT_EQ(p[147], (Rgb{238, 238, 238}));
    EXPECT_EQ(p[148], (Rgb{0, 0, 153}));
    EXPECT_EQ(p[255], (Rgb{255, 255, 255}));
    EXPECT_EQ(StandardPalette16()[2], (Rgb{128, 0, 0}));
    EXPECT_EQ(StandardPalette16()[14], (Rgb{170, 170, 170}));
}

TEST(Palettes, NearestColourTablesEqualTheConvertersTables)
{
    const InverseTable16& t16 = StandardInverse16();
    const InverseTable256& t256 = StandardInverse256();
    EXPECT_EQ(test::Sha256Hex(Bytes(t16.begin(), t16.end())),
              "a2d60d796252290eec48736b8f16accaf5641f2b667659b71852e233210f3e64");
    EXPECT_EQ(test::Sha256Hex(Bytes(t256.begin(), t256.end())),
              "9b7bdfa0ab16eef80e830d98e7a4b8835b827e3e013cf411c258d5b67d708d31");
}

TEST(Palettes, PaletteFile)
{
    // 256 numbers 0x00BBGGRR in any layout; the first two digits are ignored.
    std::string text = "// palette\r\n0x00000000, 0xFF0000FF,";
    for (int i = 2; i < 256; ++i)
        text += " 0x00" + std::string(i == 200 ? "zz" : "10") + "2030\n";
    const Palette256 palette = ParsePaletteFile(text);
    EXPECT_EQ(palette[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(palette[1], (Rgb{255, 0, 0}));
    EXPECT_EQ(palette[2], (Rgb{0x30, 0x20, 0x10}));
    EXPECT_EQ(palette[200], (Rgb{0x30, 0x20, 0x00})); // no hex digit counts as 0
    // A table from the palette prefers its own exact colours.
    const InverseTable256 table = BuildInverse256(palette);
    EXPECT_EQ(NearestIndex256(table, Rgb{255, 0, 0}), 1);
    try {
        ParsePaletteFile("0x00112233 0x00445566");
        FAIL() << "a short palette was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Bad palette file: 2 colours where 256 are needed");
    }
}

TEST(Reduce, GreyLevelsAndTheGreyRemap)
{
    // G = (2r + 5g + b) / 8; /1 /2 /4 keep its top bits.
    const Rgb c{100, 200, 50}; // G = (200 + 1000 + 50) / 8 = 156
    EXPECT_EQ(ReduceBitmap(OnePixel(c), {8, false, false}).pixels[0], 156);
    EXPECT_EQ(ReduceBitmap(OnePixel(c), {4, false, false}).pixels[0], 0xF0 | (156 / 16));
    EXPECT_EQ(ReduceBitmap(OnePixel(c), {2, false, false}).pixels[0], 0xFC | (156 / 64));
    EXPECT_EQ(ReduceBitmap(OnePixel(c), {1, false, false}).pixels[0], 0xFF);
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{100, 100, 100}), {1, false, false}).pixels[0], 0xFE);
    // The remap applies at every depth, even 24 bits.
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{128, 128, 128}), {24, true, false}).pixels[0], 127);
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{192, 192, 192}), {24, true, false}).pixels[0], 187);
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{128, 128, 129}), {24, true, false}).pixels[0], 129);
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{192, 192, 192}), {8, false, false}).pixels[0], 187);
}

TEST(Reduce, ColourDepthsTruncate)
{
    const Rgb c{0xAB, 0xCD, 0xEF};
    const Bytes c12 = ReduceBitmap(OnePixel(c), {12, true, false}).pixels;
    EXPECT_EQ(c12, (Bytes{0xCE, 0x0A, 0xFF, 0xFF})); // 0x0ACE and the padding word 0xFFFF
    const Bytes c16 = ReduceBitmap(OnePixel(c), {16, true, false}).pixels;
    const unsigned v16 = c16[0] | (c16[1] << 8);
    EXPECT_EQ(v16, ((0xABu >> 3) << 11) | ((0xCDu >> 2) << 5) | (0xEFu >> 3));
    EXPECT_EQ(ReduceBitmap(OnePixel(c), {24, true, false}).pixels,
              (Bytes{0xEF, 0xCD, 0xAB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ReduceBitmap(OnePixel(c), {32, true, false}).pixels, (Bytes{0xEF, 0xCD, 0xAB, 0x00}));
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{250, 5, 5}), {8, true, false}).pixels[0], 5);
    EXPECT_EQ(ReduceBitmap(OnePixel(Rgb{250, 5, 5}), {4, true, false}).pixels[0], 0xF5);
}

TEST(Reduce, PackingIsLeastSignificantBitsFirstWithOnesInThePadding)
{
    // 10 pixels, black except pixel 1 and 9: 1 bpp row of one word.
    const Bitmap row = test::Paint(10, 1, [](int x, int) { return x == 1 || x == 9 ? kWhite : kBlack; });
    EXPECT_EQ(ReduceBitmap(row, {1, false, false}).pixels, (Bytes{0x02, 0xFE, 0xFF, 0xFF}));
    const Bytes grey4 = ReduceBitmap(row, {4, false, false}).pixels;
    EXPECT_EQ(grey4, (Bytes{0xF0, 0x00, 0x00, 0x00, 0xF0, 0xFF, 0xFF, 0xFF}));
}

TEST(Reduce, AlphaFromAnEightBitPicture)
{
    Bitmap alpha;
    alpha.reset(2, 1, PixelFormat::Pal8, std::vector<Rgb>(256, kBlack));
    alpha.row(0)[0] = 0x40;
    alpha.row(0)[1] = 0xC0;
    const Bitmap source = test::Paint(2, 1, [](int x, int) { return Rgb{1, 2, static_cast<std::uint8_t>(x)}; });
    const MbmImage image = ReduceBitmap(source, {32, true, true}, StandardInverse256(), &alpha);
    EXPECT_EQ(image.colourMode, kColourAlpha);
    EXPECT_EQ(image.pixels, (Bytes{0, 2, 1, 0x40, 1, 2, 1, 0xC0}));
    EXPECT_THROW(ReduceBitmap(source, {32, true, true}), Error);
    EXPECT_THROW(ReduceBitmap(source, {32, true, true}, StandardInverse256(), &source), Error);
    EXPECT_THROW(ReduceBitmap(source, {24, true, true}, StandardInverse256(), &alpha), Error);
}

// Pictures in every layout reduce as their colours do, whatever the layout: as the same
// picture at 24 bits per pixel.
TEST(Reduce, EveryLayoutReducesAsItsColours)
{
    struct Layout {
        PixelFormat format;
        ChannelMasks masks;
        std::size_t paletteSize;
    };
    const Layout layouts[] = {
        {PixelFormat::Pal1, {}, 2},
        {PixelFormat::Pal4, {}, 11}, // indices past the palette read black
        {PixelFormat::Pal8, {}, 256},
        {PixelFormat::Bits16, kMasks565, 0},
        {PixelFormat::Bits16, kMasks555, 0},
        {PixelFormat::Bits16, {0x0F00, 0x00F0, 0x000F}, 0},
        {PixelFormat::Bits32, kMasks888, 0},
        {PixelFormat::Bits32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0},
        {PixelFormat::Bits32, {0xFFFFF000, 0x00000F00, 0}, 0}, // a channel of 20 bits, one of none
    };
    const DepthOption options[] = {{1, false, false}, {2, false, false}, {4, false, false}, {8, false, false},
                                   {4, true, false},  {8, true, false},  {12, true, false}, {16, true, false},
                                   {24, true, false}, {32, true, false}};
    std::uint32_t seed = 7;
    auto next = [&seed] { return static_cast<std::uint8_t>((seed = seed * 1664525 + 1013904223) >> 24); };
    for (const Layout& layout : layouts) {
        std::vector<Rgb> palette(layout.paletteSize);
        for (Rgb& c : palette)
            c = Rgb{next(), next(), next()};
        if (palette.size() > 4) { // greys the remap changes
            palette[1] = Rgb{128, 128, 128};
            palette[3] = Rgb{192, 192, 192};
        }
        Bitmap picture;
        picture.reset(13, 3, layout.format, palette, layout.masks);
        for (std::uint8_t& b : picture.pixelBytes())
            b = next();
        if (layout.format == PixelFormat::Bits32 && layout.masks == kMasks888) {
            picture.setPixel(2, 1, Rgb{128, 128, 128});
            picture.setPixel(5, 2, Rgb{192, 192, 192});
        }
        Bitmap as24 = picture;
        as24.convertTo24();
        for (const DepthOption& option : options) {
            SCOPED_TRACE(std::to_string(BitsPerPixel(layout.format)) + " bpp source, masks " +
                         std::to_string(layout.masks.r) + ", option " + std::to_string(option.bitsPerPixel) +
                         (option.colour ? " colour" : " grey"));
            EXPECT_EQ(ReduceBitmap(picture, option).pixels, ReduceBitmap(as24, option).pixels);
        }
    }
}

TEST(Reduce, Twips)
{
    EXPECT_EQ(TwipsFor(600, 3780), 899); // truncated twice, not 900
    EXPECT_EQ(TwipsFor(44, 2834), 88);
    EXPECT_EQ(TwipsFor(44, 2835), 87);
    EXPECT_EQ(TwipsFor(176, 0), 0);
    EXPECT_EQ(TwipsFor(176, -3780), 0);
    EXPECT_EQ(TwipsFor(20000, 1), 113385826); // no 32-bit overflow
}

TEST(DecompileColours, EveryDepthsRule)
{
    // 1 bpp: bit 0 is the leftmost pixel.
    const MbmImage mono = Image(3, 1, 1, kGrey, {0x05, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(PixelColour(mono, 0, 0), kWhite);
    EXPECT_EQ(PixelColour(mono, 1, 0), kBlack);
    EXPECT_EQ(PixelColour(Image(1, 1, 2, kGrey, {0xFE, 0, 0, 0}), 0, 0), (Rgb{170, 170, 170}));
    EXPECT_EQ(PixelColour(Image(2, 1, 4, kGrey, {0x3A, 0, 0, 0}), 1, 0), (Rgb{51, 51, 51}));
    EXPECT_EQ(PixelColour(Image(2, 1, 4, kColour, {0x3A, 0, 0, 0}), 1, 0), (Rgb{128, 128, 0}));
    EXPECT_EQ(PixelColour(Image(1, 1, 8, kColour, {108, 0, 0, 0}), 0, 0), (Rgb{17, 17, 17}));
    EXPECT_EQ(PixelColour(Image(1, 1, 8, kGrey, {108, 0, 0, 0}), 0, 0), (Rgb{108, 108, 108}));
    // An unknown colour mode reads as grey.
    EXPECT_EQ(PixelColour(Image(1, 1, 8, 0xFFFFFFFF, {108, 0, 0, 0}), 0, 0), (Rgb{108, 108, 108}));
    EXPECT_EQ(PixelColour(Image(1, 1, 12, kColour, {0x5A, 0xF3, 0, 0}), 0, 0), (Rgb{51, 85, 170}));
    // 16 bpp: floor(255 v / 31): red 4 gives 32 where bit repetition would give 33.
    EXPECT_EQ(PixelColour(Image(1, 1, 16, kColour, {0x00, 0x20, 0, 0}), 0, 0), (Rgb{32, 0, 0}));
    EXPECT_EQ(PixelColour(Image(1, 1, 16, kColour, {0xFF, 0xFF, 0, 0}), 0, 0), kWhite);
    EXPECT_EQ(PixelColour(Image(1, 1, 32, kColourAlpha, {1, 2, 3, 4}), 0, 0), (Rgb{3, 2, 1}));
}

TEST(DecompileBmp, HeaderPixelsAndPadding)
{
    // 2 x 2 at 16 bpp: rows of 6 bytes padded to 8 with 0xFF, bottom row first.
    const MbmImage image = Image(2, 2, 16, kColour, {0x1F, 0x00, 0x00, 0xF8, 0xE0, 0x07, 0xFF, 0xFF});
    const Bytes bmp = EncodeDecompiledBmp(image);
    ASSERT_EQ(bmp.size(), 54u + 16);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Get32(bmp, 2), 70u);
    EXPECT_EQ(Get32(bmp, 10), 54u);
    EXPECT_EQ(Get32(bmp, 14), 40u);
    EXPECT_EQ(Get32(bmp, 18), 2u);
    EXPECT_EQ(Get32(bmp, 22), 2u);
    EXPECT_EQ(Get32(bmp, 26), 1u | (24u << 16));
    EXPECT_EQ(Get32(bmp, 34), 0u); // biSizeImage
    EXPECT_EQ(Get32(bmp, 38), 0u); // pixels per metre
    EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.end()),
              (Bytes{0, 255, 0, 255, 255, 255, 0xFF, 0xFF, // bottom row: green, white
                     255, 0, 0, 0, 0, 255, 0xFF, 0xFF}));  // top row: blue, red
    // 0 x 0: the header alone.
    EXPECT_EQ(EncodeDecompiledBmp(Image(0, 0, 2, kGrey, {})).size(), 54u);
    // In pieces of a row each (the header with the first), the same bytes.
    Bytes pieces;
    std::vector<std::size_t> sizes;
    EncodeDecompiledBmp(image, 1, [&](std::span<const std::uint8_t> piece) {
        pieces.insert(pieces.end(), piece.begin(), piece.end());
        sizes.push_back(piece.size());
    });
    EXPECT_EQ(pieces, bmp);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{62, 8}));
}

TEST(DecompileBmp, AlphaCompanion)
{
    const MbmImage image = Image(3, 1, 32, kColourAlpha, {1, 2, 3, 0x10, 4, 5, 6, 0x20, 7, 8, 9, 0x30});
    EXPECT_TRUE(HasAlphaChannel(image));
    EXPECT_FALSE(HasAlphaChannel(Image(3, 1, 32, kColour, {})));
    const Bytes bmp = EncodeAlphaBmp(image);
    ASSERT_EQ(bmp.size(), 54u + 1024 + 4);
    EXPECT_EQ(Get32(bmp, 2), 1082u);
    EXPECT_EQ(Get32(bmp, 10), 1078u);
    EXPECT_EQ(Get32(bmp, 28) & 0xFFFF, 8u);
    EXPECT_EQ(Get32(bmp, 34), 4u);   // biSizeImage
    EXPECT_EQ(Get32(bmp, 46), 256u); // colours used
    EXPECT_EQ(Get32(bmp, 54 + 4 * 200), 0x00C8C8C8u);
    EXPECT_EQ(Bytes(bmp.end() - 4, bmp.end()), (Bytes{0x10, 0x20, 0x30, 0x00}));
}

} // namespace
} // namespace vexaro::mbm
