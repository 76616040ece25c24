// The sample theme painted at build time: a well-formed package whose multi-bitmap file has
// the pictures at the numbers the fields start with, and which Open unpacks like a real theme.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bitmap/BmpCodec.h"
#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "tool/FieldDefaults.h"
#include "import/ImportCommands.h"
#include "mbm/MbmReader.h"
#include "PackageBuilder.h"
#include "ProcessState.h"
#include "RecordingWindow.h"
#include "import/PackageExtract.h"
#include "SisWriter.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// UID4 and the header checksum, worked out again from the bytes with the writer's CRC (whose
// own check is below).
void ExpectHeaderChecks(const std::vector<std::uint8_t>& package)
{
    ASSERT_GE(package.size(), 100u);
    EXPECT_EQ(U32(package, 12), sis::UidCheckWord(U32(package, 0), U32(package, 4), U32(package, 8))) << "UID4";
    std::vector<std::uint8_t> summed(package.begin(), package.begin() + 16);
    summed.insert(summed.end(), package.begin() + 18, package.end());
    EXPECT_EQ(U16(package, 16), sis::Crc16(summed)) << "header checksum";
}

const fs::path kSample = VEXARO_SAMPLE_THEME;

int Number(int field) { return std::stoi(FieldDefault(field)); }

TEST(SampleTheme, IsAReleaseSixPackageWithValidChecks)
{
    const auto package = test::ReadBytes(kSample);
    ASSERT_GE(package.size(), 100u);
    EXPECT_EQ(U32(package, 0), 0x10205B00u);
    EXPECT_EQ(U32(package, 4), 0x10003A12u);
    EXPECT_EQ(U32(package, 8), 0x10000419u);
    ExpectHeaderChecks(package);
    EXPECT_EQ(U16(package, 18), 1) << "languages";

    const sis::SisPackage parsed = sis::ParseSisPackage(package, "VexaroSample.sis");
    EXPECT_EQ(parsed.header.release, sis::Release::Er6);
    ASSERT_EQ(parsed.records.size(), 2u);
    EXPECT_EQ(parsed.records[0].sourceName, "C:\\vexaro\\sample\\Sample.mbm");
    EXPECT_EQ(parsed.records[0].size, 48u);
    EXPECT_TRUE(parsed.records[0].compressed);
    EXPECT_EQ(parsed.records[1].sourceName, "C:\\vexaro\\sample\\readme.txt");
}

class ExtractedSample : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::RecordingWindow window;
        ExtractSisPackage(kSample.string(), dir.str() + "/", window);
        mbmBytes = test::ReadBytes(dir / "temp.mbm");
        file = mbm::ReadMbm(mbmBytes);
    }
    mbm::MbmImage Decode(int number) const
    {
        return mbm::DecodeBitmap(mbmBytes, file.bitmaps.at(static_cast<std::size_t>(number)));
    }

    test::TempDir dir;
    std::vector<std::uint8_t> mbmBytes;
    mbm::MbmFile file;
};

TEST_F(ExtractedSample, HoldsEnoughCompressedColourBitmapsThatAllDecode)
{
    EXPECT_TRUE(fs::exists(dir / "readme.txt"));
    EXPECT_EQ(file.kind, mbm::MbmKind::FileStore);
    EXPECT_TRUE(file.uidsOk);
    ASSERT_GE(file.bitmaps.size(), 170u);
    for (const mbm::MbmBitmapRecord& record : file.bitmaps) {
        EXPECT_EQ(record.fault, "") << record.index;
        EXPECT_EQ(record.header.bitsPerPixel, 24) << record.index;
        EXPECT_EQ(record.header.colourMode, mbm::kColour) << record.index;
        EXPECT_NO_THROW(mbm::DecodeBitmap(mbmBytes, record)) << record.index;
    }
    // The converter's default file store is compressed; the status area's runs of equal
    // colours along its rows make the 24-bit run-length code pay off.
    EXPECT_NE(file.bitmaps[static_cast<std::size_t>(Number(2))].header.compression, 0u);
}

TEST_F(ExtractedSample, AreasAndIconsHaveTheirSizesAtTheDefaultNumbers)
{
    ASSERT_GE(file.bitmaps.size(), 170u);
    auto header = [&](int field) { return file.bitmaps.at(static_cast<std::size_t>(Number(field))).header; };
    EXPECT_EQ(header(1).width, 176);
    EXPECT_EQ(header(1).height, 44);
    EXPECT_EQ(header(2).width, 176);
    EXPECT_EQ(header(2).height, 144);
    EXPECT_EQ(header(3).width, 176);
    EXPECT_EQ(header(3).height, 20);
    for (int field = 4; field <= 9; ++field) {
        EXPECT_EQ(header(field).width, 44) << field;
        EXPECT_EQ(header(field).height, 29) << field;
        EXPECT_EQ(header(field + 6).width, 44) << field + 6;
        EXPECT_EQ(header(field + 6).height, 44) << field + 6;
    }
    // Every other number holds a small picture of its own.
    std::set<int> used;
    for (int field = 1; field <= kFieldCount; ++field)
        used.insert(Number(field));
    for (const mbm::MbmBitmapRecord& record : file.bitmaps)
        if (!used.count(static_cast<int>(record.index))) {
            EXPECT_GT(record.header.width, 0) << record.index;
            EXPECT_LE(record.header.width, 32) << record.index;
        }
}

TEST_F(ExtractedSample, IconsAreDistinctShapesOnAFlatCornerColour)
{
    ASSERT_GE(file.bitmaps.size(), 170u);
    std::vector<std::vector<std::uint8_t>> icons;
    for (int field = 4; field <= 15; ++field) {
        const mbm::MbmImage icon = Decode(Number(field));
        const std::uint8_t* topLeft = icon.row(0);
        const std::uint8_t* bottomLeft = icon.row(icon.height - 1);
        EXPECT_TRUE(std::equal(topLeft, topLeft + 3, bottomLeft)) << "icon of field " << field;
        // Some pixels show the shape: not every pixel is the corner colour.
        int shape = 0;
        for (int y = 0; y < icon.height; ++y)
            for (int x = 0; x < icon.width; ++x)
                shape += !std::equal(topLeft, topLeft + 3, icon.row(y) + 3 * x);
        EXPECT_GT(shape, icon.width * icon.height / 16) << "icon of field " << field;
        EXPECT_LT(shape, icon.width * icon.height) << "icon of field " << field;
        icons.push_back(icon.pixels);
    }
    for (std::size_t i = 0; i < icons.size(); ++i)
        for (std::size_t j = i + 1; j < icons.size(); ++j)
            EXPECT_NE(icons[i], icons[j]) << "icons of fields " << i + 4 << " and " << j + 4;
}

TEST(SampleTheme, OpensAndUnpacksEveryBitmap)
{
    test::TempDir dir;
    test::CurrentDirectory keep{fs::current_path()}; // Open changes it
    InstallConverter(dir.path());
    Workspace workspace{dir.path()};
    test::RecordingWindow window;
    int redraws = 0;
    OpenTheme(workspace, kSample.string(), ThemeFileType::Package, window, [&] { ++redraws; });
    EXPECT_EQ(redraws, 1);

    const auto bytes = test::ReadBytes(workspace.source() / "temp.mbm");
    const mbm::MbmFile file = mbm::ReadMbm(bytes);
    ASSERT_GE(file.bitmaps.size(), 170u);
    std::size_t unpacked = 0;
    for (const auto& entry : fs::directory_iterator(workspace.unpacked())) {
        (void)entry;
        ++unpacked;
    }
    EXPECT_EQ(unpacked, file.bitmaps.size());
    for (std::size_t i = 0; i < file.bitmaps.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%03zu.bmp", i);
        Bitmap b;
        ASSERT_NO_THROW(LoadBmpFile((workspace.unpacked() / name).string(), b)) << name;
        EXPECT_EQ(b.width(), file.bitmaps[i].header.width) << name;
        EXPECT_EQ(b.height(), file.bitmaps[i].header.height) << name;
    }
    // The status area comes back with the colours it was painted in.
    Bitmap status;
    LoadBmpFile(workspace.sourceBitmap(FieldDefault(1)).string(), status);
    const mbm::MbmImage stored = mbm::DecodeBitmap(bytes, file.bitmaps[static_cast<std::size_t>(Number(1))]);
    const std::uint8_t* px = stored.row(20) + 3 * 100;
    EXPECT_EQ(status.pixel(100, 20), (Rgb{px[2], px[1], px[0]}));
}

// The writer itself: its CRC gives the check value of CRC-16/XMODEM and the check words of a real
// package; what it packs comes out of the reader unchanged, empty files included.
TEST(SisWriter, CrcMatchesTheFormat)
{
    EXPECT_EQ(sis::Crc16(test::Bytes("123456789")), 0x31C3);
    VEXARO_REQUIRE_CORPUS();
    ExpectHeaderChecks(test::ReadBytes(test::CorpusDir() / "sis" / "synth_er6_theme.sis"));
}

TEST(SisWriter, PackedFilesExtractAsWritten)
{
    sis::SisWriter writer;
    writer.uid1(0x10205B01)
        .addFile("C:\\x\\empty.ini", {})
        .addFile("C:\\x\\data.bin", std::vector<std::uint8_t>(5000, 0x5A))
        .addFile("C:\\x\\Theme.mbm", std::vector<std::uint8_t>{1, 2, 3});
    const auto bytes = writer.bytes();
    ExpectHeaderChecks(bytes);
    EXPECT_EQ(U16(bytes, 20), 3);
    EXPECT_EQ(U32(bytes, 80), 5003u) << "maximum installed space";

    test::TempDir dir;
    const fs::path file = dir / "t.sis";
    test::WriteBytes(file, bytes);
    const fs::path out = dir / "out";
    fs::create_directory(out);
    test::RecordingWindow window;
    ExtractSisPackage(file.string(), out.string() + "/", window);
    EXPECT_EQ(test::ReadBytes(out / "empty.ini").size(), 0u);
    EXPECT_EQ(test::ReadBytes(out / "data.bin"), std::vector<std::uint8_t>(5000, 0x5A));
    EXPECT_EQ(test::ReadBytes(out / "temp.mbm"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(SisWriter, RefusesNamesItCannotWrite) { EXPECT_THROW(sis::SisWriter().addFile("C:\\caf\xc3\xa9.txt", {}), Error); }

} // namespace
} // namespace vexaro
