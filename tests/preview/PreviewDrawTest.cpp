// The source panel and the target preview against pictures composed in plain loops from a
// generated theme.
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <map>
#include <ostream>

#include <gtest/gtest.h>

#include "resize/AverageResize.h"
#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "PreviewExpect.h"
#include "preview/PreviewPictures.h"
#include "RecordingWindow.h"
#include "preview/SourcePanel.h"
#include "preview/TargetPreview.h"
#include "TestSupport.h"
#include "ThemePainter.h"
#include "tool/Workspace.h"

namespace vexaro::test {
namespace {

namespace fs = std::filesystem;

constexpr Rgb kFace{212, 208, 200};
constexpr Rgb kFill{46, 46, 46};
constexpr Rgb kSentinel{1, 2, 3};

Sources SourcesOf(const std::vector<ThemePicture>& theme)
{
    Sources s;
    for (const ThemePicture& p : theme)
        s[p.field] = p.picture;
    return s;
}

// Pictures as a window holds them between redraws, painted with a colour no redraw uses, so
// that a test sees what a redraw touched.
PreviewPictures StalePictures()
{
    PreviewPictures p;
    p.image1.fill(kSentinel);
    p.image2.fill(kSentinel);
    p.menu.fill(kSentinel);
    p.submenu.fill(kSentinel);
    return p;
}

struct Fixture {
    TempDir dir;
    Workspace workspace{dir.path()};
    RecordingWindow window;
    PreviewPictures pictures = StalePictures();
    std::vector<int> positionsAtMessages;

    Fixture()
    {
        window.face = kFace;
        PaintCaptionsLikeTheTestWindow(window);
        window.onProcessMessages = [this] { positionsAtMessages.push_back(window.position); };
    }
    void setFields(const std::array<std::string, kFieldCount>& numbers)
    {
        for (int n = 1; n <= kFieldCount; ++n)
            window.fields[n] = numbers[static_cast<std::size_t>(n - 1)];
    }
    fs::path fileOf(int field) const { return workspace.sourceBitmap(window.fields.at(field)); }
};

void ExpectPanel(const PanelGrids& expected, const PreviewPictures& actual)
{
    EXPECT_EQ(CompareToGrid(expected.screen, actual.image2), "") << "theme screen view";
    EXPECT_EQ(CompareToGrid(expected.menu, actual.menu), "") << "menu icons row";
    EXPECT_EQ(CompareToGrid(expected.submenu, actual.submenu), "") << "second-form icons row";
}

std::vector<int> Steps(int from, int to)
{
    std::vector<int> v;
    for (int p = from; p <= to; p += 5)
        v.push_back(p);
    return v;
}

// --- whole redraws of generated themes ------------------------------------------------------

struct ThemeCase {
    const char* name;
    ThemeOptions options;
};

// ctest lists a parameterised test with its parameter: the case's name, not its bytes.
void PrintTo(const ThemeCase& c, std::ostream* out) { *out << c.name; }

ThemeCase Case(const char* name, unsigned seed, void (*adjust)(ThemeOptions&) = nullptr)
{
    ThemeCase c{name, {}};
    c.options.seed = seed;
    if (adjust != nullptr)
        adjust(c.options);
    return c;
}

std::vector<ThemeCase> ThemeCases()
{
    return {
        Case("DefaultShapes", 1),
        Case("NominalShapes", 7, [](ThemeOptions& o) { o.shapes = NominalThemeShapes(); }),
        Case("OddSizes", 3,
             [](ThemeOptions& o) {
                 o.shapes[0] = {150, 60, PixelFormat::Pal8}; // status area neither 176 wide nor 44 high
                 o.shapes[1] = {200, 100, PixelFormat::Pal4};
                 o.shapes[2] = {190, 26, PixelFormat::Bits24}; // control area cut at row 220 and column 176
                 o.shapes[8] = {90, 60, PixelFormat::Pal8};
                 o.shapes[14] = {70, 70, PixelFormat::Pal1};
             }),
        Case("SomeFilesMissing", 4,
             [](ThemeOptions& o) {
                 o.omit = {2, 5, 9, 12, 15};
             }),
        Case("OtherNumbers", 5,
             [](ThemeOptions& o) {
                 o.numbers[0] = "000";
                 o.numbers[3] = "7";     // not three digits: used as typed
                 o.numbers[10] = " 025"; // a leading blank is kept
             }),
    };
}

class ThemeRedraw : public testing::TestWithParam<ThemeCase> {};

TEST_P(ThemeRedraw, EveryPixelIsTheComposition)
{
    Fixture f;
    const ThemeOptions& options = GetParam().options;
    if (options.numbers[13].find('/') != std::string::npos)
        fs::create_directories(f.workspace.unpacked() / "sub");
    const Sources sources = SourcesOf(PaintTheme(f.workspace, options));
    f.setFields(options.numbers);

    DrawSourcePanel(f.workspace, f.window, f.pictures);

    EXPECT_EQ(CompareToGrid(ExpectedPreview(sources), f.pictures.image1), "") << "preview picture";
    ExpectPanel(ExpectedPanel(sources, kFace), f.pictures);
    EXPECT_EQ(f.positionsAtMessages, Steps(5, 75));
    EXPECT_EQ(f.window.position, 0);
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemeRedraw, testing::ValuesIn(ThemeCases()),
                         [](const testing::TestParamInfo<ThemeCase>& param) { return std::string(param.param.name); });

// The default theme really has the cases the golden comparison is meant to cover; checked on
// single pixels against the source pictures.
TEST(PreviewRedraw, DefaultThemeShowsOverlapsTransparencyAndCutOffs)
{
    Fixture f;
    const Sources s = SourcesOf(PaintTheme(f.workspace));
    DrawSourcePanel(f.workspace, f.window, f.pictures);
    const Bitmap& image1 = f.pictures.image1;

    // Music, first form, 1-bit: its border is white and shows the fill; its navy bottom-left
    // pixel is drawn.
    const Bitmap& music = s.at(6);
    ASSERT_EQ(music.pixel(3, 0), kWhite);
    EXPECT_EQ(image1.pixel(93 + 3, 290), kFill);
    EXPECT_EQ(image1.pixel(93, 290 + 28), music.pixel(0, 28));
    EXPECT_NE(music.pixel(0, 28), kWhite);

    // Organiser, first form, 8-bit: an inner pixel of the repeated background colour (another
    // palette index) shows the fill too.
    const Bitmap& organiser = s.at(5);
    ASSERT_EQ(organiser.index(3, 6), 31u);
    ASSERT_EQ(organiser.pixel(3, 6), organiser.pixel(0, 28));
    EXPECT_EQ(image1.pixel(49 + 3, 290 + 6), kFill);
    // It is 52 wide: its columns 44 to 50 lie under the Music icon, which covers them where it
    // is not white.
    ASSERT_NE(music.pixel(4, 10), kWhite);
    EXPECT_EQ(image1.pixel(93 + 4, 290 + 10), music.pixel(4, 10));
    EXPECT_EQ(f.pictures.menu.pixel(94 + 4, 10), music.pixel(4, 10));
    // ... and where it is white, the Organiser icon shows through.
    ASSERT_EQ(music.pixel(3, 7), kWhite);
    ASSERT_NE(organiser.pixel(44 + 3, 7), organiser.pixel(0, 28));
    EXPECT_EQ(image1.pixel(93 + 3, 290 + 7), organiser.pixel(44 + 3, 7));
    ASSERT_EQ(music.pixel(0, 4), kWhite);
    ASSERT_NE(organiser.pixel(47, 4), organiser.pixel(0, 28));
    EXPECT_EQ(f.pictures.menu.pixel(94, 4), organiser.pixel(47, 4));

    // Games, first form, 36 high: rows 31 to 35 lie under the second-form Games icon, which
    // covers them except on its transparent border row.
    const Bitmap& games = s.at(7);
    const Bitmap& games2 = s.at(13);
    ASSERT_NE(games2.pixel(4, 1), games2.pixel(0, 51));
    ASSERT_NE(games.pixel(4, 32), games.pixel(0, 35));
    EXPECT_EQ(image1.pixel(137 + 4, 321 + 1), games2.pixel(4, 1));
    EXPECT_NE(games2.pixel(4, 1), games.pixel(4, 32));
    ASSERT_EQ(games2.pixel(4, 0), games2.pixel(0, 51));
    EXPECT_EQ(image1.pixel(137 + 4, 321), games.pixel(4, 31));

    // Games, second form, 52 high, reaches row 372: the last caption's cells cover rows 367 on.
    ASSERT_NE(games2.pixel(4, 47), games2.pixel(0, 51));
    ASSERT_NE(games2.pixel(4, 45), games2.pixel(0, 51));
    EXPECT_EQ(image1.pixel(137 + 4, 321 + 47), kFill);
    EXPECT_EQ(image1.pixel(137 + 4, 321 + 45), games2.pixel(4, 45));

    // Setup, first form, 60 wide at x 225 (preview) and 235 (panel): cut at the right edges.
    const Bitmap& setup = s.at(9);
    ASSERT_NE(setup.pixel(54, 4), setup.pixel(0, 32));
    ASSERT_NE(setup.pixel(45, 4), setup.pixel(0, 32));
    EXPECT_EQ(image1.pixel(279, 290 + 4), setup.pixel(54, 4));
    EXPECT_EQ(f.pictures.menu.pixel(280, 4), setup.pixel(45, 4));
}

TEST(PreviewRedraw, PreviewAloneTouchesNothingElse)
{
    Fixture f;
    const Sources sources = SourcesOf(PaintTheme(f.workspace));
    DrawTargetPreview(f.workspace, f.window, f.pictures.image1);

    EXPECT_EQ(CompareToGrid(ExpectedPreview(sources), f.pictures.image1), "");
    EXPECT_TRUE(f.window.progressCalls.empty());
    EXPECT_EQ(f.window.processMessagesCount, 0);
    EXPECT_EQ(CompareToGrid(Grid(176, 220, kSentinel), f.pictures.image2), "");
}

// --- no theme ---------------------------------------------------------------------------------

TEST(PreviewRedraw, WithoutThemeOnlyFaceColourFillAndCaptions)
{
    Fixture f;
    DrawSourcePanel(f.workspace, f.window, f.pictures);

    ExpectPanel(ExpectedPanel({}, kFace), f.pictures);
    EXPECT_EQ(CompareToGrid(ExpectedPreview({}), f.pictures.image1), "");

    std::vector<std::string> progress = {"max 100", "position 0"};
    for (int p : Steps(5, 75))
        progress.push_back("position " + std::to_string(p));
    progress.push_back("position 0");
    EXPECT_EQ(f.window.progressCalls, progress);
    EXPECT_EQ(f.positionsAtMessages, Steps(5, 75));

    // Each field is read once by the preview and once by the panel, in item order.
    std::vector<int> reads;
    for (int pass = 0; pass < 2; ++pass)
        for (int n = 1; n <= 15; ++n)
            reads.push_back(n);
    EXPECT_EQ(f.window.fieldReads, reads);

    // The web address is the build's; with none, its caption is left out.
    struct Expected {
        int x, y;
        std::string text;
    };
    std::vector<Expected> expected = {
        {5, 30, "Image :"},
        {5, 275, "Menu :"},
        {5, 367, "Camera Organ.   Music   Games  Extras  Setup"},
    };
    if (!kWebAddress.empty())
        expected.insert(expected.begin(), {5, 2, "You will visit: " + std::string(kWebAddress)});
    ASSERT_EQ(f.window.captions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const RecordingWindow::Caption& c = f.window.captions[i];
        EXPECT_EQ(c.x, expected[i].x);
        EXPECT_EQ(c.y, expected[i].y);
        EXPECT_EQ(c.text, expected[i].text);
        EXPECT_EQ(c.style.face, "MS Sans Serif");
        EXPECT_EQ(c.style.cellHeight, 15);
        EXPECT_TRUE(c.style.bold);
        EXPECT_EQ(c.style.text, (Rgb{255, 134, 46}));
        EXPECT_EQ(c.style.background, (Rgb{46, 46, 46}));
    }
}

TEST(PreviewRedraw, FaceColourIsReadAtEachRedraw)
{
    Fixture f;
    DrawSourcePanel(f.workspace, f.window, f.pictures);
    f.window.face = Rgb{10, 20, 30};
    DrawSourcePanel(f.workspace, f.window, f.pictures);
    ExpectPanel(ExpectedPanel({}, Rgb{10, 20, 30}), f.pictures);
}

// --- fields and files -------------------------------------------------------------------------

TEST(PreviewRedraw, FieldTextIsUsedAsTyped)
{
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    // "2" names 2.bmp, not 002.bmp; "3" names 3.bmp, which does not exist.
    const Bitmap two = PaintThemeItem(1, {176, 44, PixelFormat::Bits24}, 99);
    SaveBmpFile(two, f.workspace.sourceBitmap("2").string());
    f.window.fields[1] = "2";
    f.window.fields[2] = "3";
    s[1] = two;
    s.erase(2);

    DrawSourcePanel(f.workspace, f.window, f.pictures);
    EXPECT_EQ(CompareToGrid(ExpectedPreview(s), f.pictures.image1), "");
    ExpectPanel(ExpectedPanel(s, kFace), f.pictures);
}

TEST(PreviewRedraw, FieldsAreReadWhenTheirItemIsDrawn)
{
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    const Bitmap other = PaintThemeItem(4, {30, 20, PixelFormat::Bits24}, 42);
    SaveBmpFile(other, f.workspace.sourceBitmap("900").string());
    // The user types another number while the panel redraw lets messages run after item 3.
    f.window.onProcessMessages = [&] {
        if (f.window.position == 15)
            f.window.fields[4] = "900";
    };
    DrawSourcePanel(f.workspace, f.window, f.pictures);

    EXPECT_EQ(CompareToGrid(ExpectedPreview(s), f.pictures.image1), "") << "the preview drew the old number";
    s[4] = other;
    ExpectPanel(ExpectedPanel(s, kFace), f.pictures);
}

TEST(PreviewRedraw, EmptyFilesDrawNothingOrGoThroughTheResize)
{
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    // A main area of length zero after a present status area: the resize target keeps the
    // status area's 50 rows on top and is white below. An empty control area and icon draw
    // nothing.
    for (int field : {2, 3, 8, 13}) {
        WriteBytes(f.fileOf(field), {});
        s[field] = Bitmap();
    }
    DrawSourcePanel(f.workspace, f.window, f.pictures);
    EXPECT_EQ(CompareToGrid(ExpectedPreview(s), f.pictures.image1), "");
    ExpectPanel(ExpectedPanel(s, kFace), f.pictures);

    Bitmap statusResized;
    AverageResize(s.at(1), statusResized, 176, 50);
    EXPECT_EQ(f.pictures.image2.pixel(10, 50 + 20), statusResized.pixel(10, 20));
    EXPECT_EQ(f.pictures.image2.pixel(10, 50 + 120), kWhite);
    EXPECT_EQ(f.pictures.image2.pixel(10, 205), kFace);
}

TEST(PreviewRedraw, EmptyStatusAreaIsWhite)
{
    Fixture f;
    PaintTheme(f.workspace, ThemeOptions{.omit = {2}});
    WriteBytes(f.fileOf(1), {});
    DrawSourcePanel(f.workspace, f.window, f.pictures);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 176; ++x) {
            ASSERT_EQ(f.pictures.image2.pixel(x, y), kWhite) << x << "," << y;
            ASSERT_EQ(f.pictures.image1.pixel(5 + x, 45 + y), kWhite) << x << "," << y;
        }
    EXPECT_EQ(f.pictures.image2.pixel(0, 50), kFace);
}

// A field names a file directly in the unpacked folder, nothing else: a path (absolute, rooted,
// with a drive or "..") reaches no file outside it, and a folder, or a text too long for a file
// name, is a missing bitmap, never an error.
TEST(PreviewRedraw, TextsThatNameNoFileThereAreMissingBitmaps)
{
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    const Bitmap outside = PaintThemeItem(4, {44, 29, PixelFormat::Bits24}, 5);
    SaveBmpFile(outside, (f.workspace.folder() / "outside.bmp").string());
    fs::remove(f.fileOf(6));
    fs::create_directories(f.fileOf(6)); // a folder named "133.bmp"
    const std::string absolute = (f.workspace.folder() / "outside").string();
    const std::map<int, std::string> texts = {{4, absolute},      {5, "../../outside"}, {7, "..\\..\\outside"},
                                              {8, "C:\\outside"}, {9, "\\outside"},     {10, std::string(300, '1')}};
    for (const auto& [field, text] : texts) {
        f.window.fields[field] = text;
        s.erase(field);
    }
    s.erase(6);
    DrawSourcePanel(f.workspace, f.window, f.pictures);
    EXPECT_EQ(CompareToGrid(ExpectedPreview(s), f.pictures.image1), "");
    ExpectPanel(ExpectedPanel(s, kFace), f.pictures);
}

// --- files that cannot be read ----------------------------------------------------------------

std::vector<std::uint8_t> DamagedBytes(int field)
{
    if (field % 2 == 0)
        return {'X', 'Y', 'Z', 'W', 0, 1, 2, 3};           // does not begin with "BM"
    std::vector<std::uint8_t> b = {'B', 'M', 40, 0, 0, 0}; // "BM", then a header cut short
    b.resize(20, 0);
    return b;
}

class DamagedFile : public testing::TestWithParam<int> {};

TEST_P(DamagedFile, EndsThePreviewAtThatItem)
{
    const int field = GetParam();
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    WriteBytes(f.fileOf(field), DamagedBytes(field));

    try {
        DrawTargetPreview(f.workspace, f.window, f.pictures.image1);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Bitmap image is not valid");
    }
    EXPECT_EQ(CompareToGrid(ExpectedPreview(s, field), f.pictures.image1), "");
}

TEST_P(DamagedFile, InThePreviewLeavesThePanelAndProgressUntouched)
{
    const int field = GetParam();
    Fixture f;
    PaintTheme(f.workspace);
    WriteBytes(f.fileOf(field), DamagedBytes(field));

    EXPECT_THROW(DrawSourcePanel(f.workspace, f.window, f.pictures), Error);
    EXPECT_TRUE(f.window.progressCalls.empty());
    EXPECT_EQ(f.window.processMessagesCount, 0);
    EXPECT_EQ(CompareToGrid(Grid(176, 220, kSentinel), f.pictures.image2), "");
    EXPECT_EQ(CompareToGrid(Grid(281, 29, kSentinel), f.pictures.menu), "");
}

INSTANTIATE_TEST_SUITE_P(Fields, DamagedFile, testing::Values(1, 2, 3, 4, 6, 9, 10, 13, 15),
                         [](const testing::TestParamInfo<int>& p) { return "Edit" + std::to_string(p.param); });

// The preview reads sound files; the file goes bad while the panel lets messages run after its
// first item, so the panel meets it at its own item.
class DamagedDuringPanel : public testing::TestWithParam<int> {};

TEST_P(DamagedDuringPanel, EndsThePanelAtThatItem)
{
    const int field = GetParam();
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    f.window.onProcessMessages = [&] {
        f.positionsAtMessages.push_back(f.window.position);
        if (f.positionsAtMessages.size() == 1)
            WriteBytes(f.fileOf(field), DamagedBytes(field));
    };

    try {
        DrawSourcePanel(f.workspace, f.window, f.pictures);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Bitmap image is not valid");
    }
    EXPECT_EQ(CompareToGrid(ExpectedPreview(s), f.pictures.image1), "");
    ExpectPanel(ExpectedPanel(s, kFace, field), f.pictures);
    EXPECT_EQ(f.positionsAtMessages, Steps(5, 5 * (field - 1)));
    EXPECT_EQ(f.window.position, 5 * (field - 1)) << "the progress bar stays where it was";
    EXPECT_NE(f.window.progressCalls.back(), "position 0");
}

INSTANTIATE_TEST_SUITE_P(Fields, DamagedDuringPanel, testing::Values(2, 3, 4, 6, 9, 10, 13, 15),
                         [](const testing::TestParamInfo<int>& p) { return "Edit" + std::to_string(p.param); });

TEST(PreviewRedraw, FileThatCannotBeOpenedNamesPathAndReason)
{
    Fixture f;
    Sources s = SourcesOf(PaintTheme(f.workspace));
    const fs::path loop = f.fileOf(6);
#ifdef _WIN32
    // Held open with no sharing: there, but it cannot be opened.
    const test::HeldFile held(loop);
    const int reason = EACCES;
#else
    fs::remove(loop);
    fs::create_symlink(loop.filename(), loop); // a link to itself: there, but it cannot be opened
    const int reason = ELOOP;
#endif

    try {
        DrawSourcePanel(f.workspace, f.window, f.pictures);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + loop.string() + "\". " + SystemReason(reason));
    }
    EXPECT_EQ(CompareToGrid(ExpectedPreview(s, 6), f.pictures.image1), "");
}

TEST(PreviewRedraw, UnreadableFileNamesPathAndReason)
{
    Fixture f;
    PaintTheme(f.workspace);
    const fs::path path = f.fileOf(2);
#ifdef _WIN32
    // Read permission cannot be taken away here; a file open elsewhere, shared with nobody,
    // cannot be read either.
    const test::HeldFile held(path);
#else
    fs::permissions(path, fs::perms::none);
    if (std::FILE* probe = std::fopen(path.string().c_str(), "rb")) {
        std::fclose(probe);
        GTEST_SKIP() << "running with rights that read any file (root): no unreadable file possible";
    }
#endif
    try {
        DrawTargetPreview(f.workspace, f.window, f.pictures.image1);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path.string() + "\". " + SystemReason(EACCES));
    }
}

} // namespace
} // namespace vexaro::test
