// The 30 oracle pairs of the corpus: bmconv.exe, run in a folder holding a pair's source
// BMPs with the pair's original options, must write the corpus MBM byte for byte.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "converter/CommandLine.h"
#include "MiniJson.h"
#include "ProcessRunner.h"
#include "TestSupport.h"

namespace vexaro::converter {
namespace {

namespace fs = std::filesystem;
using test::Json;

struct Pair {
    std::string dir, mbm, store;
    bool compress = true;
    std::vector<std::string> sources;
};

std::vector<Pair> Pairs()
{
    const auto bytes = test::ReadBytes(test::CorpusDir() / "mbm" / "pairs.json");
    const Json json = Json::Parse(std::string(bytes.begin(), bytes.end()));
    std::vector<Pair> pairs;
    for (const Json& p : json["pairs"].array()) {
        Pair pair{p["dir"].str(), p["mbm"].str(), p["store"].str(), p["compress"].boolean(), {}};
        for (const Json& s : p["sources"].array())
            pair.sources.push_back(s.str());
        pairs.push_back(pair);
    }
    return pairs;
}

// The file-level options of a pair, then target and sources, as bmconv takes them.
std::vector<std::string> Arguments(const Pair& pair)
{
    std::vector<std::string> args;
    if (pair.store == "rom")
        args.push_back("/r");
    else if (pair.store == "rom-compressed")
        args.push_back("/s");
    else if (!pair.compress)
        args.push_back("/n");
    args.push_back("out.mbm");
    args.insert(args.end(), pair.sources.begin(), pair.sources.end());
    return args;
}

// Puts the pair's source BMPs into `folder` (the corpus stays read-only and in place).
void CopySources(const Pair& pair, const fs::path& folder)
{
    for (const std::string& token : pair.sources) {
        const fs::path name = fs::path(ParseSource(token).path).filename();
        fs::copy_file(test::CorpusDir() / "mbm" / pair.dir / name, folder / name);
    }
}

TEST(OraclePairs, RebuiltByteForByteFromACommandFile)
{
    VEXARO_REQUIRE_CORPUS();
    const std::vector<Pair> pairs = Pairs();
    ASSERT_EQ(pairs.size(), 30u);
    int rebuilt = 0;
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.dir + "/" + pair.mbm);
        test::TempDir folder;
        CopySources(pair, folder.path());
        std::string commands;
        for (const std::string& a : Arguments(pair))
            commands += a + "\r\n";
        test::WriteBytes(folder / "mbm.txt", std::vector<std::uint8_t>(commands.begin(), commands.end()));
        const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"mbm.txt"}, folder.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const bool same =
            test::ReadBytes(folder / "out.mbm") == test::ReadBytes(test::CorpusDir() / "mbm" / pair.dir / pair.mbm);
        EXPECT_TRUE(same);
        rebuilt += same ? 1 : 0;
    }
    std::printf("oracle pairs rebuilt byte for byte: %d of %zu\n", rebuilt, pairs.size());
}

} // namespace
} // namespace vexaro::converter
