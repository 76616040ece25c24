// The picture type: size changes, pixel reads in every format, drawing and transparency.
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bitmap/Bitmap.h"
#include "base/Error.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

Rgb Colour(int x, int y)
{
    return Rgb{static_cast<std::uint8_t>(40 * x + 1), static_cast<std::uint8_t>(50 * y + 2), 99};
}

void ExpectRefused(int w, int h, PixelFormat f)
{
    Bitmap b;
    try {
        b.reset(w, h, f);
        ADD_FAILURE() << w << "x" << h << " was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kBitmapNotValid);
    }
}

// Paletted picture with the given indices, one row per string of hex digits.
Bitmap Indexed(PixelFormat f, std::vector<Rgb> palette, const std::vector<std::string>& rows)
{
    Bitmap b;
    b.reset(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), f, std::move(palette));
    const int bpp = b.bitsPerPixel();
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const unsigned v = static_cast<unsigned>(
                std::stoi(std::string(1, rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]), nullptr, 16));
            const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
            b.row(y)[bit / 8] =
                static_cast<std::uint8_t>(b.row(y)[bit / 8] | (v << (8 - bpp - static_cast<int>(bit % 8))));
        }
    return b;
}

std::vector<Rgb> Colours(const Bitmap& b)
{
    std::vector<Rgb> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            out.push_back(b.pixel(x, y));
    return out;
}

TEST(Bitmap, ANewPictureIsEmpty)
{
    const Bitmap b;
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.format(), PixelFormat::Bits24);
    EXPECT_TRUE(b.toRgb().empty());
}

TEST(Bitmap, ResetRefusesPicturesBeyondTheCaps)
{
    ExpectRefused(kMaxSide + 1, 1, PixelFormat::Pal1);
    ExpectRefused(1, kMaxSide + 1, PixelFormat::Pal1);
    ExpectRefused(-1, 1, PixelFormat::Bits24);
    ExpectRefused(kMaxSide, kMaxSide, PixelFormat::Bits24); // 3 GiB
    Bitmap b;
    b.reset(kMaxSide, 2048, PixelFormat::Bits32); // exactly 256 MiB is allowed
    EXPECT_EQ(b.pixelBytes().size(), kMaxPixelBytes);
}

TEST(Bitmap, ResizingKeepsTheTopLeftAndPaintsNewPixelsWhite)
{
    Bitmap b = test::Paint(3, 2, Colour);
    b.setWidth(5);
    b.setHeight(4);
    ASSERT_EQ(b.width(), 5);
    ASSERT_EQ(b.height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(b.pixel(x, y), x < 3 && y < 2 ? Colour(x, y) : kWhite) << x << "," << y;
    b.setSize(2, 1);
    EXPECT_EQ(Colours(b), (std::vector<Rgb>{Colour(0, 0), Colour(1, 0)}));
    b.setWidth(0);
    EXPECT_TRUE(b.empty());
    b.setWidth(1);
    EXPECT_EQ(b.pixel(0, 0), kWhite);
}

TEST(Bitmap, ResizingAPalettedPictureGivesExactWhite)
{
    // The palette has white: format and palette stay.
    Bitmap withWhite = Indexed(PixelFormat::Pal8, {kRed, kWhite, kGreen}, {"02", "20"});
    withWhite.setSize(3, 3);
    EXPECT_EQ(withWhite.format(), PixelFormat::Pal8);
    EXPECT_EQ(withWhite.palette().size(), 3u);
    EXPECT_EQ(Colours(withWhite),
              (std::vector<Rgb>{kRed, kGreen, kWhite, kGreen, kRed, kWhite, kWhite, kWhite, kWhite}));

    // No white but room: white is added.
    Bitmap room = Indexed(PixelFormat::Pal4, {kRed, kGreen}, {"01"});
    room.setWidth(3);
    EXPECT_EQ(room.format(), PixelFormat::Pal4);
    EXPECT_EQ(room.palette(), (std::vector<Rgb>{kRed, kGreen, kWhite}));
    EXPECT_EQ(Colours(room), (std::vector<Rgb>{kRed, kGreen, kWhite}));

    // No white and no room: the picture goes to 24 bits with its colours. A 1-bit picture
    // 9 wide also checks that the partly kept byte keeps its bits.
    Bitmap full = Indexed(PixelFormat::Pal1, {kBlack, kRed}, {"101010101"});
    full.setWidth(11);
    EXPECT_EQ(full.format(), PixelFormat::Bits24);
    EXPECT_EQ(Colours(full),
              (std::vector<Rgb>{kRed, kBlack, kRed, kBlack, kRed, kBlack, kRed, kBlack, kRed, kWhite, kWhite}));

    // An index past the palette reads black; adding white there would repaint it.
    Bitmap stray = Indexed(PixelFormat::Pal8, {kRed}, {"05"});
    stray.setHeight(2);
    EXPECT_EQ(Colours(stray), (std::vector<Rgb>{kRed, kBlack, kWhite, kWhite}));
}

TEST(Bitmap, ResizingA16BitPictureKeepsItsMasksAndPaintsWhite)
{
    Bitmap b;
    b.reset(1, 1, PixelFormat::Bits16, {}, kMasks555);
    b.row(0)[0] = 0x1F; // blue
    b.setSize(2, 2);
    EXPECT_EQ(b.format(), PixelFormat::Bits16);
    EXPECT_EQ(b.masks(), kMasks555);
    EXPECT_EQ(Colours(b), (std::vector<Rgb>{kBlue, kWhite, kWhite, kWhite}));
}

TEST(Bitmap, PixelReadsEveryFormat)
{
    EXPECT_EQ(Colours(Indexed(PixelFormat::Pal1, {kRed, kBlue}, {"0110"})),
              (std::vector<Rgb>{kRed, kBlue, kBlue, kRed}));
    EXPECT_EQ(Colours(Indexed(PixelFormat::Pal4, {kRed, kGreen, kBlue}, {"210"})),
              (std::vector<Rgb>{kBlue, kGreen, kRed}));
    // Index 3 is past the palette: black.
    EXPECT_EQ(Colours(Indexed(PixelFormat::Pal8, {kRed, kGreen, kBlue}, {"23"})), (std::vector<Rgb>{kBlue, kBlack}));

    Bitmap b16;
    b16.reset(3, 1, PixelFormat::Bits16, {}, kMasks565);
    const std::uint16_t words[] = {0xF800, 0x0400, 0x0010}; // red full; green 32/63; blue 16/31
    for (int x = 0; x < 3; ++x) {
        b16.row(0)[2 * x] = static_cast<std::uint8_t>(words[x]);
        b16.row(0)[2 * x + 1] = static_cast<std::uint8_t>(words[x] >> 8);
    }
    EXPECT_EQ(Colours(b16), (std::vector<Rgb>{kRed, Rgb{0, 130, 0}, Rgb{0, 0, 132}}));

    Bitmap b24;
    b24.reset(1, 1, PixelFormat::Bits24);
    b24.row(0)[0] = 1; // blue, green, red
    b24.row(0)[1] = 2;
    b24.row(0)[2] = 3;
    EXPECT_EQ(b24.pixel(0, 0), (Rgb{3, 2, 1}));

    Bitmap b32;
    b32.reset(2, 1, PixelFormat::Bits32, {}, ChannelMasks{0x000003FF, 0x000FFC00, 0x3FF00000});
    // Pixel 0: red 1023; pixel 1: blue 512 of 1023 -> round(127.62) = 128, top bits ignored.
    const std::uint32_t w32[] = {0x000003FF, 0xC0000000u | (512u << 20)};
    for (int x = 0; x < 2; ++x)
        for (int k = 0; k < 4; ++k)
            b32.row(0)[4 * x + k] = static_cast<std::uint8_t>(w32[x] >> (8 * k));
    EXPECT_EQ(Colours(b32), (std::vector<Rgb>{kRed, Rgb{0, 0, 128}}));
}

TEST(Bitmap, SetPixelOnAPalettedPictureKeepsEveryColourExact)
{
    const Rgb odd{12, 34, 56};
    Bitmap b = Indexed(PixelFormat::Pal4, {odd, kGreen, kRed}, {"012", "210"});
    std::vector<Rgb> expected = Colours(b);
    b.setPixel(1, 1, kBlue);
    expected[4] = kBlue;
    EXPECT_EQ(Colours(b), expected);
}

// Expected result of drawing `src` at (ox, oy) on `before`, pixel by pixel.
std::vector<Rgb> Drawn(const Bitmap& before, const Bitmap& src, int ox, int oy, bool transparent)
{
    std::vector<Rgb> out;
    const Rgb key = src.transparentColour();
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const long long sx = static_cast<long long>(x) - ox, sy = static_cast<long long>(y) - oy;
            Rgb c = before.pixel(x, y);
            if (sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height()) {
                const Rgb s = src.pixel(static_cast<int>(sx), static_cast<int>(sy));
                if (!(transparent && s == key))
                    c = s;
            }
            out.push_back(c);
        }
    return out;
}

TEST(Bitmap, DrawCopiesClipsAndAllowsNegativeOffsets)
{
    const Bitmap canvas = test::Paint(5, 4, [](int, int) { return kGreen; });
    const Bitmap src = test::Paint(3, 2, Colour);
    for (const auto& [ox, oy] : std::vector<std::pair<int, int>>{
             {0, 0}, {-1, -1}, {3, 3}, {-2, 2}, {4, -1}, {5, 0}, {-3, 0}, {INT_MAX, INT_MAX}, {INT_MIN, 0}}) {
        SCOPED_TRACE(std::to_string(ox) + "," + std::to_string(oy));
        Bitmap dst = canvas;
        Draw(dst, src, ox, oy);
        EXPECT_EQ(Colours(dst), Drawn(canvas, src, ox, oy, false));
    }
    // A paletted source onto a paletted target: the target takes the colours.
    Bitmap dst = Indexed(PixelFormat::Pal8, {kRed}, {"000", "000"});
    const Bitmap pal = Indexed(PixelFormat::Pal4, {kBlue, kWhite}, {"01"});
    Draw(dst, pal, 1, 1);
    EXPECT_EQ(Colours(dst), (std::vector<Rgb>{kRed, kRed, kRed, kRed, kBlue, kWhite}));
}

TEST(Bitmap, TransparentDrawSkipsTheBottomLeftColour)
{
    const Bitmap canvas = test::Paint(4, 3, [](int, int) { return kGreen; });
    // Bottom-left is red; red elsewhere in the picture is skipped too, white is drawn.
    const Bitmap src = Indexed(PixelFormat::Pal8, {kRed, kBlue, kWhite}, {"120", "012", "001"});
    EXPECT_EQ(src.transparentColour(), kRed);
    for (const auto& [ox, oy] : std::vector<std::pair<int, int>>{{0, 0}, {-1, 1}, {2, -1}}) {
        Bitmap dst = canvas;
        Draw(dst, src, ox, oy, true);
        EXPECT_EQ(Colours(dst), Drawn(canvas, src, ox, oy, true));
        EXPECT_NE(Colours(dst), Drawn(canvas, src, ox, oy, false));
    }
}

TEST(Bitmap, OneBitPicturesAreTransparentInWhite)
{
    // Bottom-left is black, yet white is the colour left out.
    const Bitmap src = Indexed(PixelFormat::Pal1, {kBlack, kWhite}, {"10", "01", "01"});
    EXPECT_EQ(src.transparentColour(), kWhite);
    Bitmap dst = test::Paint(2, 3, [](int, int) { return kRed; });
    Draw(dst, src, 0, 0, true);
    EXPECT_EQ(Colours(dst), (std::vector<Rgb>{kRed, kBlack, kBlack, kRed, kBlack, kRed}));
}

} // namespace
} // namespace vexaro
