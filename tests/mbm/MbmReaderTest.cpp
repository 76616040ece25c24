// The container reader and the header checks on hand-made files: what is accepted, what is
// refused, and the exact text that says why.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "mbm/MbmReader.h"
#include "mbm/MbmWriter.h"

namespace vexaro::mbm {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

MbmImage Grey8(int w, int h, std::uint8_t value)
{
    MbmImage image;
    image.width = w;
    image.height = h;
    image.bitsPerPixel = 8;
    image.colourMode = kGrey;
    image.pixels.assign(image.stride() * static_cast<std::size_t>(h), value);
    return image;
}

// Two uncompressed 8-bit bitmaps of 4 x 2: headers at 20 and 68, trailer at 116.
Bytes TwoBitmapFile()
{
    const std::vector<MbmImage> images{Grey8(4, 2, 0x11), Grey8(4, 2, 0x22)};
    return WriteMbm(images, {MbmLayout::FileStore, false});
}

std::string ReadError(const Bytes& bytes)
{
    try {
        ReadMbm(bytes);
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

std::string DecodeError(const Bytes& bytes, std::size_t index)
{
    const MbmFile file = ReadMbm(bytes);
    try {
        DecodeBitmap(bytes, file.bitmaps.at(index));
    } catch (const Error& e) {
        return e.what();
    }
    return "(decoded)";
}

TEST(MbmReader, ReadsTheLayoutTheWriterMakes)
{
    const Bytes bytes = TwoBitmapFile();
    ASSERT_EQ(bytes.size(), 20u + 2 * 48 + 12);
    const MbmFile file = ReadMbm(bytes);
    EXPECT_EQ(file.kind, MbmKind::FileStore);
    EXPECT_TRUE(file.uidsOk);
    ASSERT_EQ(file.bitmaps.size(), 2u);
    EXPECT_EQ(file.bitmaps[0].position, 20u);
    EXPECT_EQ(file.bitmaps[1].position, 68u);
    EXPECT_EQ(file.bitmaps[1].dataOffset, 108u);
    EXPECT_EQ(file.bitmaps[1].dataSize, 8u);
    const MbmImage second = DecodeBitmap(bytes, file.bitmaps[1]);
    EXPECT_EQ(second.pixels, Bytes(8, 0x22));
}

TEST(MbmReader, FollowsStoredPositionsAndIgnoresBytesAfterTheTrailer)
{
    Bytes bytes = TwoBitmapFile();
    // Swap the two positions and append junk: bitmap 0 is now the one at 68.
    Put32(bytes, 120, 68);
    Put32(bytes, 124, 20);
    bytes.insert(bytes.end(), 100, 0xEE);
    const MbmFile file = ReadMbm(bytes);
    EXPECT_EQ(DecodeBitmap(bytes, file.bitmaps[0]).pixels, Bytes(8, 0x22));
    EXPECT_EQ(DecodeBitmap(bytes, file.bitmaps[1]).pixels, Bytes(8, 0x11));
}

TEST(MbmReader, RefusesWhatIsNoMultiBitmapFile)
{
    EXPECT_EQ(ReadError(Bytes{0x37, 0x00}), "file of 2 bytes is too short for a multi-bitmap file");
    Bytes bmp(64, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    EXPECT_EQ(ReadError(bmp), "not a multi-bitmap file (first word 0x00004D42)");
    Bytes bytes = TwoBitmapFile();
    Put32(bytes, 4, 0x10000041);
    EXPECT_EQ(ReadError(bytes), "not a multi-bitmap file (second UID 0x10000041, expected 0x10000042)");
    bytes.resize(18);
    EXPECT_EQ(ReadError(bytes), "file of 18 bytes is too short for a multi-bitmap file");
}

TEST(MbmReader, RefusesABitmapTableOutsideTheFile)
{
    Bytes bytes = TwoBitmapFile();
    Put32(bytes, 16, 200);
    EXPECT_EQ(ReadError(bytes), "trailer position 200 lies outside the file (128 bytes)");
    bytes = TwoBitmapFile();
    Put32(bytes, 116, 3);
    EXPECT_EQ(ReadError(bytes), "bitmap table of 3 entries at position 120 runs past the end of the file (128 bytes)");
    Put32(bytes, 116, 0xFFFFFFFF);
    EXPECT_EQ(ReadError(bytes), "negative bitmap count -1");
    // A huge count is refused before anything is allocated for it.
    Put32(bytes, 116, 0x7FFFFFFF);
    EXPECT_EQ(ReadError(bytes).rfind("bitmap table of 2147483647 entries", 0), 0u);
}

TEST(MbmReader, MarksFaultyBitmapsAndKeepsTheOthers)
{
    struct Case {
        std::size_t offset; // of the header word changed in bitmap 0 (header at 20)
        std::uint32_t value;
        const char* message;
    };
    const Case cases[] = {
        {0, 0xFFFFFFFF, "bitmap 0: bad bitmap size -1 (less than its 40-byte header)"},
        {4, 0xFFFFFFFF, "bitmap 0: bad header size -1 (must be 40)"},
        {8, 0xFFFFFFFF, "bitmap 0: negative size -1x2"},
        {12, 0xFFFFFFFF, "bitmap 0: negative size 4x-1"},
        {24, 7, "bitmap 0: unsupported bits per pixel 7"},
        {36, 7, "bitmap 0: unknown compression 7"},
        {12, 40000, "bitmap 0: implausible size 4x40000 (more than 32768 pixels on a side)"},
        {8, 0x7FFFFFFF, "bitmap 0: implausible size 2147483647x2 (more than 32768 pixels on a side)"},
        {8, 8, "bitmap 0: uncompressed data of 8 bytes where 8x2 at 8 bpp needs 16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Bytes bytes = TwoBitmapFile();
        Put32(bytes, 20 + c.offset, c.value);
        EXPECT_EQ(DecodeError(bytes, 0), c.message);
        EXPECT_EQ(DecodeError(bytes, 1), "(decoded)");
    }
}

TEST(MbmReader, RefusesAHugeBitmapBeforeAllocating)
{
    // 30000 x 30000 at 32 bpp would be 3.4 GB: refused from the header alone.
    Bytes bytes = TwoBitmapFile();
    Put32(bytes, 28, 30000);
    Put32(bytes, 32, 30000);
    Put32(bytes, 44, 32);
    Put32(bytes, 56, 1); // compressed, so the stored size is no hint
    EXPECT_EQ(DecodeError(bytes, 0),
              "bitmap 0: implausible size 30000x30000 (its pixels would take more than 256 MiB)");
    // 8000 x 8000 at 32 bpp fits the limit, but 8 bytes of 32U packets cannot fill it.
    Put32(bytes, 28, 8000);
    Put32(bytes, 32, 8000);
    Put32(bytes, 56, 5);
    EXPECT_EQ(DecodeError(bytes, 0),
              "bitmap 0: compressed data of 8 bytes cannot fill 8000x8000 at 32 bpp (256000000 bytes)");
}

TEST(MbmReader, RefusesATallBitmapWithoutPixels)
{
    // 0 x 1795162112: no pixel bytes at all, but a row loop of that length (found by fuzzing).
    Bytes bytes = TwoBitmapFile();
    Put32(bytes, 28, 0);
    Put32(bytes, 32, 0x6B000000);
    EXPECT_EQ(DecodeError(bytes, 0), "bitmap 0: implausible size 0x1795162112 (more than 32768 pixels on a side)");
}

TEST(MbmReader, HeaderPositionOutsideTheFile)
{
    Bytes bytes = TwoBitmapFile();
    Put32(bytes, 124, 100);
    EXPECT_EQ(DecodeError(bytes, 1), "bitmap 1: header position 100 lies outside the file (128 bytes)");
}

TEST(MbmReader, CompressedStreamErrorsNameTheBitmap)
{
    const std::vector<MbmImage> images{Grey8(4, 2, 0x11)};
    Bytes bytes = WriteMbm(images);
    ASSERT_EQ(bytes[20 + 36], 1); // byte RLE: run 03 11, then the 4-byte margin as a literal
    bytes[60] = 0x08;             // a run of 9 into 8 bytes
    EXPECT_EQ(DecodeError(bytes, 0), "bitmap 0: packet at stream offset 0 runs past the end of the pixels");
    Put32(bytes, 20, 1000); // a stream longer than the file
    EXPECT_EQ(DecodeError(bytes, 0), "bitmap 0: size 1000 at position 60 runs past the end of the file (75 bytes)");
}

TEST(MbmReader, EmptyBitmapAndEmptyFile)
{
    const std::vector<MbmImage> images{Grey8(0, 0, 0)};
    const Bytes bytes = WriteMbm(images);
    const MbmFile file = ReadMbm(bytes);
    ASSERT_EQ(file.bitmaps.size(), 1u);
    EXPECT_EQ(file.bitmaps[0].header.size, 40);
    EXPECT_TRUE(DecodeBitmap(bytes, file.bitmaps[0]).pixels.empty());
    EXPECT_TRUE(ReadMbm(WriteMbm({})).bitmaps.empty());
}

TEST(MbmReader, RomImageObjects)
{
    const std::vector<MbmImage> images{Grey8(3, 1, 0x33), Grey8(5, 1, 0x44)};
    Bytes bytes = WriteMbm(images, {MbmLayout::RomImage, false});
    const MbmFile file = ReadMbm(bytes);
    EXPECT_EQ(file.kind, MbmKind::RomImage);
    ASSERT_EQ(file.bitmaps.size(), 2u);
    EXPECT_EQ(file.bitmaps[0].position, 16u);
    EXPECT_EQ(file.bitmaps[1].position, 16u + 72);
    EXPECT_EQ(DecodeBitmap(bytes, file.bitmaps[1]).pixels, Bytes(8, 0x44));
    // The data offset is followed, wherever it points.
    Put32(bytes, 16 + 64, 200);
    EXPECT_EQ(DecodeError(bytes, 0), "bitmap 0: size 44 at position 216 runs past the end of the file (164 bytes)");
    Put32(bytes, 12, 170);
    EXPECT_EQ(DecodeError(bytes, 1), "bitmap 1: object position 170 lies outside the file (164 bytes)");
}

// A table may name one bitmap's data many times: each entry counts, up to the entries asked for;
// an entry with a fault counts nothing.
TEST(MbmReader, ThemePixelsCountEveryEntry)
{
    MbmFile file;
    file.bitmaps.resize(6);
    for (MbmBitmapRecord& record : file.bitmaps) {
        record.header.width = 4096;
        record.header.height = 1024;
    }
    file.bitmaps[1].fault = "bad header size 0 (must be 40)";
    EXPECT_EQ(DecodedPixels(file, 3), 2u * 4096 * 1024);
    EXPECT_EQ(DecodedPixels(file, 100), 5u * 4096 * 1024);
    EXPECT_NO_THROW(CheckThemePixels(file, 5, "t.mbm")); // exactly the cap
    try {
        CheckThemePixels(file, 6, "t.mbm");
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "The theme \"t.mbm\" is too large: its bitmaps would unpack to 20971520 pixels, "
                               "more than the limit of 16777216 pixels");
    }
}

} // namespace
} // namespace vexaro::mbm
