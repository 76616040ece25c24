// The Open and Clear commands end to end, with the real converter written into each workspace.
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "bitmap/BmpCodec.h"
#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "import/ImportCommands.h"
#include "mbm/MbmReader.h"
#include "PackageBuilder.h"
#include "ProcessState.h"
#include "RecordingWindow.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;

struct Workbench {
    test::TempDir dir;
    Workspace workspace{dir.path()};
    test::RecordingWindow window;
    int redraws = 0;
    Redraw redraw = [this] { ++redraws; };
    test::CurrentDirectory keep{fs::current_path()}; // the commands change it; put it back after

    Workbench() { InstallConverter(dir.path()); }
    void open(const fs::path& file, ThemeFileType type) { OpenTheme(workspace, file.string(), type, window, redraw); }
    fs::path nokia(const std::string& name) const { return workspace.source() / name; }
    fs::path unpacked(int n) const
    {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.bmp", n);
        return workspace.unpacked() / name;
    }
    int unpackedCount() const
    {
        std::error_code ec;
        int count = 0;
        for (auto it = fs::directory_iterator(workspace.unpacked(), ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            ++count;
        return count;
    }
};

fs::path Corpus(const std::string& relative) { return test::CorpusDir() / relative; }

int BitmapCount(const fs::path& mbm)
{
    const auto bytes = test::ReadBytes(mbm);
    return static_cast<int>(mbm::ReadMbm(bytes).bitmaps.size());
}

// Every numbered file is the decompiled bitmap of the same index: same size, valid BMP.
void ExpectUnpacked(const Workbench& w, const fs::path& mbmFile)
{
    const auto bytes = test::ReadBytes(mbmFile);
    const mbm::MbmFile file = mbm::ReadMbm(bytes);
    for (std::size_t i = 0; i < file.bitmaps.size(); ++i) {
        Bitmap b;
        LoadBmpFile(w.unpacked(static_cast<int>(i)).string(), b);
        EXPECT_EQ(b.width(), file.bitmaps[i].header.width) << i;
        EXPECT_EQ(b.height(), file.bitmaps[i].header.height) << i;
    }
}

TEST(OpenTheme, PackageWithAMultiBitmapFile)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    w.open(Corpus("sis/er6_ngage_fexplorer_1_17.sis"), ThemeFileType::Package);
    EXPECT_EQ(test::Sha256Hex(test::ReadBytes(w.nokia("temp.mbm"))),
              "f2da1e26f32457bee45402a04d481bee8a0d0e749fd004deb79cbb8886f98147");
    const int count = BitmapCount(w.nokia("temp.mbm"));
    ASSERT_GT(count, 0);
    EXPECT_EQ(w.unpackedCount(), count);
    ExpectUnpacked(w, w.nokia("temp.mbm"));

    ASSERT_EQ(w.window.openCaptions.size(), 14u);
    EXPECT_EQ(w.window.openCaptions[4], "Process : FExplorer.mbm");
    EXPECT_EQ(w.window.openCaptions[12], "Opening mbm file...");
    EXPECT_EQ(w.window.openCaptions[13], "Open");
    EXPECT_EQ(w.window.progressCalls.back(), "position 0");
    EXPECT_EQ(w.redraws, 1);
    EXPECT_EQ(fs::current_path(), w.dir.path());
}

TEST(OpenTheme, ThemePackageThenASmallerMultiBitmapFileLeavesTheOlderNumbers)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    w.open(Corpus("sis/synth_er6_theme.sis"), ThemeFileType::Package);
    EXPECT_EQ(w.unpackedCount(), 170);
    ExpectUnpacked(w, w.nokia("temp.mbm"));
    const auto theme169 = test::ReadBytes(w.unpacked(169));

    // A multi-bitmap file of 41 bitmaps, chosen directly.
    const fs::path small = Corpus("mbm/symbian-graphics/tfbs/tfbs_file1.mbm");
    w.open(small, ThemeFileType::MultiBitmap);
    EXPECT_EQ(test::ReadBytes(w.nokia("temp.mbm")), test::ReadBytes(small)) << "a copy";
    const auto commandFile = test::ReadBytes(w.nokia("mbm.txt"));
    EXPECT_EQ(std::count(commandFile.begin(), commandFile.end(), '\n'), 42);
    ExpectUnpacked(w, small);
    EXPECT_EQ(w.unpackedCount(), 170) << "numbers 041 to 169 of the earlier theme stay";
    EXPECT_EQ(test::ReadBytes(w.unpacked(169)), theme169);
    EXPECT_EQ(w.window.openCaptions.back(), "Open");
}

TEST(OpenTheme, TypeDecidesNotTheExtension)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    // A multi-bitmap file read as a package: its "records" point outside it, so it is refused
    // as damaged before anything is written.
    try {
        w.open(Corpus("mbm/symbian-graphics/tfbs/tfbs_file1.mbm"), ThemeFileType::Package);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Package \"tfbs_file1.mbm\" is damaged: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(fs::is_empty(w.workspace.source()));
    EXPECT_EQ(w.redraws, 0);
    // A package chosen as a multi-bitmap file is copied and then found damaged.
    w.open(Corpus("sis/er6_ngage_hotswap.sis"), ThemeFileType::MultiBitmap);
    EXPECT_EQ(test::ReadBytes(w.nokia("temp.mbm")), test::ReadBytes(Corpus("sis/er6_ngage_hotswap.sis")));
    EXPECT_EQ(w.window.messages, std::vector<std::string>{"File temp.mbm damaged !"});
    EXPECT_EQ(w.redraws, 1) << "the command goes on after the damaged message";
}

TEST(OpenTheme, MissingFileUnpacksTheEarlierThemeAgain)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    w.open("/no/such/theme.sis", ThemeFileType::Package);
    EXPECT_EQ(w.redraws, 0) << "nothing to unpack";
    EXPECT_EQ(w.window.openCaptions, std::vector<std::string>{"Open"});

    w.open(Corpus("mbm/symbian-graphics/tfbs/tfbs_file1.mbm"), ThemeFileType::MultiBitmap);
    fs::remove_all(w.workspace.unpacked());
    w.open(w.dir / "missing.mbm", ThemeFileType::MultiBitmap);
    EXPECT_EQ(w.unpackedCount(), 41) << "the earlier temp.mbm was unpacked again";
    w.open(w.dir / "missing.sis", ThemeFileType::Package);
    EXPECT_EQ(w.redraws, 3);
}

TEST(OpenTheme, PackageWithoutMultiBitmapFileRightAfterClear)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    w.open(Corpus("sis/synth_er6_theme.sis"), ThemeFileType::Package);
    ClearTheme(w.workspace, w.redraw);
    w.window = test::RecordingWindow{};
    w.redraws = 0;
    w.open(Corpus("sis/er6_ngage_hotswap.sis"), ThemeFileType::Package);
    EXPECT_TRUE(fs::exists(w.nokia("hotswap.app")));
    EXPECT_FALSE(fs::exists(w.nokia("temp.mbm")));
    EXPECT_FALSE(fs::exists(w.nokia("mbm.txt"))) << "the job did not run";
    EXPECT_FALSE(fs::exists(w.workspace.unpacked()));
    EXPECT_EQ(w.redraws, 0);
    EXPECT_EQ(w.window.openCaptions.back(), "Open");
    EXPECT_EQ(w.window.position, 0);
}

TEST(OpenTheme, DamagedPackageEndsTheCommandWithItsMessage)
{
    Workbench w;
    test::PackageBuilder builder;
    const std::vector<std::uint8_t> first(50, 'a'), second(400, 'b');
    builder.addFile("C:\\theme\\first.txt", first);
    builder.addFile("C:\\theme\\skin.mbm", second);
    test::BuiltPackage built = builder.build();
    std::vector<std::uint8_t>& package = built.bytes;
    // Spoil the deflate data of the second entry.
    package[built.dataOffsets[1] + 4] ^= 0xFF;
    package[built.dataOffsets[1] + 5] ^= 0xFF;
    test::WriteBytes(w.dir / "bad.sis", package);
    try {
        w.open(w.dir / "bad.sis", ThemeFileType::Package);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Error\n")) << e.what();
    }
    EXPECT_EQ(w.window.openCaptions.back(), "Process : skin.mbm") << "the caption stays";
    EXPECT_EQ(w.redraws, 0);
}

TEST(ClearTheme, RemovesTheSourceFolderOnly)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    w.open(Corpus("sis/synth_er6_theme.sis"), ThemeFileType::Package);
    fs::create_directories(w.workspace.target());
    test::WriteBytes(w.workspace.target() / "EidPic.mbm", {1});
    test::WriteBytes(w.dir / "Settings.ini", {2});
    w.redraws = 0;
    ClearTheme(w.workspace, w.redraw);
    EXPECT_FALSE(fs::exists(w.workspace.source()));
    EXPECT_TRUE(fs::exists(w.workspace.target() / "EidPic.mbm"));
    EXPECT_TRUE(fs::exists(w.dir / "Settings.ini"));
    EXPECT_TRUE(fs::exists(w.dir / "bmconv.exe"));
    EXPECT_EQ(w.redraws, 1);

    // Without a source folder nothing changes on disk, and it still redraws.
    ClearTheme(w.workspace, w.redraw);
    EXPECT_EQ(w.redraws, 2);
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(w.dir.path()))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Siemens", "Settings.ini", "bmconv.exe"}));
}

} // namespace
} // namespace vexaro
