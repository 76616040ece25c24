// The compressors byte for byte (the worked examples of the converter's rules), where they
// give up, and the decoders on streams that cross row ends or restart at each row.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "mbm/MbmCompress.h"
#include "mbm/MbmReader.h"

namespace vexaro::mbm {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Repeat(std::uint8_t v, std::size_t n) { return Bytes(n, v); }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// 16-bit little-endian pixel words.
Bytes Words(std::initializer_list<std::pair<unsigned, std::size_t>> runs)
{
    Bytes out;
    for (auto [value, count] : runs)
        for (std::size_t i = 0; i < count; ++i) {
            out.push_back(static_cast<std::uint8_t>(value));
            out.push_back(static_cast<std::uint8_t>(value >> 8));
        }
    return out;
}

// Pixels of `width` bytes each, every byte of pixel value v equal to v.
Bytes Pixels(std::size_t width, std::initializer_list<std::pair<std::uint8_t, std::size_t>> runs)
{
    Bytes out;
    for (auto [value, count] : runs)
        out.insert(out.end(), width * count, value);
    return out;
}

Bytes Distinct(std::size_t n, std::uint8_t first = 1)
{
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

Bytes RoundTrip(Compression c, const Bytes& stream, std::size_t size)
{
    Bytes out(size);
    Decompress(c, stream, out);
    return out;
}

TEST(ByteRle, WorkedExampleKeepsTheLastFourBytesLiteral)
{
    const Bytes in = Cat({Repeat(0x05, 10), {0x01, 0x02, 0x03}, Repeat(0x07, 19)});
    const auto out = CompressByteRle(in);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, (Bytes{0x09, 0x05, 0xFD, 0x01, 0x02, 0x03, 0x0E, 0x07, 0xFC, 0x07, 0x07, 0x07, 0x07}));
    EXPECT_EQ(RoundTrip(Compression::ByteRle, *out, in.size()), in);
}

TEST(ByteRle, LongRunsAndLiteralsSplitAt128)
{
    // 300 equal bytes and a margin of 300 / 64 = 4: runs of 128, 128 and 40, then the tail.
    const Bytes in = Repeat(0xAA, 300);
    const auto out = CompressByteRle(in);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, (Bytes{0x7F, 0xAA, 0x7F, 0xAA, 0x27, 0xAA, 0xFC, 0xAA, 0xAA, 0xAA, 0xAA}));

    // 200 distinct bytes then 800 zeros (margin 15): literal 128 + literal 72, zero runs.
    const Bytes mixed = Cat({Distinct(200, 1), Repeat(0, 800)});
    const auto packed = CompressByteRle(mixed);
    ASSERT_TRUE(packed);
    EXPECT_EQ((*packed)[0], 0x80);
    EXPECT_EQ((*packed)[129], 256 - 72);
    EXPECT_EQ(RoundTrip(Compression::ByteRle, *packed, mixed.size()), mixed);
}

TEST(ByteRle, GivesUpAboveThreeQuartersLeavingOutTheTailLeadByte)
{
    // 64 bytes without repeats: the literal alone is 61 bytes, more than 48.
    EXPECT_FALSE(CompressByteRle(Distinct(64)));

    // S = 64, cut-off 48, margin 4 (limit 60). 41 distinct bytes (42 out) and a run of 19
    // (2 out) leave 44; the check before the tail counts its 4 bytes but not its lead byte,
    // so the result is 49 bytes, one more than the cut-off, and is kept.
    const Bytes kept = Cat({Distinct(41, 1), Repeat(0xEE, 19), {0xA0, 0xA1, 0xA2, 0xA3}});
    const auto out = CompressByteRle(kept);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), 49u);
    // One more literal byte and the check before the tail fails.
    EXPECT_FALSE(CompressByteRle(Cat({Distinct(42, 1), Repeat(0xEE, 18), {0xA0, 0xA1, 0xA2, 0xA3}})));
}

TEST(ByteRle, EmptyAndTinyBuffers)
{
    const auto empty = CompressByteRle({});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    // Four bytes are all margin: a 5-byte literal exceeds the cut-off of 3.
    EXPECT_FALSE(CompressByteRle(Repeat(0, 4)));
}

TEST(Rle12, PaddingWordIsItsOwnRun)
{
    // 3 x 2 white pixels: each row is 3 words 0x0FFF and a padding word 0xFFFF.
    const Bytes in = Words({{0x0FFF, 3}, {0xFFFF, 1}, {0x0FFF, 3}, {0xFFFF, 1}});
    EXPECT_EQ(CompressRle12(in), (Bytes{0xFF, 0x2F, 0xFF, 0x0F, 0xFF, 0x2F, 0xFF, 0x0F}));
}

TEST(Rle12, RunsSplitAtSixteenAndNeverGiveUp)
{
    EXPECT_EQ(CompressRle12(Words({{0x0123, 17}})), (Bytes{0x23, 0xF1, 0x23, 0x01}));
    // No two equal neighbours: the output is as long as the input, and still used.
    Bytes distinct;
    for (unsigned i = 0; i < 64; ++i)
        distinct.insert(distinct.end(), {static_cast<std::uint8_t>(i), 0x01});
    const Bytes out = CompressRle12(distinct);
    EXPECT_EQ(out.size(), distinct.size());
    EXPECT_EQ(Compress(Compression::Rle12, distinct), out);
    EXPECT_EQ(RoundTrip(Compression::Rle12, out, distinct.size()), distinct);
}

TEST(Rle16, WorkedExampleAndLastPixelQuirk)
{
    const Bytes in = Words({{0x1111, 12}, {0x2222, 1}, {0x3333, 1}, {0x4444, 1}, {0x5555, 4}, {0x6666, 1}});
    const auto out = CompressRle16(in);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out,
              (Bytes{0x0B, 0x11, 0x11, 0xFD, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x03, 0x55, 0x55, 0xFF, 0x66, 0x66}));
    EXPECT_EQ(RoundTrip(Compression::Rle16, *out, in.size()), in);

    // A literal that reaches the end leaves the final pixel as a one-pixel literal.
    const auto quirk = CompressRle16(Words({{0xAAAA, 20}, {0xBBBB, 1}, {0xCCCC, 1}, {0xDDDD, 1}}));
    ASSERT_TRUE(quirk);
    EXPECT_EQ(*quirk, (Bytes{0x13, 0xAA, 0xAA, 0xFE, 0xBB, 0xBB, 0xCC, 0xCC, 0xFF, 0xDD, 0xDD}));
}

TEST(Rle16, GivesUpAboveSevenEighths)
{
    // 20 pixels (S = 40, cut-off 35). A run of 5 (3 bytes), a literal of 14 (29 bytes) and
    // the last pixel apart (3 bytes) make exactly 35: kept.
    Bytes in = Words({{0x7777, 5}});
    for (unsigned v = 1; v <= 15; ++v)
        in.insert(in.end(), {static_cast<std::uint8_t>(v), 0x00});
    const auto kept = CompressRle16(in);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 35u);
    // A run of 4 and 16 distinct pixels make 37: given up.
    Bytes more = Words({{0x7777, 4}});
    for (unsigned v = 1; v <= 16; ++v)
        more.insert(more.end(), {static_cast<std::uint8_t>(v), 0x00});
    EXPECT_FALSE(CompressRle16(more));
}

TEST(Rle24, NewerScannerExample)
{
    // A B C B D D and 30 x E: literal A B C B, run D x 2, run E x 30.
    const Bytes in = Pixels(3, {{0xA, 1}, {0xB, 1}, {0xC, 1}, {0xB, 1}, {0xD, 2}, {0xE, 30}});
    const auto out = CompressRle24(in);
    ASSERT_TRUE(out);
    const Bytes expected = Cat({{0xFC},
                                Pixels(3, {{0xA, 1}, {0xB, 1}, {0xC, 1}, {0xB, 1}}),
                                {0x01},
                                Pixels(3, {{0xD, 1}}),
                                {0x1D},
                                Pixels(3, {{0xE, 1}})});
    EXPECT_EQ(*out, expected);
    EXPECT_EQ(RoundTrip(Compression::Rle24, *out, in.size()), in);
}

TEST(Rle24, LiteralRunsToTheEnd)
{
    // Unlike the 16-bit scheme, a literal reaching the end takes the final pixel with it.
    const auto out = CompressRle24(Pixels(3, {{0xA, 20}, {0xB, 1}, {0xC, 1}, {0xD, 1}}));
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, Cat({{0x13}, Pixels(3, {{0xA, 1}}), {0xFD}, Pixels(3, {{0xB, 1}, {0xC, 1}, {0xD, 1}})}));
}

TEST(Rle24, GivesUpAboveSevenEighths)
{
    // 9 pixels (S = 27, cut-off 23): run of 3 (4 bytes) + literal of 6 (19 bytes) = 23.
    const auto kept = CompressRle24(Pixels(3, {{9, 3}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 23u);
    EXPECT_FALSE(CompressRle24(Pixels(3, {{9, 2}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}})));
}

TEST(Rle32, ColourDropsTheFourthByteAlphaKeepsIt)
{
    // Pixels differing only in the fourth byte are equal for 32U, different for 32A.
    Bytes in;
    for (std::uint8_t x = 0; x < 8; ++x)
        in.insert(in.end(), {0x10, 0x20, 0x30, x});
    const auto colour = CompressRle32U(in);
    ASSERT_TRUE(colour);
    EXPECT_EQ(*colour, (Bytes{0x07, 0x10, 0x20, 0x30}));
    Bytes decoded(in.size());
    Decompress(Compression::Rle32U, *colour, decoded);
    for (std::size_t i = 0; i < decoded.size(); i += 4)
        EXPECT_EQ(decoded[i + 3], 0xFF); // the 32U decoder sets the fourth byte
    EXPECT_FALSE(CompressRle32A(in));    // eight different pixels do not pay
    const Bytes alpha = Cat({in, Pixels(4, {{0x55, 8}})});
    const auto withAlpha = CompressRle32A(alpha);
    ASSERT_TRUE(withAlpha);
    EXPECT_EQ(RoundTrip(Compression::Rle32A, *withAlpha, alpha.size()), alpha);
}

TEST(Decompress, StreamsMayCrossRowEndsOrRestartAtEachRow)
{
    // Two rows of 8 bytes of 0x11: one run across the row end, or one run per row (the way
    // the phone writes them) decode alike.
    const Bytes expected = Repeat(0x11, 16);
    EXPECT_EQ(RoundTrip(Compression::ByteRle, {0x0F, 0x11}, 16), expected);
    EXPECT_EQ(RoundTrip(Compression::ByteRle, {0x07, 0x11, 0x07, 0x11}, 16), expected);
    // A literal may cross too.
    EXPECT_EQ(RoundTrip(Compression::Rle16, {0xFD, 1, 0, 2, 0, 3, 0}, 6), (Bytes{1, 0, 2, 0, 3, 0}));
}

TEST(Decompress, StreamMustFillThePixelsExactly)
{
    Bytes out(16);
    try {
        Decompress(Compression::ByteRle, Bytes{0x0E, 0x11}, out);
        FAIL() << "a short stream was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "compressed data ends after 15 of 16 pixel bytes");
    }
    try {
        Decompress(Compression::ByteRle, Bytes{0x0F, 0x11, 0x00, 0x22}, out);
        FAIL() << "left-over data was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "2 bytes of data left over after the pixels");
    }
    try {
        Decompress(Compression::Rle16, Bytes{0x08, 0x11, 0x11}, out);
        FAIL() << "an overlong run was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "packet at stream offset 0 runs past the end of the pixels");
    }
    try {
        Decompress(Compression::Rle24, Bytes{0xFE, 1, 2, 3}, out);
        FAIL() << "a cut-off literal was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "packet at stream offset 0 is cut off by the end of the data");
    }
    EXPECT_THROW(Decompress(Compression::Rle12, Bytes{0xFF}, out), Error);
    EXPECT_THROW(Decompress(Compression::None, Bytes(15), out), Error);
}

TEST(Compress, RoundTripsEveryScheme)
{
    // A buffer with runs, literals and runs that straddle 128.
    Bytes in;
    std::uint32_t seed = 12345;
    while (in.size() < 6000) {
        seed = seed * 1103515245 + 12345;
        const std::size_t n = 1 + (seed >> 16) % 200;
        const auto v = static_cast<std::uint8_t>(seed >> 8);
        for (std::size_t k = 0; k < n; ++k)
            in.push_back((seed & 0x100) != 0 ? v : static_cast<std::uint8_t>(v + k));
    }
    in.resize(6000); // a multiple of 2, 3 and 4
    for (Compression c :
         {Compression::ByteRle, Compression::Rle12, Compression::Rle16, Compression::Rle24, Compression::Rle32A}) {
        SCOPED_TRACE(static_cast<int>(c));
        Bytes source = in;
        if (c == Compression::Rle12)
            for (std::size_t i = 1; i < source.size(); i += 2)
                source[i] &= 0x0F; // 12-bit words keep only 12 bits
        const auto stream = Compress(c, source);
        ASSERT_TRUE(stream);
        EXPECT_EQ(RoundTrip(c, *stream, source.size()), source);
    }
}

// Rows handed over one at a time, and output handed on in small pieces, give the bytes of the
// whole-buffer compressors and the same decision; pixels that cannot pay are given up before
// their end.
TEST(Compress, RowByRowAsWholeAndGivingUpEarly)
{
    constexpr std::size_t kStride = 48; // whole pixels at 2, 3 and 4 bytes
    constexpr int kRows = 4000;         // far more than the rows held at a time
    std::uint32_t seed = 5;
    auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    for (const unsigned noisePercent : {0u, 50u, 90u, 100u}) {
        Bytes in(kStride * kRows);
        for (int y = 0; y < kRows; ++y) {
            const bool noise = next() % 100 < noisePercent;
            for (std::size_t x = 0; x < kStride; ++x)
                in[static_cast<std::size_t>(y) * kStride + x] =
                    static_cast<std::uint8_t>(noise ? next() : x / 24 + static_cast<unsigned>(y) / 7);
        }
        for (Compression c : {Compression::ByteRle, Compression::Rle12, Compression::Rle16, Compression::Rle24,
                              Compression::Rle32U, Compression::Rle32A}) {
            SCOPED_TRACE(std::to_string(noisePercent) + "% noise, code " + std::to_string(static_cast<int>(c)));
            Bytes source = in;
            if (c == Compression::Rle12)
                for (std::size_t i = 1; i < source.size(); i += 2)
                    source[i] &= 0x0F;
            const auto whole = Compress(c, source);
            int asked = 0;
            auto rows = [&](int y, std::uint8_t* out) {
                ++asked;
                std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(kStride) * y, kStride, out);
            };
            PixelSource byRow(kRows, kStride, rows);
            Bytes pieces;
            CompressedOutput out(
                [&pieces](std::span<const std::uint8_t> piece) {
                    pieces.insert(pieces.end(), piece.begin(), piece.end());
                },
                100);
            ASSERT_EQ(Compress(c, byRow, out), whole.has_value());
            if (whole) {
                EXPECT_EQ(pieces, *whole);
            } else if (noisePercent == 100) {
                EXPECT_LT(asked, kRows);
            }
            PixelSource again(kRows, kStride, rows);
            EXPECT_EQ(WouldPay(c, again), whole.has_value());
        }
    }
}

} // namespace
} // namespace vexaro::mbm
