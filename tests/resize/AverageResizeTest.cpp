#include <array>
#include <random>

#include <gtest/gtest.h>

#include "resize/AverageResize.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

using test::Paint;

// The resize rule written out plainly, pixel by pixel: the reference for the fast version.
void ReferenceResize(const Bitmap& src, Bitmap& dst, int width, int height)
{
    dst.setSize(width, height);
    const int sw = src.width(), sh = src.height();
    const float xStep = static_cast<float>(sw) / static_cast<float>(width);
    const float yStep = static_cast<float>(sh) / static_cast<float>(height);
    float yEnd = 0;
    for (int i = 0; i < height; ++i) {
        const float yStart = yEnd;
        yEnd = yStart + yStep;
        if (!(static_cast<float>(sh) > yEnd))
            yEnd = static_cast<float>(sh - 1);
        float xEnd = 0;
        for (int j = 0; j < width; ++j) {
            const float xStart = xEnd;
            xEnd = xStart + xStep;
            if (!(static_cast<float>(sw) > xEnd))
                xEnd = static_cast<float>(sw - 1);
            long r = 0, g = 0, b = 0, n = 0;
            for (int y = RoundHalfUp(yStart); y <= RoundHalfUp(yEnd); ++y)
                for (int x = RoundHalfUp(xStart); x <= RoundHalfUp(xEnd); ++x) {
                    if (x < sw && y < sh) {
                        const Rgb c = src.pixel(x, y);
                        r += c.r;
                        g += c.g;
                        b += c.b;
                    }
                    ++n;
                }
            if (n == 0)
                return;
            auto avg = [n](long s) {
                return static_cast<std::uint8_t>(
                    RoundHalfUp(static_cast<float>(static_cast<double>(s) / static_cast<double>(n))));
            };
            dst.setPixel(j, i, Rgb{avg(r), avg(g), avg(b)});
        }
    }
}

Bitmap RandomPicture(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    return Paint(w, h, [&](int, int) {
        return Rgb{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                   static_cast<std::uint8_t>(rng())};
    });
}

void ExpectSamePixels(const Bitmap& a, const Bitmap& b)
{
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << "at (" << x << ", " << y << ")";
}

TEST(RoundHalfUp, HalvesGoUpNegativesTruncate)
{
    EXPECT_EQ(RoundHalfUp(2.5f), 3);
    EXPECT_EQ(RoundHalfUp(2.4999f), 2);
    EXPECT_EQ(RoundHalfUp(4.0f), 4);
    EXPECT_EQ(RoundHalfUp(0.0f), 0);
    EXPECT_EQ(RoundHalfUp(-1.0f), -1);
    EXPECT_EQ(RoundHalfUp(-1.7f), -1);
}

TEST(AverageResize, OneRowExamples)
{
    const Bitmap bw = Paint(4, 1, [](int x, int) { return x % 2 ? kWhite : kBlack; });
    Bitmap out;
    AverageResize(bw, out, 4, 1);
    const Rgb grey{128, 128, 128};
    EXPECT_EQ(out.pixel(0, 0), grey);
    EXPECT_EQ(out.pixel(1, 0), grey);
    EXPECT_EQ(out.pixel(2, 0), grey);
    EXPECT_EQ(out.pixel(3, 0), kWhite);

    const Bitmap two = Paint(2, 1, [](int x, int) { return x ? Rgb{11, 21, 31} : Rgb{10, 20, 30}; });
    AverageResize(two, out, 2, 1);
    EXPECT_EQ(out.pixel(0, 0), (Rgb{11, 21, 31}));
    EXPECT_EQ(out.pixel(1, 0), (Rgb{11, 21, 31}));
}

TEST(AverageResize, OneColourStaysAndSourceIsUnchanged)
{
    // Sizes whose spans stay inside the source (the float edges of other sizes can end just
    // under the source size and reach one black position past it).
    const Rgb c{17, 200, 93};
    const std::vector<std::array<int, 4>> cases = {
        {176, 44, 176, 50}, {176, 144, 176, 150}, {37, 23, 37, 23}, {37, 23, 1, 1}};
    for (const auto& [sw, sh, w, h] : cases) {
        const Bitmap src = Paint(sw, sh, [&](int, int) { return c; });
        const std::vector<std::uint8_t> before = src.toRgb();
        Bitmap out;
        AverageResize(src, out, w, h);
        ASSERT_EQ(out.width(), w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(out.pixel(x, y), c) << sw << "x" << sh << " -> " << w << "x" << h;
        EXPECT_EQ(src.toRgb(), before) << "the source is only read";
    }
}

// Rows coded so that a target row tells which source rows it averaged: red = source row,
// green = 0 or 200 alternating, so a two-row average has green 100.
Bitmap RowCoded(int h)
{
    return Paint(176, h, [](int, int y) {
        return Rgb{static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(y % 2 ? 200 : 0), 0};
    });
}

struct RowSpan {
    int first, count;
};

RowSpan SpanOfTargetRow(const Bitmap& out, int row)
{
    const Rgb c = out.pixel(10, row);
    if (c.g == 100)
        return {c.r - 1, 2}; // (r + r + 1) / 2 rounds up to r + 1
    return {c.r, 1};
}

void CheckSingleRowSpans(int sourceRows, int targetRows, const std::vector<std::pair<int, int>>& singles)
{
    Bitmap out;
    AverageResize(RowCoded(sourceRows), out, 176, targetRows);
    int expectedStart = 0;
    std::size_t next = 0;
    for (int i = 0; i < targetRows; ++i) {
        const RowSpan s = SpanOfTargetRow(out, i);
        if (next < singles.size() && singles[next].first == i) {
            EXPECT_EQ(s.count, 1) << "target row " << i;
            EXPECT_EQ(s.first, singles[next].second) << "target row " << i;
            ++next;
        } else {
            EXPECT_EQ(s.count, 2) << "target row " << i;
        }
        EXPECT_EQ(s.first, expectedStart) << "target row " << i << " starts where the previous ended";
        expectedStart = s.first + s.count - 1;
    }
    EXPECT_EQ(next, singles.size());
    EXPECT_EQ(expectedStart, sourceRows - 1) << "the last span ends on the last source row";
}

TEST(AverageResize, StatusAreaRows44To50)
{
    CheckSingleRowSpans(44, 50, {{4, 4}, {12, 11}, {20, 18}, {29, 26}, {37, 33}, {45, 40}, {49, 43}});
}

TEST(AverageResize, MainAreaRows144To150)
{
    CheckSingleRowSpans(144, 150, {{12, 12}, {37, 36}, {62, 60}, {87, 84}, {112, 108}, {137, 132}, {149, 143}});
}

TEST(AverageResize, SameSizeSmoothsRightAndDown)
{
    const Bitmap src = Paint(176, 1, [](int x, int) {
        return Rgb{static_cast<std::uint8_t>(x), 0, static_cast<std::uint8_t>(x % 2 ? 255 : 0)};
    });
    Bitmap out;
    AverageResize(src, out, 176, 1);
    for (int j = 0; j < 175; ++j) {
        // columns j and j + 1: red j + 0.5 rounds up, blue (0 + 255) / 2 rounds up to 128
        EXPECT_EQ(out.pixel(j, 0), (Rgb{static_cast<std::uint8_t>(j + 1), 0, 128})) << j;
    }
    EXPECT_EQ(out.pixel(175, 0), src.pixel(175, 0));
}

TEST(AverageResize, PositionsPastTheSourceCountAsBlack)
{
    const Rgb c{200, 100, 50};
    const Bitmap forty = Paint(176, 40, [&](int, int) { return c; });
    Bitmap out;
    AverageResize(forty, out, 176, 50);
    EXPECT_EQ(out.pixel(0, 48), c);
    EXPECT_EQ(out.pixel(0, 49), (Rgb{100, 50, 25})) << "row 39 averaged with black";

    const Bitmap twenty = Paint(176, 20, [&](int, int) { return c; });
    AverageResize(twenty, out, 176, 50);
    EXPECT_EQ(out.pixel(3, 47), c);
    EXPECT_EQ(out.pixel(3, 48), (Rgb{100, 50, 25})) << "row 19 averaged with black";
    EXPECT_EQ(out.pixel(3, 49), kBlack);
}

TEST(AverageResize, EmptySpanStopsQuietlyAndKeepsTheTarget)
{
    const Rgb c{1, 2, 3};
    const Bitmap eleven = Paint(176, 11, [&](int, int) { return c; });
    Bitmap out;
    AverageResize(eleven, out, 176, 50);
    EXPECT_EQ(out.pixel(175, 0), c);
    EXPECT_EQ(out.pixel(175, 48), kBlack) << "row 48 spans only the row past the source";
    for (int x = 0; x < 176; ++x)
        ASSERT_EQ(out.pixel(x, 49), kWhite) << "row 49 keeps the white of the resize, column " << x;

    // A target that held a picture keeps it where the resize stopped.
    Bitmap held = Paint(176, 50, [](int, int) { return Rgb{9, 9, 9}; });
    AverageResize(eleven, held, 176, 50);
    EXPECT_EQ(held.pixel(0, 49), (Rgb{9, 9, 9}));

    // An empty source stops at the first pixel: the target is only resized.
    Bitmap small = Paint(10, 10, [](int, int) { return Rgb{5, 6, 7}; });
    AverageResize(Bitmap{}, small, 20, 5);
    ASSERT_EQ(small.width(), 20);
    ASSERT_EQ(small.height(), 5);
    EXPECT_EQ(small.pixel(9, 4), (Rgb{5, 6, 7}));
    EXPECT_EQ(small.pixel(10, 0), kWhite);
}

TEST(AverageResize, AgreesWithThePlainRuleOnManySizes)
{
    const std::vector<std::pair<int, int>> sources = {{176, 44}, {176, 144}, {176, 20}, {37, 11},
                                                      {1, 1},    {300, 7},   {13, 250}, {64, 64}};
    const std::vector<std::pair<int, int>> targets = {{176, 50}, {176, 150}, {20, 20}, {3, 300}, {1, 1}, {97, 13}};
    unsigned seed = 1;
    for (auto [sw, sh] : sources)
        for (auto [tw, th] : targets) {
            const Bitmap src = RandomPicture(sw, sh, seed++);
            Bitmap fast = Paint(7, 9, [](int x, int y) {
                return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 1};
            });
            Bitmap plain = fast;
            AverageResize(src, fast, tw, th);
            ReferenceResize(src, plain, tw, th);
            SCOPED_TRACE(std::to_string(sw) + "x" + std::to_string(sh) + " -> " + std::to_string(tw) + "x" +
                         std::to_string(th));
            ExpectSamePixels(fast, plain);
        }
}

TEST(AverageResize, PalettedSourcesReadAsTheirColours)
{
    Bitmap pal;
    pal.reset(2, 1, PixelFormat::Pal8, {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{10, 20, 30}});
    pal.row(0)[0] = 2;
    pal.row(0)[1] = 1;
    Bitmap out;
    AverageResize(pal, out, 1, 1);
    EXPECT_EQ(out.pixel(0, 0), (Rgb{133, 138, 143}));
}

} // namespace
} // namespace vexaro
