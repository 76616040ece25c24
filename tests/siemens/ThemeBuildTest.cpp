#include <algorithm>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "resize/AverageResize.h"
#include "bitmap/BmpCodec.h"
#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"
#include "mbm/MbmReduce.h"
#include "RecordingWindow.h"
#include "TestSupport.h"
#include "siemens/ThemeBuild.h"
#include "ThemePainter.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::RecordingWindow;

struct Fixture {
    test::TempDir dir;
    Workspace workspace{dir.path()};
    RecordingWindow window;
    Fixture() { InstallConverter(dir.path()); }
    fs::path siemens(const std::string& name) const { return workspace.target() / name; }
    // A theme none of whose bitmaps a field names by default.
    void openUnnamedTheme() const
    {
        fs::create_directories(workspace.unpacked());
        SaveBmpFile(test::Paint(4, 4,
                                [](int, int) {
                                    return Rgb{1, 2, 3};
                                }),
                    (workspace.unpacked() / "999.bmp").string());
    }
    Bitmap load(const std::string& name) const
    {
        Bitmap b;
        LoadBmpFile(siemens(name).string(), b);
        return b;
    }
};

Bitmap Resized(const Bitmap& source, int w, int h)
{
    Bitmap out;
    AverageResize(source, out, w, h);
    return out;
}

// Rows first..first+count-1 of `picture` equal rows from..from+count-1 of `expected`.
void ExpectRows(const Bitmap& picture, int first, const Bitmap& expected, int from, int count, const std::string& what)
{
    ASSERT_EQ(picture.width(), expected.width()) << what;
    for (int r = 0; r < count; ++r)
        for (int x = 0; x < picture.width(); ++x)
            ASSERT_EQ(picture.pixel(x, first + r), expected.pixel(x, from + r))
                << what << " row " << first + r << " column " << x;
}

void ExpectAll(const Bitmap& picture, Rgb colour, const std::string& what)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ASSERT_EQ(picture.pixel(x, y), colour) << what << " at " << x << "," << y;
}

const Bitmap& PictureOf(const std::vector<test::ThemePicture>& theme, int field)
{
    return std::find_if(theme.begin(), theme.end(), [&](const auto& p) { return p.field == field; })->picture;
}

// Index in Menu_Folders.mbm of the colour bitmap of field 4..15.
int ColourIndex(int field)
{
    const int k = field - 4;
    return 4 * (k % 6) + (k < 6 ? 0 : 2);
}

TEST(SaveTheme, ComposesTheScreenPictureWithNoRowMissingOrRepeated)
{
    Fixture f;
    test::ThemeOptions options;
    options.shapes = test::NominalThemeShapes();
    const auto theme = test::PaintTheme(f.workspace, options);
    SaveTheme(f.workspace, f.window);

    const Bitmap status = Resized(PictureOf(theme, 1), 176, 50);
    const Bitmap main = Resized(PictureOf(theme, 2), 176, 150);
    const Bitmap background = f.load("Backgroundimage.bmp");
    const Bitmap idle = f.load("EidPic.bmp");
    ASSERT_EQ(background.width(), 176);
    ASSERT_EQ(background.height(), 132);
    ASSERT_EQ(idle.height(), 68);
    ExpectRows(background, 0, main, 18, 132, "background = resized main rows 18..149");
    ExpectRows(idle, 0, status, 0, 50, "idle rows 0..49 = resized status");
    ExpectRows(idle, 50, main, 0, 18, "idle rows 50..67 = resized main rows 0..17");

    const Bitmap mask = f.load("BBackgroundimage.bmp");
    ASSERT_EQ(mask.width(), 1);
    ASSERT_EQ(mask.height(), 1);
    EXPECT_EQ(mask.pixel(0, 0), kWhite);
}

TEST(SaveTheme, StripPictureFollowsTheChevronRule)
{
    Fixture f;
    f.openUnnamedTheme();
    SaveTheme(f.workspace, f.window);
    const Bitmap strip = f.load("EidPicTop.bmp");
    ASSERT_EQ(strip.width(), 176);
    ASSERT_EQ(strip.height(), 12);
    EXPECT_EQ(strip.bitsPerPixel(), 24);
    std::set<std::pair<int, int>> black;
    for (int k = 0; k < 5; ++k)
        for (int y = 2; y <= 10; ++y)
            black.insert({5 + 5 * k + 4 - std::abs(y - 6), y});
    ASSERT_EQ(black.size(), 45u);
    EXPECT_TRUE(black.count({9, 6}) && black.count({5, 2}) && black.count({29, 6}));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 176; ++x)
            ASSERT_EQ(strip.pixel(x, y), black.count({x, y}) ? kBlack : (Rgb{222, 222, 238})) << x << "," << y;
}

TEST(SaveTheme, IconsKeepTheirOwnSizeAndFormatAndGetTrueMasks)
{
    Fixture f;
    const auto theme = test::PaintTheme(f.workspace); // icons of several sizes and formats
    SaveTheme(f.workspace, f.window);
    for (int field = 4; field <= 15; ++field) {
        const Bitmap& icon = PictureOf(theme, field);
        const int index = ColourIndex(field);
        const Bitmap colour = f.load("menu" + std::to_string(index) + ".bmp");
        const Bitmap mask = f.load("menu" + std::to_string(index + 1) + ".bmp");
        SCOPED_TRACE("field " + std::to_string(field));
        EXPECT_EQ(colour.format(), icon.format());
        EXPECT_EQ(colour.palette(), icon.palette());
        EXPECT_EQ(colour.toRgb(), icon.toRgb());
        ASSERT_EQ(mask.width(), icon.width());
        ASSERT_EQ(mask.height(), icon.height());
        EXPECT_EQ(mask.bitsPerPixel(), 1);
        const Rgb key = icon.pixel(0, 0);
        int white = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) {
                ASSERT_EQ(mask.pixel(x, y), icon.pixel(x, y) == key ? kWhite : kBlack) << x << "," << y;
                white += mask.pixel(x, y) == kWhite;
            }
        EXPECT_GT(white, 0);
        EXPECT_LT(white, icon.width() * icon.height()) << "the mask is two-level, not a copy";
    }
}

TEST(IconMask, OnlyExactKeyColourIsWhite)
{
    Bitmap icon;
    icon.reset(3, 1, PixelFormat::Bits24);
    icon.setPixel(0, 0, Rgb{10, 20, 30});
    icon.setPixel(1, 0, Rgb{10, 20, 31});
    icon.setPixel(2, 0, Rgb{10, 20, 30});
    const Bitmap mask = IconMask(icon);
    EXPECT_EQ(mask.pixel(0, 0), kWhite);
    EXPECT_EQ(mask.pixel(1, 0), kBlack) << "one step away stays black";
    EXPECT_EQ(mask.pixel(2, 0), kWhite) << "the key colour inside the icon is white too";
    EXPECT_TRUE(IconMask(Bitmap{}).empty());
}

TEST(SaveTheme, CommandFilesProgressAndFolderContents)
{
    Fixture f;
    test::PaintTheme(f.workspace);
    fs::create_directories(f.workspace.target() / "sub" / "deeper");
    test::WriteBytes(f.siemens("sub/deeper/user.txt"), {1, 2});
    test::WriteBytes(f.siemens("user.bmp"), {3});
    fs::create_directories(f.workspace.target() / "old.theme");
    test::WriteBytes(f.siemens("old.theme/keep.txt"), {4});

    // The command file as each build's first progress step sees it.
    std::vector<std::string> commandFiles;
    f.window.onProcessMessages = [&] {
        if (f.window.progressCalls.size() == 3 || f.window.progressCalls.size() == 7 ||
            f.window.progressCalls.size() == 10) {
            const auto bytes = test::ReadBytes(f.siemens("mbm.txt"));
            commandFiles.emplace_back(bytes.begin(), bytes.end());
        }
    };
    SaveTheme(f.workspace, f.window);

    ASSERT_EQ(commandFiles.size(), 3u);
    EXPECT_EQ(
        commandFiles[0],
        "Siemens\\Backgroundimage.mbm\r\n/c24Siemens\\Backgroundimage.bmp\r\n/1Siemens\\BBackgroundimage.bmp\r\n");
    EXPECT_EQ(commandFiles[1], "Siemens\\EidPic.mbm\r\n/c16Siemens\\EidPicTop.bmp\r\n/c24Siemens\\EidPic.bmp\r\n"
                               "/c24Siemens\\EidPic.bmp\r\n/c24Siemens\\EidPic.bmp\r\n/c24Siemens\\EidPic.bmp\r\n");
    std::string menu = "Siemens\\Menu_Folders.mbm\r\n";
    for (int i = 0; i < 24; ++i)
        menu += (i % 2 ? "/1Siemens\\menu" : "/c24Siemens\\menu") + std::to_string(i) + ".bmp\r\n";
    EXPECT_EQ(commandFiles[2], menu);
    const auto last = test::ReadBytes(f.siemens("mbm.txt"));
    EXPECT_EQ(std::string(last.begin(), last.end()), menu) << "the last build's command file stays";

    std::vector<std::string> expectedCalls = {"max 100", "step 5"};
    for (int i = 0; i < 20; ++i)
        expectedCalls.push_back("stepit");
    expectedCalls.push_back("position 0");
    EXPECT_EQ(f.window.progressCalls, expectedCalls);
    EXPECT_EQ(f.window.processMessagesCount, 20);

    EXPECT_FALSE(fs::exists(f.siemens("user.bmp")));
    EXPECT_FALSE(fs::exists(f.siemens("sub")));
    EXPECT_TRUE(fs::exists(f.siemens("old.theme/keep.txt"))) << "folders with a full stop are passed over";
    EXPECT_EQ(fs::current_path(), f.dir.path()) << "the workspace is the current directory";
}

TEST(SaveTheme, MissingSourcesLeaveWhite)
{
    {
        Fixture none;
        none.openUnnamedTheme();
        SaveTheme(none.workspace, none.window);
        ExpectAll(none.load("Backgroundimage.bmp"), kWhite, "no theme: background");
        ExpectAll(none.load("EidPic.bmp"), kWhite, "no theme: idle picture");
        for (int i = 0; i < 24; ++i)
            EXPECT_FALSE(fs::exists(none.siemens("menu" + std::to_string(i) + ".bmp")));
    }
    {
        Fixture statusOnly;
        test::ThemeOptions options;
        options.omit = {2};
        const auto theme = test::PaintTheme(statusOnly.workspace, options);
        SaveTheme(statusOnly.workspace, statusOnly.window);
        const Bitmap idle = statusOnly.load("EidPic.bmp");
        ExpectRows(idle, 0, Resized(PictureOf(theme, 1), 176, 50), 0, 50, "status rows");
        Bitmap white;
        white.reset(176, 18, PixelFormat::Bits24);
        white.fill(kWhite);
        ExpectRows(idle, 50, white, 0, 18, "rows 50..67 white without a main area");
    }
    {
        Fixture mainOnly;
        test::ThemeOptions options;
        options.omit = {1};
        const auto theme = test::PaintTheme(mainOnly.workspace, options);
        SaveTheme(mainOnly.workspace, mainOnly.window);
        const Bitmap main = Resized(PictureOf(theme, 2), 176, 150);
        const Bitmap idle = mainOnly.load("EidPic.bmp");
        ExpectRows(idle, 0, main, 18, 50, "rows 0..49 are the background's first rows");
        ExpectRows(idle, 50, main, 0, 18, "rows 50..67 the resized main area's first rows");
    }
    {
        Fixture digit; // "3" names 3.bmp, which the unpacking never writes
        test::PaintTheme(digit.workspace);
        digit.window.fields[2] = "3";
        SaveTheme(digit.workspace, digit.window);
        ExpectAll(digit.load("Backgroundimage.bmp"), kWhite, "field text 3");
    }
}

TEST(SaveTheme, ZeroLengthIconWritesTwoEmptyFiles)
{
    Fixture f;
    test::PaintTheme(f.workspace);
    test::WriteBytes(f.workspace.sourceBitmap("165"), {});
    SaveTheme(f.workspace, f.window);
    EXPECT_EQ(fs::file_size(f.siemens("menu0.bmp")), 0u);
    EXPECT_EQ(fs::file_size(f.siemens("menu1.bmp")), 0u);
}

TEST(SaveTheme, DamagedSourceEndsTheCommandAndLeavesWhatWasWritten)
{
    Fixture f;
    test::PaintTheme(f.workspace);
    test::WriteBytes(f.workspace.sourceBitmap("133"), {'B', 'M', 0, 1, 2}); // Music, first form
    try {
        SaveTheme(f.workspace, f.window);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Bitmap image is not valid");
    }
    EXPECT_TRUE(fs::exists(f.siemens("EidPic.bmp")));
    EXPECT_TRUE(fs::exists(f.siemens("menu4.bmp"))) << "icons before the damaged one stay";
    EXPECT_FALSE(fs::exists(f.siemens("menu8.bmp")));
    EXPECT_EQ(f.window.position, 0) << "the progress bar is back at rest";
}

TEST(BuildIdlePicture, KeepsAnExistingStripPicture)
{
    Fixture f;
    fs::create_directories(f.workspace.target());
    fs::current_path(f.dir.path());
    Bitmap mine;
    mine.reset(3, 2, PixelFormat::Bits24);
    mine.fill(Rgb{1, 2, 3});
    SaveBmpFile(mine, f.siemens("EidPicTop.bmp").string());
    WorkingBitmaps bitmaps;
    BuildIdlePicture(f.workspace, f.window, bitmaps);
    EXPECT_EQ(f.load("EidPicTop.bmp").toRgb(), mine.toRgb());
}

// End to end with the real converter: the three targets decompile to the composed pictures,
// as the depth option reduces them.
TEST(SaveTheme, TargetsHoldTheComposedPicturesAfterConversion)
{
    Fixture f;
    test::PaintTheme(f.workspace);
    SaveTheme(f.workspace, f.window);

    auto check = [&](const std::string& target, const std::vector<std::pair<std::string, mbm::DepthOption>>& sources) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(fs::exists(f.siemens(target)));
        const auto bytes = test::ReadBytes(f.siemens(target));
        const mbm::MbmFile file = mbm::ReadMbm(bytes);
        ASSERT_EQ(file.bitmaps.size(), sources.size());
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const Bitmap got = mbm::ToBitmap(mbm::DecodeBitmap(bytes, file.bitmaps[i]));
            const Bitmap want = mbm::ToBitmap(mbm::ReduceBitmap(f.load(sources[i].first), sources[i].second));
            EXPECT_EQ(got.width(), want.width()) << i;
            EXPECT_EQ(got.toRgb(), want.toRgb()) << "bitmap " << i << " from " << sources[i].first;
        }
    };
    const mbm::DepthOption c24{24, true, false}, c16{16, true, false}, grey1{1, false, false};
    check("Backgroundimage.mbm", {{"Backgroundimage.bmp", c24}, {"BBackgroundimage.bmp", grey1}});
    check("EidPic.mbm",
          {{"EidPicTop.bmp", c16}, {"EidPic.bmp", c24}, {"EidPic.bmp", c24}, {"EidPic.bmp", c24}, {"EidPic.bmp", c24}});
    std::vector<std::pair<std::string, mbm::DepthOption>> menu;
    for (int i = 0; i < 24; ++i)
        menu.push_back({"menu" + std::to_string(i) + ".bmp", i % 2 ? grey1 : c24});
    check("Menu_Folders.mbm", menu);

    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(f.workspace.target()))
        names.insert(e.path().filename().string());
    std::set<std::string> expected = {
        "mbm.txt",    "BBackgroundimage.bmp", "Backgroundimage.bmp", "Backgroundimage.mbm",
        "EidPic.bmp", "EidPicTop.bmp",        "EidPic.mbm",          "Menu_Folders.mbm"};
    for (int i = 0; i < 24; ++i)
        expected.insert("menu" + std::to_string(i) + ".bmp");
    EXPECT_EQ(names, expected);
}

// Without a theme the pictures are white and the icons missing: every missing bitmap is told,
// and the converter's refusal of the icon file is reported, not passed over.
// With no theme open a save would only replace the last Siemens files with blank ones: it
// changes nothing and says why.
TEST(SaveTheme, WithoutAThemeChangesNothing)
{
    Fixture f;
    fs::create_directories(f.workspace.target());
    test::WriteBytes(f.siemens("EidPic.mbm"), {'k', 'e', 'e', 'p'});
    fs::create_directories(f.workspace.unpacked() / "not-a-bitmap");
    try {
        SaveTheme(f.workspace, f.window);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), NoThemeOpenMessage(f.workspace));
    }
    EXPECT_EQ(test::ReadBytes(f.siemens("EidPic.mbm")), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(f.workspace.target()), fs::directory_iterator()), 1);
}

TEST(SaveTheme, ThemeWithoutTheNamedBitmaps_NoMenuFileAndEveryMissingBitmapTold)
{
    Fixture f;
    f.openUnnamedTheme();
    f.window.fields[6] = "";
    const SaveOutcome outcome = SaveTheme(f.workspace, f.window);
    EXPECT_TRUE(fs::exists(f.siemens("Backgroundimage.mbm")));
    EXPECT_TRUE(fs::exists(f.siemens("EidPic.mbm")));
    EXPECT_FALSE(fs::exists(f.siemens("Menu_Folders.mbm")));
    EXPECT_FALSE(outcome.complete());
    EXPECT_TRUE(outcome.targets[0].built && outcome.targets[1].built);
    EXPECT_FALSE(outcome.targets[2].built);
    EXPECT_NE(outcome.targets[2].converterMessages.find("menu0.bmp"), std::string::npos);
    EXPECT_EQ(outcome.problems(), "Backgroundimage.mbm: no bitmap 003 (field 2)\n"
                                  "EidPic.mbm: no bitmap 002 (field 1), 003 (field 2)\n"
                                  "Menu_Folders.mbm: no bitmap 165 (field 4), 023 (field 5), 109 (field 7), 121 "
                                  "(field 8), 073 (field 9), 167 (field 10), 025 (field 11), 135 (field 12), 111 "
                                  "(field 13), 123 (field 14), 075 (field 15); field 6 is empty");
}

// A "Siemens" that links elsewhere goes as a link; what it points to is never emptied.
TEST(SaveTheme, SiemensThatIsALinkIsReplacedNotFollowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "wine makes no symbolic links";
#else
    Fixture f;
    test::PaintTheme(f.workspace);
    fs::create_directories(f.dir / "elsewhere");
    test::WriteBytes(f.dir / "elsewhere" / "keep.txt", {'k'});
    fs::create_directory_symlink(f.dir / "elsewhere", f.workspace.target());
    EXPECT_TRUE(SaveTheme(f.workspace, f.window).complete());
    EXPECT_FALSE(fs::is_symlink(f.workspace.target()));
    EXPECT_TRUE(fs::exists(f.siemens("Menu_Folders.mbm")));
    EXPECT_EQ(test::ReadBytes(f.dir / "elsewhere" / "keep.txt"), std::vector<std::uint8_t>{'k'});
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir / "elsewhere"), fs::directory_iterator()), 1);
#endif
}

} // namespace
} // namespace vexaro
