// Every multi-bitmap file of the corpus, decompiled by the built bmconv.exe from a command file
// as the Open command has it done: each bitmap the corpus marks decodable must arrive as the
// BMP file of its expected.json hash, each faulty one must be left unwritten.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedCorpus.h"
#include "ProcessRunner.h"
#include "TestSupport.h"

namespace vexaro::converter {
namespace {

namespace fs = std::filesystem;
using test::Json;

// 000.bmp, 001.bmp and so on, as the unpacking job names them.
std::string OutputName(std::size_t index)
{
    std::string digits = std::to_string(index);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    return digits + ".bmp";
}

TEST(CorpusDecompile, EveryFileUnpacksThroughTheProgram)
{
    VEXARO_REQUIRE_CORPUS();
    int files = 0, written = 0, withheld = 0;
    for (const auto& [name, entry] : test::ExpectedMbmCorpus()["files"].object()) {
        if (entry.has("error"))
            continue; // refused as a whole by the corpus's own reader; see CorruptFilesKeepTheGoodBitmaps
        SCOPED_TRACE(name);
        const Json::Array& bitmaps = entry["bitmaps"].array();
        test::TempDir folder;
        std::string commands = "/u " + (test::CorpusDir() / "mbm" / fs::path(name)).string() + "\r\n";
        for (std::size_t i = 0; i < bitmaps.size(); ++i)
            commands += OutputName(i) + "\r\n";
        test::WriteBytes(folder / "mbm.txt", std::vector<std::uint8_t>(commands.begin(), commands.end()));

        const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"mbm.txt"}, folder.path());
        bool faulty = false;
        for (const Json& b : bitmaps) {
            const auto index = static_cast<std::size_t>(b["index"].integer());
            const fs::path output = folder / OutputName(index);
            if (b["decode"].str() == "ok") {
                ASSERT_TRUE(fs::exists(output)) << "bitmap " << index << ": " << run.err;
                EXPECT_EQ(test::Sha256Hex(test::ReadBytes(output)), b["unpacked_bmp_sha256"].str())
                    << "bitmap " << index;
                ++written;
            } else {
                EXPECT_FALSE(fs::exists(output)) << "bitmap " << index;
                faulty = true;
                ++withheld;
            }
        }
        EXPECT_EQ(run.exitCode, faulty ? 1 : 0) << run.err;
        ++files;
    }
    EXPECT_EQ(written, 1108);
    EXPECT_EQ(withheld, 5);
    std::printf("corpus through bmconv.exe: %d files, %d BMP files as expected, %d faulty bitmaps withheld\n", files,
                written, withheld);
}

} // namespace
} // namespace vexaro::converter
