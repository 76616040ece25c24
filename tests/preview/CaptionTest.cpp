// The caption face: reading raster fonts, choosing the strike, drawing and clipping captions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Error.h"
#include "preview/RasterFont.h"

namespace vexaro {
namespace {

Bitmap Filled(int w, int h, Rgb colour)
{
    Bitmap b;
    b.setSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, colour);
    return b;
}

constexpr Rgb kPaper{1, 2, 3};

CaptionStyle Regular()
{
    CaptionStyle style;
    style.bold = false;
    return style;
}

TEST(CaptionFont, CarriesThreeStrikesAndPicksTheOneThatFits)
{
    const RasterFont& font = CaptionFont();
    ASSERT_EQ(font.strikes.size(), 3u);
    EXPECT_EQ(font.strikeFor(15).height, 13); // the preview's 15-pixel cell
    EXPECT_EQ(font.strikeFor(16).height, 16);
    EXPECT_EQ(font.strikeFor(100).height, 20);
    EXPECT_EQ(font.strikeFor(4).height, 13); // none fits: the shortest
    for (const RasterStrike& s : font.strikes) {
        EXPECT_EQ(s.firstChar, 32);
        EXPECT_EQ(s.glyphs.size(), 224u);
        EXPECT_LT(s.weight, 600);
        // A glyph has ink, a blank has none.
        int ink = 0;
        for (auto p : s.glyph('A').rows)
            ink += p;
        EXPECT_GT(ink, 10);
        for (auto p : s.glyph(' ').rows)
            EXPECT_EQ(p, 0);
    }
}

TEST(Caption, FillsItsCellAndLeavesTheRestAlone)
{
    Bitmap picture = Filled(120, 30, kPaper);
    const CaptionStyle style;
    const std::string text = "Image :";
    const int width = CaptionWidth(text, style);
    DrawCaption(picture, 10, 5, text, style);
    int ink = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Rgb p = picture.pixel(x, y);
            const bool inCell = x >= 10 && x < 10 + width && y >= 5 && y < 5 + style.cellHeight;
            if (!inCell) {
                EXPECT_EQ(p, kPaper) << x << "," << y;
                continue;
            }
            ASSERT_TRUE(p == style.background || p == style.text) << x << "," << y;
            ink += p == style.text;
            // The 13-pixel strike leaves the last two rows of the 15-pixel cell empty.
            if (y >= 5 + 13) {
                EXPECT_EQ(p, style.background) << x << "," << y;
            }
        }
    EXPECT_GT(ink, 40);
}

// Bold on a regular strike: each glyph drawn twice one pixel apart, one pixel more advance.
TEST(Caption, BoldIsTheGlyphDrawnTwiceOnePixelApart)
{
    const std::string text = "Menu :";
    const CaptionStyle bold;
    EXPECT_EQ(CaptionWidth(text, bold), CaptionWidth(text, Regular()) + static_cast<int>(text.size()));
    for (const char c : std::string("AMg:")) {
        const std::string one(1, c);
        Bitmap regular = Filled(20, 15, kPaper), thick = Filled(20, 15, kPaper);
        DrawCaption(regular, 0, 0, one, Regular());
        DrawCaption(thick, 0, 0, one, bold);
        const int w = CaptionWidth(one, Regular());
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x <= w; ++x) {
                const bool here = x < w && regular.pixel(x, y) == bold.text;
                const bool left = x > 0 && regular.pixel(x - 1, y) == bold.text;
                EXPECT_EQ(thick.pixel(x, y) == bold.text, here || left) << c << " at " << x << "," << y;
            }
    }
}

// A caption that runs over any edge shows the part inside, the same pixels as when drawn whole.
TEST(Caption, ClipsAtEveryEdge)
{
    const std::string text = "Camera Organ.   Music";
    const CaptionStyle style;
    Bitmap whole = Filled(200, 40, kPaper);
    DrawCaption(whole, 50, 10, text, style);
    const int offsets[][2] = {{-7, -4}, {-60, 0}, {0, -14}, {40, 5}, {-200, 0}, {0, 30}, {-3, 20}};
    for (const auto& o : offsets) {
        Bitmap part = Filled(60, 20, kPaper);
        DrawCaption(part, o[0], o[1], text, style);
        // Drawn at (o0, o1) instead of (50, 10): part(x, y) must show whole(x + 50 - o0, y + 10 - o1).
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x) {
                const int wx = x + 50 - o[0], wy = y + 10 - o[1];
                const Rgb expected =
                    wx >= 0 && wx < whole.width() && wy >= 0 && wy < whole.height() ? whole.pixel(wx, wy) : kPaper;
                ASSERT_EQ(part.pixel(x, y), expected) << "offset " << o[0] << "," << o[1] << " at " << x << "," << y;
            }
    }
}

TEST(Caption, CharactersTheFaceLacksUseItsDefaultCharacter)
{
    const RasterStrike& strike = CaptionFont().strikeFor(15);
    const char fallback = static_cast<char>(strike.firstChar + strike.defaultChar);
    Bitmap a = Filled(30, 15, kPaper), b = Filled(30, 15, kPaper);
    DrawCaption(a, 0, 0, std::string("x\x01y", 3), CaptionStyle{});
    DrawCaption(b, 0, 0, std::string("x") + fallback + "y", CaptionStyle{});
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << x << "," << y;
}

std::string ReadError(const std::vector<std::uint8_t>& bytes)
{
    try {
        ReadRasterFont(bytes, "t.fon");
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// Every cut of the file, and damaged fields, are refused with a message; none reads past the end.
TEST(RasterFontFile, DamagedFilesAreRefused)
{
    const auto file = CaptionFontFile();
    const std::vector<std::uint8_t> whole(file.begin(), file.end());
    EXPECT_EQ(ReadRasterFont(whole, "t.fon").strikes.size(), 3u);
    EXPECT_EQ(ReadError({}), "Font \"t.fon\" is damaged: the executable header lies outside the file");
    for (std::size_t length = 0; length < whole.size(); length += 13) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_NE(ReadError(cut), "") << "cut at " << length;
    }
    auto broken = whole;
    broken[0] = 'X';
    EXPECT_EQ(ReadError(broken), "Font \"t.fon\" is damaged: no executable header");

    // The first strike's first glyph moved far past its resource.
    const std::uint32_t ne = whole[0x3C] | (whole[0x3D] << 8);
    const std::uint32_t table = ne + (whole[ne + 0x24] | (whole[ne + 0x25] << 8));
    const unsigned shift = whole[table];
    std::uint32_t at = table + 2;
    while ((whole[at] | (whole[at + 1] << 8)) != 0x8008)
        at += 8 + 12 * (whole[at + 2] | (whole[at + 3] << 8));
    const std::uint32_t fnt = static_cast<std::uint32_t>(whole[at + 8] | (whole[at + 9] << 8)) << shift;
    broken = whole;
    broken[fnt + 0x94 + 5] = 0x7F;
    EXPECT_EQ(ReadError(broken), "Font \"t.fon\" is damaged: strike 1: glyph 32 lies outside the resource");
    broken = whole;
    broken[fnt + 0x60] = 0x10; // last character before the first
    EXPECT_EQ(ReadError(broken), "Font \"t.fon\" is damaged: last character before the first");
    broken = whole;
    broken[at + 2] = 0xE8; // 1000 FONT resources announced
    broken[at + 3] = 0x03;
    EXPECT_EQ(ReadError(broken), "Font \"t.fon\" is damaged: more than 32 strikes");
}

} // namespace
} // namespace vexaro
