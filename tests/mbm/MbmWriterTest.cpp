// The writer's layouts (file store, ROM image), its choice of compression per bitmap, and
// round trips through reduction, writing, reading and decoding at every depth.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"
#include "mbm/MbmReduce.h"
#include "mbm/MbmWriter.h"
#include "TestSupport.h"

namespace vexaro::mbm {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A picture with flat areas (compressible) and a gradient.
Bitmap Picture(int w, int h)
{
    return test::Paint(w, h, [](int x, int y) {
        if (y < 3)
            return Rgb{200, 30, 30};
        return Rgb{static_cast<std::uint8_t>(x * 37), static_cast<std::uint8_t>(y * 11),
                   static_cast<std::uint8_t>((x + y) * 5)};
    });
}

// Same size and the same colour at every pixel (row padding may differ: the 12-bit decoder
// gives 0x0FFF for the padding word 0xFFFF).
::testing::AssertionResult SamePixels(const MbmImage& a, const MbmImage& b)
{
    if (a.width != b.width || a.height != b.height)
        return ::testing::AssertionFailure() << "sizes differ";
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (!(PixelColour(a, x, y) == PixelColour(b, x, y)))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
    return ::testing::AssertionSuccess();
}

// Pixels that defeat every compressor.
MbmImage Noise(int w, int h, int bpp, std::uint32_t mode)
{
    MbmImage image;
    image.width = w;
    image.height = h;
    image.bitsPerPixel = bpp;
    image.colourMode = mode;
    image.pixels.resize(image.stride() * static_cast<std::size_t>(h));
    std::uint32_t seed = 99;
    for (auto& b : image.pixels) {
        seed = seed * 1664525 + 1013904223;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    if (bpp == 12)
        for (std::size_t i = 1; i < image.pixels.size(); i += 2)
            image.pixels[i] &= 0x0F; // 0x0RGB words
    return image;
}

TEST(MbmWriter, FileStoreLayoutAndPerBitmapFallback)
{
    const std::vector<MbmImage> images{
        ReduceBitmap(Picture(20, 10), {8, true, false}), Noise(16, 4, 8, kColour), // byte RLE gives up: stored plain
        Noise(16, 4, 12, kColour),                                                 // 12-bit never gives up
    };
    const Bytes bytes = WriteMbm(images);
    EXPECT_EQ(Get32(bytes, 0), 0x10000037u);
    EXPECT_EQ(Get32(bytes, 4), 0x10000042u);
    EXPECT_EQ(Get32(bytes, 8), 0u);
    EXPECT_EQ(Get32(bytes, 12), 0x47396439u);
    const MbmFile file = ReadMbm(bytes);
    ASSERT_EQ(file.bitmaps.size(), 3u);
    EXPECT_EQ(file.bitmaps[0].header.compression, 1u);
    EXPECT_EQ(file.bitmaps[1].header.compression, 0u);
    EXPECT_EQ(file.bitmaps[2].header.compression, 2u);
    EXPECT_EQ(file.bitmaps[2].header.size, 40 + 2 * 64); // no saving, compressed anyway
    // Contiguous from 20, trailer last.
    std::uint32_t position = 20;
    for (const MbmBitmapRecord& r : file.bitmaps) {
        EXPECT_EQ(r.position, position);
        position += static_cast<std::uint32_t>(r.header.size);
    }
    EXPECT_EQ(Get32(bytes, 16), position);
    EXPECT_EQ(bytes.size(), position + 4 + 4 * 3);
    for (std::size_t i = 0; i < images.size(); ++i)
        EXPECT_EQ(DecodeBitmap(bytes, file.bitmaps[i]).pixels, images[i].pixels);
}

TEST(MbmWriter, RomImageObjectsArePaddedAndDescribed)
{
    const std::vector<MbmImage> images{ReduceBitmap(Picture(5, 3), {1, false, false}),
                                       ReduceBitmap(Picture(5, 3), {24, true, false}),
                                       ReduceBitmap(Picture(5, 3), {12, true, false})};
    const Bytes bytes = WriteMbm(images, {MbmLayout::RomImage, true});
    EXPECT_EQ(Get32(bytes, 0), 0x10000041u);
    EXPECT_EQ(Get32(bytes, 4), 3u);
    const std::uint32_t expectedModes[] = {1, 8, 10};
    const std::uint32_t expectedStrides[] = {4, 24, 12};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::uint32_t at = Get32(bytes, 8 + 4 * i);
        EXPECT_EQ(at % 4, 0u);
        EXPECT_EQ(Get32(bytes, at), 0x10000040u);
        EXPECT_EQ(Get32(bytes, at + 4), expectedModes[i]);
        EXPECT_EQ(Get32(bytes, at + 16), expectedStrides[i]);
        EXPECT_EQ(Get32(bytes, at + 60), 0xFFFFFFFFu);
        EXPECT_EQ(Get32(bytes, at + 64), 68u);
        const std::uint32_t size = Get32(bytes, at + 20);
        const std::uint32_t end = at + 68 + size - 40;
        const std::uint32_t next = i + 1 < 3 ? Get32(bytes, 8 + 4 * (i + 1)) : static_cast<std::uint32_t>(bytes.size());
        EXPECT_EQ(next, (end + 3) / 4 * 4);
        for (std::uint32_t p = end; p < next; ++p)
            EXPECT_EQ(bytes[p], 0xFF);
    }
    const MbmFile file = ReadMbm(bytes);
    for (std::size_t i = 0; i < images.size(); ++i)
        EXPECT_TRUE(SamePixels(DecodeBitmap(bytes, file.bitmaps[i]), images[i]));
}

TEST(MbmWriter, EmptyBitmapGetsItsDepthsCode)
{
    MbmImage empty;
    empty.width = 0;
    empty.height = 0;
    empty.bitsPerPixel = 16;
    const EncodedBitmap encoded = EncodeBitmap(empty, true);
    EXPECT_EQ(encoded.header.compression, 3u);
    EXPECT_EQ(encoded.header.size, 40);
}

// Bitmaps larger than the writer's buffer, with shares of rows that do not compress around
// where compression stops paying: each is stored as EncodeBitmap makes it, whichever way of
// storing it the writer tried first.
TEST(MbmWriter, LargeBitmapsAreStoredAsEncodeBitmapMakesThem)
{
    std::vector<MbmImage> images;
    std::uint32_t seed = 3;
    auto next = [&seed] { return (seed = seed * 1664525 + 1013904223) >> 24; };
    for (unsigned noisePercent = 66; noisePercent <= 100; noisePercent += 2)
        for (const int bpp : {8, 16, 24}) {
            MbmImage image;
            image.width = 300;
            image.height = 240;
            image.bitsPerPixel = bpp;
            image.pixels.resize(image.stride() * 240);
            for (int y = 0; y < image.height; ++y) {
                const bool noise = next() % 100 < noisePercent;
                for (std::size_t x = 0; x < image.stride(); ++x)
                    image.row(y)[x] = static_cast<std::uint8_t>(noise ? next() : static_cast<unsigned>(y));
            }
            images.push_back(std::move(image));
        }
    for (const MbmLayout layout : {MbmLayout::FileStore, MbmLayout::RomImage}) {
        const Bytes bytes = WriteMbm(images, {layout, true});
        const MbmFile file = ReadMbm(bytes);
        ASSERT_EQ(file.bitmaps.size(), images.size());
        for (std::size_t i = 0; i < images.size(); ++i) {
            SCOPED_TRACE(i);
            const EncodedBitmap want = EncodeBitmap(images[i], true);
            const MbmBitmapRecord& got = file.bitmaps[i];
            EXPECT_EQ(got.header.compression, want.header.compression);
            ASSERT_EQ(got.header.size, want.header.size);
            EXPECT_TRUE(std::equal(want.data.begin(), want.data.end(),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(got.dataOffset)));
        }
    }
}

TEST(MbmWriter, RefusesInconsistentImages)
{
    MbmImage grey16 = Noise(4, 4, 16, kGrey);
    std::vector<MbmImage> images{grey16};
    try {
        WriteMbm(images);
        FAIL() << "grey 16 bpp was written";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "bitmap 0: 16 bits per pixel do not go with colour mode 0");
    }
    MbmImage shortBuffer = Noise(4, 4, 8, kColour);
    shortBuffer.pixels.pop_back();
    images = {shortBuffer};
    try {
        WriteMbm(images);
        FAIL() << "a short pixel buffer was written";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "bitmap 0: pixel buffer of 15 bytes where 16 are needed");
    }
}

TEST(MbmWriter, EveryDepthRoundTripsThroughTheFile)
{
    const Bitmap source = Picture(13, 7); // odd width: every kind of row padding
    const DepthOption options[] = {{1, false, false}, {2, false, false}, {4, false, false}, {8, false, false},
                                   {4, true, false},  {8, true, false},  {12, true, false}, {16, true, false},
                                   {24, true, false}, {32, true, false}};
    for (const DepthOption& option : options) {
        for (const bool compress : {false, true}) {
            SCOPED_TRACE(std::to_string(option.bitsPerPixel) + (option.colour ? " colour" : " grey") +
                         (compress ? " compressed" : ""));
            const std::vector<MbmImage> images{ReduceBitmap(source, option)};
            const Bytes bytes = WriteMbm(images, {MbmLayout::FileStore, compress});
            const MbmFile file = ReadMbm(bytes);
            const MbmImage decoded = DecodeBitmap(bytes, file.bitmaps.at(0));
            EXPECT_EQ(decoded.bitsPerPixel, option.bitsPerPixel);
            EXPECT_EQ(decoded.colourMode, option.colour ? kColour : kGrey);
            EXPECT_TRUE(SamePixels(decoded, images[0]));
            if (option.bitsPerPixel == 24) {
                EXPECT_EQ(PixelColour(decoded, 4, 5), source.pixel(4, 5));
            }
        }
    }
}

} // namespace
} // namespace vexaro::mbm
