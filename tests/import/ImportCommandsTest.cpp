// The Open and Clear commands end to end, with the real converter written into each workspace.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
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
    EXPECT_FALSE(fs::exists(w.workspace.source()));
    // A package chosen as a multi-bitmap file is found damaged; the second line names the
    // user's file, and nothing is written.
    w.open(Corpus("sis/er6_ngage_hotswap.sis"), ThemeFileType::MultiBitmap);
    ASSERT_EQ(w.window.messages.size(), 1u);
    EXPECT_TRUE(w.window.messages[0].starts_with("File temp.mbm damaged !\n\"er6_ngage_hotswap.sis\" is no "
                                                 "multi-bitmap file that can be read\nnot a multi-bitmap file"))
        << w.window.messages[0];
    EXPECT_TRUE(w.window.messages[0].ends_with(std::string("\n") + kNothingChanged));
    EXPECT_FALSE(fs::exists(w.workspace.source()));
    EXPECT_EQ(w.redraws, 0);
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
                EXPECT_EQ(std::string(e.what()),
                          "Cannot open file " + Quoted(file.string()) + ". " + reason + "\n" + kNothingChanged);
            }
            EXPECT_EQ(w.unpackedCount(), 3);
            EXPECT_TRUE(fs::exists(w.nokia("temp.mbm")));
            EXPECT_EQ(w.window.openCaptions.back(), "Open");
        }
    EXPECT_EQ(w.redraws, 0);
}

// A package that carries its own command file never chooses what the converter does: with its
// multi-bitmap file damaged nothing is written and the converter does not run at all, and with
// a sound one it runs on the command file the Open command wrote. Nothing outside the workspace
// changes.
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
            const std::set<std::string> before = w.unpackedNames();

            const OpenOutcome outcome = w.open(w.dir / "hostile.sis", ThemeFileType::Package);
            EXPECT_EQ(outcome.damaged, !soundTheme);
            EXPECT_EQ(w.window.messages.size(), soundTheme ? 0u : 1u);
            EXPECT_EQ(w.unpackedNames(), soundTheme ? std::set<std::string>{"000.bmp"} : before);
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

// Whatever is found wrong with a theme before anything is written leaves the workspace and the
// theme shown as they were, and the message says so.
TEST(OpenTheme, FailureFoundBeforeWritingLeavesTheEarlierThemeWhole)
{
    // (A stream as long as the file it holds would read as the file: short ones are stored.)
    auto package = [](const std::vector<std::uint8_t>& mbm) {
        return test::PackageBuilder()
            .addFile("C:\\t\\readme.txt", test::Bytes("hello"))
            .addFile("C:\\t\\skin.mbm", mbm, mbm.size() < 100 ? test::SisStorage::Stored : test::SisStorage::Compressed)
            .bytes();
    };
    // A corrupt stream in the entry after the theme's.
    test::BuiltPackage spoiled = test::PackageBuilder()
                                     .addFile("a.mbm", SmallMbm(2))
                                     .addFile("z.txt", std::vector<std::uint8_t>(400, 'z'))
                                     .build();
    spoiled.bytes[spoiled.dataOffsets[1] + 4] ^= 0xFF;
    struct Case {
        std::string file;
        std::vector<std::uint8_t> bytes;
        std::string message; // how the message starts
    };
    const std::vector<Case> cases = {
        {"app.sis", test::PackageBuilder().addFile("C:\\app\\readme.txt", test::Bytes("hi")).bytes(),
         NoMultiBitmapMessage("app.sis")},
        {"spoiled.sis", spoiled.bytes, "Error\nPackage \"spoiled.sis\" is damaged: file record 1 (z.txt)"},
        {"none.mbm", test::PaintMbm(0), NoBitmapsMessage("none.mbm")},
        {"none.sis", package(test::PaintMbm(0)), NoBitmapsMessage("none.sis")},
        {"bomb8.sis", package(test::PixelBombMbm(8)),
         "The theme \"bomb8.sis\" is too large: its bitmaps would "
         "unpack to 536870912 pixels, more than the limit of 16777216"},
        {"bomb1000.sis", package(test::PixelBombMbm(1000)),
         "The theme \"bomb1000.sis\" is too large: its bitmaps would "
         "unpack to 67108864000 pixels"},
        {"damaged.sis", package(test::Bytes("0123456789")),
         "File temp.mbm damaged !\n\"damaged.sis\" is no multi-bitmap file that can be read\n"},
    };
    Workbench w;
    test::WriteBytes(w.dir / "theme.mbm", SmallMbm(3));
    w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        test::WriteBytes(w.dir / c.file, c.bytes);
        const ThemeFileType type = c.file.ends_with(".sis") ? ThemeFileType::Package : ThemeFileType::MultiBitmap;
        w.window.messages.clear();
        w.redraws = 0;
        std::string message;
        try {
            w.open(w.dir / c.file, type);
            ASSERT_EQ(w.window.messages.size(), 1u);
            message = w.window.messages[0];
        } catch (const Error& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with(c.message)) << message;
        EXPECT_TRUE(message.ends_with(std::string("\n") + kNothingChanged)) << message;
        EXPECT_EQ(w.unpackedNames(), (std::set<std::string>{"000.bmp", "001.bmp", "002.bmp"}));
        EXPECT_EQ(test::ReadBytes(w.nokia("temp.mbm")), SmallMbm(3));
        EXPECT_FALSE(fs::exists(w.nokia("readme.txt")));
        EXPECT_EQ(w.redraws, 0);
        EXPECT_EQ(w.window.openCaptions.back(), "Open");
    }
}

// Once writing has begun, a failure leaves what was unpacked (here nothing: the converter cannot
// run) and the message's last line says what is open now. The message says which converter is
// there and cannot run.
TEST(OpenTheme, FailureAfterWritingSaysWhatIsOpenNow)
{
    Workbench w;
    test::WriteBytes(w.dir / "theme.mbm", SmallMbm(2));
    const fs::path converter = w.workspace.folder() / "bmconv.exe";
    struct Case {
        std::string what;
        std::function<void()> spoil;
        std::string reason; // the message's second line
    };
    const std::vector<Case> cases = {
        {"missing", [&] { fs::remove(converter); }, "It is neither beside the program nor in the workspace"},
#ifndef _WIN32
        {"not executable", [&] { fs::permissions(converter, fs::perms::owner_read | fs::perms::owner_write); },
         Quoted(converter.string()) + " is there but is not executable"},
        {"a folder", [&] { fs::remove(converter), fs::create_directory(converter); },
         Quoted(converter.string()) + " is no regular file"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(converter);
        InstallConverter(w.workspace.folder());
        w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
        c.spoil();
        w.redraws = 0;
        try {
            w.open(w.dir / "theme.mbm", ThemeFileType::MultiBitmap);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot run the converter \"bmconv.exe\"\n" + c.reason +
                                                 "\nNo theme is open now: the one opened before was removed");
        }
        EXPECT_EQ(w.unpackedCount(), 0);
        EXPECT_EQ(w.redraws, 1);
    }
}

// Names that were a folder's or a device's are left out with a warning, and so is a file the
// file system cannot name; planted links and files in the workspace are replaced, never
// followed, and a stale entry that cannot be removed is told. The theme itself opens whole.
TEST(OpenTheme, PlantedNamesAndOddEntriesAreToldAndPassedOver)
{
    Workbench w;
    const std::string longName(300, 'n');
    test::WriteBytes(w.dir / "odd.sis", test::PackageBuilder()
                                            .addFile("C:\\t\\MBM", test::Bytes("not a folder"))
                                            .addFile("C:\\t\\" + longName, test::Bytes("long"))
                                            .addFile("C:\\t\\skin.mbm", SmallMbm(3))
                                            .addFile("C:\\t\\\x1B]0;t\a.txt", test::Bytes("title"))
                                            .bytes());
    fs::create_directories(w.workspace.unpacked() / "150.bmp");
    test::WriteBytes(w.workspace.unpacked() / "150.bmp" / "inside.txt", test::Bytes("x"));
    const fs::path victim = w.dir / "victim.bmp";
    test::WriteBytes(victim, test::Bytes("precious"));
#ifndef _WIN32
    fs::create_symlink(victim, w.unpacked(0));
#endif

    const OpenOutcome outcome = w.open(w.dir / "odd.sis", ThemeFileType::Package);
    EXPECT_TRUE(outcome.complete()) << outcome.problems();
    EXPECT_EQ(outcome.unpacked, 3);
    ASSERT_EQ(outcome.warnings.size(), 4u);
    EXPECT_EQ(outcome.warnings[0], "\"MBM\": no file may have that name here");
    EXPECT_TRUE(outcome.warnings[1].starts_with(Quoted(longName) + ": ")) << outcome.warnings[1];
    EXPECT_EQ(outcome.warnings[2], "\"\\x1B]0;t\\x07.txt\": no file may have that name here");
    const auto& captions = w.window.openCaptions;
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Process : \\x1B]0;t\\x07.txt"), captions.end());
    EXPECT_TRUE(
        outcome.warnings[3].starts_with("Cannot delete " + Quoted((w.workspace.unpacked() / "150.bmp").string())))
        << outcome.warnings[3];
    EXPECT_TRUE(fs::is_directory(w.workspace.unpacked()));
    EXPECT_EQ(test::ReadBytes(victim), test::Bytes("precious"));
    EXPECT_FALSE(fs::is_symlink(w.unpacked(0)));

    // A file standing where "Nokia\MBM" goes, as an older version could leave, is replaced.
    fs::remove_all(w.workspace.unpacked());
    test::WriteBytes(w.workspace.unpacked(), test::Bytes("a file"));
    EXPECT_EQ(w.open(w.dir / "odd.sis", ThemeFileType::Package).unpacked, 3);
    EXPECT_EQ(w.unpackedCount(), 3);
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
