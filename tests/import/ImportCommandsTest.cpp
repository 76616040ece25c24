// The Open and Clear commands end to end, with the real converter written into each workspace.
#include <cerrno>
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
#include "ThemePainter.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;

// The workspace is a folder of the test's own folder, so that a test can see whether anything
// was written beside it.
struct Workbench {
    test::TempDir dir;
    Workspace workspace;
    test::RecordingWindow window;
    int redraws = 0;
    Redraw redraw = [this] { ++redraws; };
    test::CurrentDirectory keep{fs::current_path()}; // the commands change it; put it back after

    explicit Workbench(const std::string& folder = "ws") : workspace(dir / folder)
    {
        fs::create_directories(workspace.folder());
        InstallConverter(workspace.folder());
    }
    OpenOutcome open(const fs::path& file, ThemeFileType type)
    {
        return OpenTheme(workspace, file.string(), type, window, redraw);
    }
    fs::path nokia(const std::string& name) const { return workspace.source() / name; }
    fs::path unpacked(int n) const
    {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.bmp", n);
        return workspace.unpacked() / name;
    }
    int unpackedCount() const { return static_cast<int>(unpackedNames().size()); }
    std::set<std::string> unpackedNames() const
    {
        std::error_code ec;
        std::set<std::string> names;
        for (auto it = fs::directory_iterator(workspace.unpacked(), ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            names.insert(it->path().filename().string());
        return names;
    }
};

std::vector<std::uint8_t> SmallMbm(int count, int faulty = -1)
{
    return test::PaintMbm(count, {}, faulty < 0 ? std::vector<int>{} : std::vector<int>{faulty});
}

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
    EXPECT_EQ(fs::current_path(), w.workspace.folder());
}

// The window's Open hands the chosen file over as UTF-8 text, and its workspace may lie in a
// folder named in any script.
TEST(OpenTheme, NamesInEveryScript)
{
    for (const std::string name : {"Café", "Тема", "Θέμα", "主题"}) {
        Workbench w("Рабочая папка " + name);
        const fs::path theme = w.dir / (name + ".mbm");
        test::WriteBytes(theme, SmallMbm(3));
        const OpenOutcome outcome =
            OpenTheme(w.workspace, theme.string(), ThemeFileType::MultiBitmap, w.window, w.redraw);
        EXPECT_TRUE(outcome.complete()) << name;
        EXPECT_EQ(w.unpackedCount(), 3) << name;
        EXPECT_TRUE(w.window.messages.empty()) << name;
    }
}

// A new theme replaces the old one: the numbered files are exactly the new theme's, less those
// the converter could not unpack, which are named with the converter's reason; the good ones
// are shown.
TEST(OpenTheme, NumberedFilesAreExactlyTheNewThemesAndLostOnesAreTold)
{
    Workbench w;
    test::WriteBytes(w.dir / "big.mbm", SmallMbm(12));
    test::WriteBytes(w.dir / "small.mbm", SmallMbm(3, 1));
    EXPECT_TRUE(w.open(w.dir / "big.mbm", ThemeFileType::MultiBitmap).complete());
    EXPECT_EQ(w.unpackedCount(), 12);

    const OpenOutcome outcome = w.open(w.dir / "small.mbm", ThemeFileType::MultiBitmap);
    EXPECT_EQ(w.unpackedNames(), (std::set<std::string>{"000.bmp", "002.bmp"}));
    EXPECT_EQ(outcome.announced, 3);
    EXPECT_EQ(outcome.unpacked, 2);
    EXPECT_EQ(outcome.lost, std::vector<int>{1});
    EXPECT_FALSE(outcome.complete());
    const std::string problems = outcome.problems();
    EXPECT_EQ(problems.rfind("1 of 3 bitmaps could not be unpacked: 001\n", 0), 0u) << problems;
    EXPECT_NE(problems.find("bitmap 1"), std::string::npos) << "the converter's own words: " << problems;
    EXPECT_EQ(w.redraws, 2);
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

// A theme file that cannot be read costs nothing of the open theme.
TEST(OpenTheme, UnreadableThemeFileChangesNothing)
{
    Workbench w;
    test::WriteBytes(w.dir / "theme.mbm", SmallMbm(3));
    w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
    w.redraws = 0;
    fs::create_directories(w.dir / "folder.sis");
    const std::vector<std::pair<fs::path, std::string>> cases = {{w.dir / "missing.sis", SystemReason(ENOENT)},
                                                                 {w.dir / "folder.sis", "Not a regular file"}};
    for (const auto& [file, reason] : cases)
        for (ThemeFileType type : {ThemeFileType::Package, ThemeFileType::MultiBitmap}) {
            try {
                w.open(file, type);
                ADD_FAILURE() << "no error for " << file;
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()), "Cannot open file " + Quoted(file.string()) + ". " + reason);
            }
            EXPECT_EQ(w.unpackedCount(), 3);
            EXPECT_TRUE(fs::exists(w.nokia("temp.mbm")));
            EXPECT_EQ(w.window.openCaptions.back(), "Open");
        }
    EXPECT_EQ(w.redraws, 0);
}

// A package without a multi-bitmap file leaves an empty theme and says so; it never shows the
// earlier theme as its own.
TEST(OpenTheme, PackageWithoutMultiBitmapFileLeavesAnEmptyTheme)
{
    Workbench w;
    test::WriteBytes(w.dir / "theme.mbm", SmallMbm(3));
    w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
    test::PackageBuilder builder;
    builder.addFile("C:\\app\\readme.txt", test::Bytes("hello"));
    test::WriteBytes(w.dir / "app.sis", builder.bytes());
    try {
        w.open(w.dir / "app.sis", ThemeFileType::Package);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "\"app.sis\" holds no theme bitmaps\nIt has no multi-bitmap (.mbm) file");
    }
    EXPECT_TRUE(fs::exists(w.nokia("readme.txt")));
    EXPECT_FALSE(fs::exists(w.nokia("temp.mbm")));
    EXPECT_EQ(w.unpackedCount(), 0);
    EXPECT_EQ(w.redraws, 2);
    EXPECT_EQ(w.window.openCaptions.back(), "Open");
    EXPECT_EQ(w.window.position, 0);
}

// A package that carries its own command file never chooses what the converter does: with its
// multi-bitmap file damaged the converter does not run at all, and with a sound one it runs on
// the command file the Open command wrote. Nothing outside the workspace changes.
TEST(OpenTheme, PackageNeverChoosesWhatTheConverterDoes)
{
    Workbench w;
    const fs::path victim = w.dir / "victim.txt";
    test::WriteBytes(victim, test::Bytes("precious"));
    const std::vector<std::string> targets = {"..\\escaped.bmp", "..\\..\\..\\..\\x.bmp",
                                              (w.dir / "absolute.bmp").string(), victim.string()};
    for (const std::string& target : targets)
        for (const bool soundTheme : {false, true}) {
            SCOPED_TRACE(target + (soundTheme ? " with a sound theme" : " with a damaged theme"));
            const std::string commands = "/u Nokia\\real.dat\r\n" + target + "\r\n";
            test::PackageBuilder builder;
            builder.addFile("C:\\t\\mbm.txt", test::Bytes(commands)); // before and after the theme
            builder.addFile("C:\\t\\skin.mbm", soundTheme ? SmallMbm(1) : test::Bytes("0123456789"));
            builder.addFile("C:\\t\\real.dat", SmallMbm(2));
            builder.addFile("C:\\t\\mbm.txt", test::Bytes(commands));
            test::WriteBytes(w.dir / "hostile.sis", builder.bytes());
            w.window.messages.clear();

            const OpenOutcome outcome = w.open(w.dir / "hostile.sis", ThemeFileType::Package);
            EXPECT_EQ(outcome.damaged, !soundTheme);
            EXPECT_EQ(w.window.messages.size(), soundTheme ? 0u : 1u);
            EXPECT_EQ(w.unpackedNames(), soundTheme ? std::set<std::string>{"000.bmp"} : std::set<std::string>{});
            EXPECT_EQ(test::ReadBytes(victim), test::Bytes("precious"));
            std::set<std::string> beside;
            for (const auto& e : fs::directory_iterator(w.dir.path()))
                beside.insert(e.path().filename().string());
            EXPECT_EQ(beside, (std::set<std::string>{"hostile.sis", "victim.txt", "ws"}));
        }
}

// Workspace folders that are links are replaced by real folders, never written through.
TEST(OpenTheme, WorkspaceFoldersThatAreLinksAreReplaced)
{
#ifdef _WIN32
    GTEST_SKIP() << "wine makes no symbolic links";
#else
    Workbench w;
    fs::create_directories(w.dir / "outside");
    test::WriteBytes(w.dir / "outside" / "keep.txt", test::Bytes("keep"));
    test::WriteBytes(w.dir / "theme.mbm", SmallMbm(2));
    fs::create_directory_symlink(w.dir / "outside", w.workspace.source());
    w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
    fs::remove_all(w.workspace.unpacked());
    fs::create_directory_symlink(w.dir / "outside", w.workspace.unpacked());
    w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
    EXPECT_FALSE(fs::is_symlink(w.workspace.source()) || fs::is_symlink(w.workspace.unpacked()));
    EXPECT_EQ(w.unpackedCount(), 2);
    fs::remove_all(w.workspace.source());
    fs::create_directory_symlink(w.dir / "outside", w.workspace.source());
    ClearTheme(w.workspace, w.redraw);
    EXPECT_FALSE(fs::exists(w.workspace.source()) || fs::is_symlink(w.workspace.source()));
    std::set<std::string> outside;
    for (const auto& e : fs::directory_iterator(w.dir / "outside"))
        outside.insert(e.path().filename().string());
    EXPECT_EQ(outside, std::set<std::string>{"keep.txt"});
#endif
}

// Without a converter the Open command says so by name, and leaves an empty theme rather than
// the earlier one's files.
TEST(OpenTheme, MissingConverterIsToldByName)
{
    Workbench w;
    test::WriteBytes(w.dir / "theme.mbm", SmallMbm(2));
    w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
    fs::remove(w.workspace.folder() / "bmconv.exe");
    try {
        w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot run the converter \"bmconv.exe\"\n", 0), 0u) << e.what();
    }
    EXPECT_EQ(w.unpackedCount(), 0);
    EXPECT_EQ(w.redraws, 2);
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
    EXPECT_EQ(w.window.openCaptions.back(), "Open") << "the command ends at rest";
    EXPECT_EQ(w.window.position, 0);
    EXPECT_EQ(w.redraws, 0);
}

TEST(ClearTheme, RemovesTheSourceFolderOnly)
{
    VEXARO_REQUIRE_CORPUS();
    Workbench w;
    w.open(Corpus("sis/synth_er6_theme.sis"), ThemeFileType::Package);
    fs::create_directories(w.workspace.target());
    test::WriteBytes(w.workspace.target() / "EidPic.mbm", {1});
    test::WriteBytes(w.workspace.folder() / "Settings.ini", {2});
    w.redraws = 0;
    ClearTheme(w.workspace, w.redraw);
    EXPECT_FALSE(fs::exists(w.workspace.source()));
    EXPECT_TRUE(fs::exists(w.workspace.target() / "EidPic.mbm"));
    EXPECT_TRUE(fs::exists(w.workspace.folder() / "Settings.ini"));
    EXPECT_TRUE(fs::exists(w.workspace.folder() / "bmconv.exe"));
    EXPECT_EQ(w.redraws, 1);

    // Without a source folder nothing changes on disk, and it still redraws.
    ClearTheme(w.workspace, w.redraw);
    EXPECT_EQ(w.redraws, 2);
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(w.workspace.folder()))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Siemens", "Settings.ini", "bmconv.exe"}));
}

} // namespace
} // namespace vexaro
