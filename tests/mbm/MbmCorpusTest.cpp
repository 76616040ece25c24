// Every bitmap of the MBM corpus: header fields, decode result and the SHA-256 of the BMP the
// decompile mode writes, against the corpus's expected.json.
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"
#include "ExpectedCorpus.h"
#include "TestSupport.h"

namespace vexaro::mbm {
namespace {

using test::Json;

const Json& Expected() { return test::ExpectedMbmCorpus(); }

TEST(MbmCorpus, EveryBitmapDecodesToItsExpectedBmp)
{
    VEXARO_REQUIRE_CORPUS();
    int matched = 0, refused = 0, expectedOk = 0;
    for (const auto& [name, entry] : Expected()["files"].object()) {
        SCOPED_TRACE(name);
        const auto bytes = test::ReadBytes(test::CorpusDir() / "mbm" / name);
        const MbmFile file = ReadMbm(bytes);
        if (entry.has("error")) {
            // The reader of expected.json refused the whole file for its bitmap 0; we refuse
            // that bitmap alone.
            ASSERT_FALSE(file.bitmaps.empty());
            EXPECT_THROW(DecodeBitmap(bytes, file.bitmaps[0]), Error);
            continue;
        }
        const auto& bitmaps = entry["bitmaps"].array();
        ASSERT_EQ(file.bitmaps.size(), bitmaps.size());
        EXPECT_EQ(file.kind == MbmKind::FileStore ? "filestore" : "rom", entry["kind"].str());
        for (const Json& b : bitmaps) {
            const auto index = static_cast<std::size_t>(b["index"].integer());
            SCOPED_TRACE("bitmap " + std::to_string(index));
            const MbmBitmapRecord& record = file.bitmaps.at(index);
            EXPECT_EQ(record.header.width, b["width"].integer());
            EXPECT_EQ(record.header.height, b["height"].integer());
            EXPECT_EQ(record.header.bitsPerPixel, b["bpp"].integer());
            EXPECT_EQ(record.header.colourMode, static_cast<std::uint32_t>(b["color"].integer()));
            EXPECT_EQ(record.header.compression, static_cast<std::uint32_t>(b["compression"].integer()));
            EXPECT_EQ(record.header.size, b["size"].integer());
            EXPECT_EQ(record.header.twipsWidth, b["twips"][0].integer());
            EXPECT_EQ(record.header.twipsHeight, b["twips"][1].integer());
            if (b["decode"].str() == "ok") {
                ++expectedOk;
                const MbmImage image = DecodeBitmap(bytes, record);
                const std::string hash = test::Sha256Hex(EncodeDecompiledBmp(image));
                EXPECT_EQ(hash, b["unpacked_bmp_sha256"].str());
                matched += hash == b["unpacked_bmp_sha256"].str() ? 1 : 0;
            } else {
                try {
                    DecodeBitmap(bytes, record);
                    ADD_FAILURE() << "decoded although expected.json says " << b["decode"].str();
                } catch (const Error& e) {
                    ++refused;
                    EXPECT_EQ(std::string(e.what()).rfind("bitmap " + std::to_string(index) + ": ", 0), 0u) << e.what();
                }
            }
        }
    }
    EXPECT_EQ(expectedOk, 1108);
    EXPECT_EQ(matched, expectedOk);
    EXPECT_EQ(refused, 5);
    std::printf("corpus: %d of %d decodable bitmaps give the expected BMP; %d faulty bitmaps refused\n", matched,
                expectedOk, refused);
}

TEST(MbmCorpus, DeliberatelyCorruptFiles)
{
    VEXARO_REQUIRE_CORPUS();
    // Each file is 00_grbmap.mbm with one field of bitmap 0 broken; bitmap 1 is intact.
    const std::map<std::string, std::string> faults = {
        {"00_grbmap.mbm", ""},
        {"01_totalstramsize.mbm", "bitmap 0: bad bitmap size -1 (less than its 40-byte header)"},
        {"02_headersize.mbm", "bitmap 0: bad header size -1 (must be 40)"},
        {"03_width.mbm", "bitmap 0: negative size -1x48"},
        {"04_height.mbm", "bitmap 0: negative size 48x-1"},
        {"05_bitsperpixel.mbm", "bitmap 0: unsupported bits per pixel -1"},
        {"bad_bmpsize.mbm", "bitmap 0: implausible size 131328x32772 (more than 32768 pixels on a side)"},
        {"bad_colormode.mbm", ""},
        {"bad_compression.mbm", "bitmap 0: unknown compression 4294967295"},
        {"bad_paletteentries.mbm", ""},
    };
    const std::filesystem::path dir = test::CorpusDir() / "mbm" / "symbian-graphics" / "corrupt";
    std::set<std::string> seen;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        seen.insert(entry.path().filename().string());
    ASSERT_EQ(seen.size(), faults.size());
    const std::string intact =
        Expected()["files"]["symbian-graphics/corrupt/00_grbmap.mbm"]["bitmaps"][1]["unpacked_bmp_sha256"].str();
    for (const auto& [name, fault] : faults) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(seen.count(name));
        const auto bytes = test::ReadBytes(dir / name);
        const MbmFile file = ReadMbm(bytes);
        ASSERT_EQ(file.bitmaps.size(), 2u);
        if (fault.empty()) {
            EXPECT_NO_THROW(DecodeBitmap(bytes, file.bitmaps[0]));
        } else {
            try {
                DecodeBitmap(bytes, file.bitmaps[0]);
                ADD_FAILURE() << "bitmap 0 decoded";
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), fault);
            }
        }
        EXPECT_EQ(test::Sha256Hex(EncodeDecompiledBmp(DecodeBitmap(bytes, file.bitmaps[1]))), intact);
    }
}

} // namespace
} // namespace vexaro::mbm
