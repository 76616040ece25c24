// The command line's layer in process: field overrides, type choice, theme folders, how a save is
// judged, one theme's conversion, the batch, its report, and info.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "MiniJson.h"
#include "base/Error.h"
#include "cli/Batch.h"
#include "cli/BatchReport.h"
#include "cli/CliCommands.h"
#include "cli/StandardInput.h"
#include "cli/ThemeSheet.h"
#include "import/ThemeInfo.h"
#include "cli/Wildcards.h"
#include "import/ThemeInspect.h"
#include "CliRun.h"
#include "PackageBuilder.h"
#include "preview/PreviewExport.h"
#include "TestSupport.h"
#include "ThemeFixtures.h"
#include "ThemePainter.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace vexaro::cli {
namespace {

namespace fs = std::filesystem;

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(FieldOverrides, ReadNumberAndText)
{
    EXPECT_EQ(ParseFieldOverride("2=005"), (FieldOverride{2, "005"}));
    EXPECT_EQ(ParseFieldOverride("15="), (FieldOverride{15, ""}));
    EXPECT_EQ(ParseFieldOverride("07=a=b"), (FieldOverride{7, "a=b"}));
    for (const char* bad : {"0=1", "16=1", "x=1", "2", "=3", "-1=2", "123=4"})
        EXPECT_EQ(ErrorOf([&] { ParseFieldOverride(bad); }),
                  std::string("--set needs N=TEXT with N from 1 to 15: \"") + bad + "\"");
}

TEST(FieldOverrides, SettingsThenOverridesOverDefaults)
{
    test::TempDir folder;
    EXPECT_EQ(LoadFieldTexts(folder.path(), {})[1], "003"); // no Settings.ini: the defaults
    std::ofstream(folder / "Settings.ini", std::ios::binary) << "[files]\r\n2=005\r\n4= 166 \r\n";
    const FieldTexts texts = LoadFieldTexts(folder.path(), {{4, "170"}, {9, "x"}});
    EXPECT_EQ(texts[0], "002");
    EXPECT_EQ(texts[1], "005");
    EXPECT_EQ(texts[3], "170");
    EXPECT_EQ(texts[8], "x");
}

TEST(Types, FromOptionOrExtension)
{
    EXPECT_EQ(ThemeTypeOf("a/Theme.SIS", ""), ThemeFileType::Package);
    EXPECT_EQ(ThemeTypeOf("t.mbm", ""), ThemeFileType::MultiBitmap);
    EXPECT_EQ(ThemeTypeOf("t.mbm", "sis"), ThemeFileType::Package);
    EXPECT_EQ(ThemeTypeOf("noext", "mbm"), ThemeFileType::MultiBitmap);
    EXPECT_EQ(ErrorOf([] { ThemeTypeOf("x.zip", ""); }),
              "Cannot tell the type of \"x.zip\" from its name: give --type sis or --type mbm");
    EXPECT_EQ(PreviewTypeOf("p.JPEG", ""), PreviewFileType::Jpeg);
    EXPECT_EQ(PreviewTypeOf("p.bmp", ""), PreviewFileType::Bmp);
    EXPECT_EQ(PreviewTypeOf("p.png", "bmp"), PreviewFileType::Bmp);
    EXPECT_NE(ErrorOf([] { PreviewTypeOf("p.png", ""); }), "");
}

// A theme on standard input is a multi-bitmap file when it starts as one (a file store or a ROM
// image), else a package, unless --type says; nothing at all is refused.
TEST(Types, OfStandardInputFromItsFirstBytes)
{
    const std::vector<std::tuple<std::vector<std::uint8_t>, std::string, ThemeFileType>> cases{
        {{0x37, 0, 0, 0x10, 0x42}, "", ThemeFileType::MultiBitmap},
        {{0x41, 0, 0, 0x10}, "", ThemeFileType::MultiBitmap},
        {{0x41, 0, 0}, "", ThemeFileType::Package},
        {{0x19, 0x04, 0, 0x10}, "", ThemeFileType::Package},
        {{0x37, 0, 0, 0x10}, "sis", ThemeFileType::Package},
        {{0x19, 0x04, 0, 0x10}, "mbm", ThemeFileType::MultiBitmap},
    };
    for (const auto& [bytes, option, type] : cases) {
        std::FILE* in = std::tmpfile();
        ASSERT_NE(in, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), in);
        std::rewind(in);
        const InputTheme theme = ReadInputTheme(in, option);
        std::fclose(in);
        EXPECT_EQ(theme.type, type) << int(bytes[0]) << " " << option;
        EXPECT_EQ(theme.bytes, bytes);
    }
    std::FILE* empty = std::tmpfile();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(ErrorOf([&] { ReadInputTheme(empty, ""); }),
              "Standard input holds no theme: give a package or a multi-bitmap file");
    std::fclose(empty);
}

TEST(ThemeFolders, NamedAfterTheThemesWithoutClashes)
{
    const auto folders = ThemeFolders(
        {"a/Blue.sis", "b/blue.mbm", "c/Blue-2.sis", "Red.sis", "d/BLUE.sis", "INDEX.html.sis", "-"}, "out");
    const std::vector<fs::path> expected{"out/Blue",   "out/blue-2",       "out/Blue-2-2", "out/Red",
                                         "out/BLUE-3", "out/INDEX.html-2", "out/stdin"};
    EXPECT_EQ(folders, expected);
}

TEST(Wildcards, MatchLikeWindows)
{
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"Theme.sis", "*.sis", true},
        {"THEME.SIS", "*.sis", true},
        {"Theme.sisx", "*.sis", false},
        {"Theme.mbm", "*.sis", false},
        {"Тема.sis", "????.sis", true},
        {"主题.sis", "??.sis", true},
        {"主题.sis", "?.sis", false},
        {"Θέμα2.mbm", "Θέμα?.*", true},
        {"a.b.sis", "*.*.sis", true},
        {"Theme.sis", "T*e*.s?s", true},
        {"", "*", true},
        {"x", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " against " << c.pattern;
}

TEST(Wildcards, ExpandToTheMatchingFilesInOrder)
{
    test::TempDir t;
    fs::create_directories(t / "in");
    for (const char* name : {"Тема.sis", "Café.sis", "主题.sis", "notes.txt"})
        test::WriteBytes(t / "in" / PathFromUtf8(name), {});
    fs::create_directories(t / "in" / "folder.sis");
    const std::string in = (t / "in").string() + "/";
    EXPECT_EQ(ExpandWildcards({in + "*.sis", "plain.sis", in + "*.mbm"}),
              (std::vector<std::string>{in + "Café.sis", in + "Тема.sis", in + "主题.sis", "plain.sis", in + "*.mbm"}));
}

// A commands' seam: each target file with the fields it lacked.
SaveOutcome Saved(std::array<bool, 3> built, std::array<std::vector<MissingBitmap>, 3> missing)
{
    SaveOutcome save;
    for (std::size_t i = 0; i < 3; ++i)
        save.targets[i] = TargetOutcome{kSiemensFileNames[i], built[i], missing[i], built[i] ? "" : "bmconv said no"};
    return save;
}

TEST(JudgeSave, ConvertedPartialOrFailed)
{
    std::vector<MissingBitmap> icons;
    for (int field = 4; field <= 15; ++field)
        icons.push_back({field, FieldDefault(field)});
    const std::vector<MissingBitmap> main{{2, "003"}}, status{{1, "002"}, {2, "003"}};
    struct Case {
        SaveOutcome save;
        ThemeStatus status;
        std::string firstProblem;
    };
    const std::vector<Case> cases{
        {Saved({true, true, true}, {}), ThemeStatus::Converted, ""},
        {Saved({true, true, false}, {{{}, {}, {{4, "165"}, {9, ""}}}}), ThemeStatus::Partial,
         "Menu_Folders.mbm: no bitmap 165 (field 4); field 9 is empty"},
        {Saved({true, true, true}, {{main, {}, {}}}), ThemeStatus::Partial,
         "Backgroundimage.mbm: no bitmap 003 (field 2)"},
        {Saved({true, false, true}, {}), ThemeStatus::Failed, "EidPic.mbm: not built: bmconv said no"},
        {Saved({false, false, false}, {{main, status, icons}}), ThemeStatus::Failed,
         "No bitmap number field names a bitmap of this theme"},
        {Saved({true, true, false}, {{main, status, icons}}), ThemeStatus::Failed,
         "No bitmap number field names a bitmap of this theme"},
    };
    for (const Case& c : cases) {
        const ThemeOutcome outcome = JudgeSave(c.save);
        EXPECT_EQ(outcome.status, c.status) << c.firstProblem;
        EXPECT_EQ(outcome.problems.empty() ? "" : outcome.problems.front(), c.firstProblem);
    }
}

// A theme lacking default numbers and with a bitmap that cannot be unpacked gets the two Siemens
// files that could be built and its preview; what else is in its folder stays, except a file of
// its own names that it did not make this time. A later failure in the same folder leaves
// nothing of it and still nothing else touched.
TEST(ConvertThemeFile, WritesOnlyItsOwnFiles)
{
    test::TempDir t;
    test::WriteBytes(t / "Unusual.mbm", test::UnusualTheme());
    const FieldTexts fields = LoadFieldTexts(t.path(), {{9, ""}});
    const fs::path folder = t / "out" / "Unusual";
    const std::set<std::string> users{"Nokia/MBM/000.bmp", "Siemens/notes.txt", "bmconv.exe"};
    for (const std::string& name : users)
        fs::create_directories((folder / name).parent_path());
    for (const char* name : {"Nokia/MBM/000.bmp", "Siemens/notes.txt", "bmconv.exe", "Siemens/Menu_Folders.mbm"})
        test::WriteBytes(folder / name, test::Bytes("earlier"));

    const ThemeOutcome outcome = ConvertThemeFile((t / "Unusual.mbm").string(), "", folder, fields);
    EXPECT_EQ(outcome.status, ThemeStatus::Partial);
    EXPECT_EQ(outcome.built, (std::array<bool, 3>{true, true, false}));
    EXPECT_TRUE(outcome.preview);
    ASSERT_GE(outcome.problems.size(), 2u);
    EXPECT_EQ(outcome.problems.front(), "1 of 166 bitmaps could not be unpacked: 133");
    EXPECT_EQ(outcome.problems.back(), "Menu_Folders.mbm: no bitmap 133 (field 6), 167 (field 10); field 9 is empty");
    std::set<std::string> expected = users;
    expected.insert({"Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "preview.jpg"});
    EXPECT_EQ(test::FilesUnder(folder), expected);
    EXPECT_EQ(test::ReadBytes(folder / "bmconv.exe"), test::Bytes("earlier"));

    const ThemeOutcome failed = ConvertThemeFile((t / "missing.mbm").string(), "", folder, fields);
    EXPECT_EQ(failed.status, ThemeStatus::Failed);
    EXPECT_FALSE(failed.preview);
    EXPECT_EQ(test::FilesUnder(folder), users);
    EXPECT_FALSE(ConvertThemeFile((t / "missing.mbm").string(), "", t / "out" / "New", fields).preview);
    EXPECT_FALSE(fs::exists(t / "out" / "New"));
}

std::vector<BatchTheme> Themes(const std::vector<std::string>& names)
{
    std::vector<BatchTheme> themes;
    for (const std::string& name : names)
        themes.push_back({name + ".sis", "/in/" + name + ".sis", fs::path("out") / name, fs::path("/out") / name});
    return themes;
}

// The batch with a runner of its own: every theme once, outcomes and summary lines in theme
// order whatever order they end in, a runner's exception a failure, the progress line only
// where asked for.
TEST(Batch, RunsEveryThemeAndTallies)
{
    const auto themes = Themes({"A", "B", "C", "D", "E"});
    std::mutex mutex;
    std::multiset<std::string> seen;
    std::atomic<bool> laterEnded{false};
    const ThemeRunner runner = [&](const BatchTheme& theme) {
        {
            const std::lock_guard lock(mutex);
            seen.insert(theme.file);
        }
        // The first theme ends after a later one.
        while (theme.file == "A.sis" && !laterEnded)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (theme.file == "D.sis")
            laterEnded = true;
        ThemeOutcome outcome;
        if (theme.file == "C.sis")
            throw Error("cannot read C");
        outcome.status = theme.file == "B.sis" ? ThemeStatus::Partial : ThemeStatus::Converted;
        outcome.built = {true, true, theme.file != "B.sis"};
        outcome.preview = true;
        if (theme.file == "B.sis")
            outcome.problems = {"Menu_Folders.mbm: no bitmap 165 (field 4)"};
        return outcome;
    };
    std::ostringstream out, err, progress;
    const auto outcomes = RunBatch(themes, 3, runner, BatchStreams{out, err, &progress});
    EXPECT_EQ(seen, (std::multiset<std::string>{"A.sis", "B.sis", "C.sis", "D.sis", "E.sis"}));
    ASSERT_EQ(outcomes.size(), 5u);
    EXPECT_EQ(outcomes[1].status, ThemeStatus::Partial);
    EXPECT_EQ(outcomes[2].status, ThemeStatus::Failed);
    EXPECT_EQ(outcomes[3].status, ThemeStatus::Converted);
    const std::vector<std::string> lines = test::Lines(out.str());
    ASSERT_EQ(lines.size(), 5u);
    const std::string siemens = NativePath("Siemens\\").string();
    EXPECT_TRUE(lines[0].starts_with("converted A.sis -> ")) << out.str();
    EXPECT_EQ(lines[1], "partial   B.sis -> " + (fs::path("out") / "B").string() + ": " + siemens +
                            "Backgroundimage.mbm " + siemens +
                            "EidPic.mbm preview.jpg; Menu_Folders.mbm: no bitmap 165 (field 4)");
    EXPECT_EQ(lines[2], "failed    C.sis");
    EXPECT_TRUE(lines[4].starts_with("converted E.sis -> ")) << out.str();
    EXPECT_EQ(err.str(), "C.sis: cannot read C\n");
    EXPECT_EQ(TallyLine(outcomes, "out"), "3 of 5 themes converted into out, 1 partial, 1 failed");
    EXPECT_EQ(BatchStatus(outcomes), kExitFailed);
    EXPECT_NE(progress.str().find("] 5/5 "), std::string::npos) << progress.str();
    EXPECT_EQ(progress.str().back(), '\r'); // the line is cleared at the end
}

TEST(Batch, StatusAndProgressText)
{
    auto with = [](std::vector<ThemeStatus> statuses) {
        std::vector<ThemeOutcome> outcomes(statuses.size());
        for (std::size_t i = 0; i < statuses.size(); ++i)
            outcomes[i].status = statuses[i];
        return BatchStatus(outcomes);
    };
    EXPECT_EQ(with({ThemeStatus::Converted, ThemeStatus::Converted}), kExitDone);
    EXPECT_EQ(with({ThemeStatus::Converted, ThemeStatus::Partial}), kExitPartial);
    EXPECT_EQ(with({ThemeStatus::Partial, ThemeStatus::Failed, ThemeStatus::Converted}), kExitFailed);
    EXPECT_EQ(ProgressText(3, 12, 75, "Blue.sis"), "[#####...............] 3/12 1:15 Blue.sis");
    EXPECT_EQ(ProgressText(3, 12, 75, "\x1B]0;x\a.sis"), "[#####...............] 3/12 1:15 \\x1B]0;x\\x07.sis");
    EXPECT_EQ(ProgressText(0, 1, 0, std::string(100, 'x')).size(), 79u);
    // A long name is cut between characters, not inside one.
    std::string chinese;
    for (int i = 0; i < 30; ++i)
        chinese += "主";
    EXPECT_EQ(ProgressText(0, 1, 0, chinese), "[....................] 0/1 0:00 " + chinese.substr(0, 14 * 3) + "...");
}

// Names from outside are escaped, links are relative to the page and percent-encoded, and a
// theme that failed shows no picture and no links.
TEST(BatchReport, EscapesNamesAndLinksRelatively)
{
    const fs::path root = fs::absolute("reports");
    const std::vector<BatchTheme> themes{
        {"<b>&'x\".sis", "/in/x.sis", "out/x", root / "My Theme#1"},
        {"Bad.sis", "/in/Bad.sis", "out/Bad", root / "Bad"},
    };
    std::vector<ThemeOutcome> outcomes(2);
    outcomes[0].status = ThemeStatus::Partial;
    outcomes[0].built = {true, true, false};
    outcomes[0].preview = true;
    outcomes[0].problems = {"Menu_Folders.mbm: no bitmap <165>"};
    const std::string html = BatchReportHtml(root / "index.html", themes, outcomes);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(html.find("<165>"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;&amp;&#39;x&quot;.sis"), std::string::npos);
    EXPECT_NE(html.find("<img src=\"My%20Theme%231/preview.jpg\""), std::string::npos) << html;
    EXPECT_NE(html.find("href=\"My%20Theme%231/Siemens/EidPic.mbm\""), std::string::npos);
    EXPECT_EQ(html.find("href=\"My%20Theme%231/Siemens/Menu_Folders.mbm\""), std::string::npos);
    EXPECT_EQ(html.find("href=\"Bad/"), std::string::npos);
    EXPECT_NE(html.find("no preview"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(RelativeLink(root / "a", root / "b" / "c d.jpg"), "../b/c%20d.jpg");
}

// The title counts what the cards show; a theme that lacked bitmaps suggests numbers to try; a
// failed theme links nothing as built, though its summary line names the folder it left; each
// sheet is folded into its card.
TEST(BatchReport, CountsSuggestionsAndSheets)
{
    const fs::path root = fs::absolute("reports");
    std::vector<BatchTheme> themes;
    for (const char* name : {"A", "B", "C", "D"})
        themes.push_back({std::string(name) + ".sis", "", fs::path("out") / name, root / name});
    std::vector<ThemeOutcome> outcomes(4);
    outcomes[0] = {ThemeStatus::Converted, {true, true, true}, true, {}, false, "", {}};
    outcomes[1] = {ThemeStatus::Partial, {true, true, false}, true, {"no 165"}, true, "--set 4=140 --set 10=150", {}};
    outcomes[2] = {ThemeStatus::Partial, {true, true, false}, true, {"no 165"}, true, "", {}};
    outcomes[3] = {ThemeStatus::Failed, {true, false, false}, true, {"bad"}, true, "", {}};
    const std::string html = BatchReportHtml(root / "index.html", themes, outcomes);
    EXPECT_NE(html.find("<title>Vexaro: 1 of 4 themes converted, 2 partial, 1 failed</title>"), std::string::npos);
    std::vector<std::string> cards;
    for (std::size_t at = html.find("<div class=\"card "); at != std::string::npos;) {
        const std::size_t next = html.find("<div class=\"card ", at + 1);
        cards.push_back(html.substr(at, next - at));
        at = next;
    }
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(cards[0].find("<details>"), std::string::npos);
    EXPECT_NE(cards[1].find("<span>--set 4=140</span> <span>--set 10=150</span>"), std::string::npos) << cards[1];
    EXPECT_NE(cards[1].find("<details><summary>"), std::string::npos);
    EXPECT_NE(cards[1].find("<img src=\"B/sheet.jpg\""), std::string::npos);
    EXPECT_NE(cards[2].find("No other bitmaps"), std::string::npos);
    EXPECT_EQ(cards[3].find("Backgroundimage.mbm"), std::string::npos);
    EXPECT_NE(cards[3].find("D/sheet.jpg"), std::string::npos);
    const std::string out = (fs::path("out") / "D").string();
    EXPECT_EQ(SummaryLine(themes[3], outcomes[3]), "failed    D.sis -> " + out + ": " +
                                                       NativePath("Siemens\\Backgroundimage.mbm").string() +
                                                       " preview.jpg sheet.jpg");
    EXPECT_EQ(SummaryLine(themes[3], ThemeOutcome{}), "failed    D.sis");
}

// The candidates of each field: the areas by their sizes, the icons by the size of the theme's
// other icons of their form; the --set line takes the best of each.
TEST(ThemeInfo, SizesAndFittingNumbers)
{
    FieldTexts fields = LoadFieldTexts(fs::path("no-such-folder"), {{9, "abc"}});
    const ThemeFacts facts = DescribeTheme({"Unusual.mbm", test::UnusualTheme()}, fields);
    ASSERT_EQ(facts.bitmaps.size(), 166u);
    EXPECT_EQ(facts.bitmaps[3].width, 176);
    EXPECT_EQ(facts.bitmaps[3].height, 208);
    EXPECT_EQ(facts.bitmaps[3].bitsPerPixel, 24);
    EXPECT_NE(facts.bitmaps[133].fault, "");
    struct Row {
        int field;
        int bitmap;
        bool exists, fits;
        std::vector<int> best; // the first candidates
    };
    const std::vector<Row> rows{
        {1, 2, true, true, {2}},
        {2, 3, true, false, {10, 3}},
        {3, 4, true, true, {4}},
        {4, 165, true, true, {73, 140, 165}},
        {6, 133, false, false, {73, 140, 150}},
        {9, -1, false, false, {73, 140, 150}},
        {10, 167, false, false, {150}},
        {11, 25, true, true, {25, 150}},
    };
    for (const Row& r : rows) {
        const FieldFacts& f = facts.fields[static_cast<std::size_t>(r.field - 1)];
        EXPECT_EQ(f.bitmap, r.bitmap) << "field " << r.field;
        EXPECT_EQ(f.exists, r.exists) << "field " << r.field;
        EXPECT_EQ(f.fits, r.fits) << "field " << r.field;
        ASSERT_GE(f.candidates.size(), r.best.size()) << "field " << r.field;
        EXPECT_TRUE(std::equal(r.best.begin(), r.best.end(), f.candidates.begin())) << "field " << r.field;
    }
    // Field 9 names no bitmap, so its 073 is free for another field.
    EXPECT_EQ(facts.setLine, "--set 2=010 --set 6=073 --set 9=140 --set 10=150");
    EXPECT_NE(FactsText(facts).find("\n--set 2=010 --set 6=073 --set 9=140 --set 10=150\n"), std::string::npos);
}

TEST(ThemeInfo, JsonOfAPackage)
{
    test::TempDir t;
    test::PackageBuilder builder;
    builder.addFile("C:\\t\\skin.mbm", test::UnusualTheme());
    test::WriteBytes(t / "Unusual.sis", builder.bytes());
    const ThemeFacts facts =
        InspectThemeFile((t / "Unusual.sis").string(), ThemeFileType::Package, LoadFieldTexts(t.path(), {{5, "x\"y"}}));
    const test::Json json = test::Json::Parse(FactsJson(facts));
    EXPECT_EQ(json["format"].integer(), 1);
    ASSERT_EQ(json["bitmaps"].array().size(), 166u);
    EXPECT_EQ(json["bitmaps"][3]["width"].integer(), 176);
    EXPECT_EQ(json["bitmaps"][3]["bpp"].integer(), 24);
    ASSERT_EQ(json["fields"].array().size(), 15u);
    const test::Json& main = json["fields"][1];
    EXPECT_EQ(main["text"].str(), "003");
    EXPECT_TRUE(main["exists"].boolean());
    EXPECT_FALSE(main["fits"].boolean());
    EXPECT_EQ(main["expected"]["height"].integer(), 144);
    EXPECT_EQ(main["suggestions"][0].integer(), 10);
    EXPECT_EQ(main["candidates"][0]["number"].integer(), 10);
    EXPECT_EQ(main["candidates"][0]["height"].integer(), 144);
    EXPECT_EQ(json["fields"][4]["text"].str(), "x\"y");
    EXPECT_FALSE(json["fields"][4].has("text_hex"));
    EXPECT_TRUE(json["fields"][4]["bitmap"].isNull());
    EXPECT_FALSE(json["fields"][3].has("expected"));
    EXPECT_EQ(json["set"].str(), facts.setLine);

    // Names and texts that are no UTF-8 (a Windows-1252 Settings.ini) stay valid JSON, with their bytes.
    const ThemeFacts latin =
        DescribeTheme({"Caf\xE9.mbm", test::PaintMbm(2)}, LoadFieldTexts(t.path(), {{5, "\xE9t\xE9\x01"}}));
    const test::Json strict = test::Json::Parse(FactsJson(latin));
    EXPECT_EQ(strict["file"].str(), "Caf\uFFFD.mbm");
    EXPECT_EQ(strict["file_hex"].str(), "436166e92e6d626d");
    EXPECT_EQ(strict["fields"][4]["text"].str(), "\uFFFDt\uFFFD\x01");
    EXPECT_EQ(strict["fields"][4]["text_hex"].str(), "e974e901");

    test::WriteBytes(t / "empty.sis", test::PackageBuilder().addFile("C:\\t\\readme.txt", test::Bytes("hi")).bytes());
    EXPECT_EQ(ErrorOf([&] { InspectThemeFile((t / "empty.sis").string(), ThemeFileType::Package, {}); }),
              "\"empty.sis\" holds no theme bitmaps\nIt has no multi-bitmap (.mbm) file");
}

// Every bitmap on one picture, masks in red, and no larger for a theme of more bitmaps than the
// unpacking writes.
TEST(ThemeInfo, ContactSheet)
{
    auto sheet = [](const std::vector<std::uint8_t>& mbm) {
        const ThemeBytes theme{"T.mbm", mbm};
        return ThemeSheet(theme, DescribeTheme(theme, LoadFieldTexts("no-such-folder", {})));
    };
    auto reds = [](const Bitmap& b) {
        int count = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                count += b.pixel(x, y).r > 200 && b.pixel(x, y).g < 100 && b.pixel(x, y).b < 100;
        return count;
    };
    EXPECT_EQ(reds(sheet(test::PaintMbm(2))), 0);
    EXPECT_GT(reds(sheet(test::PaintMbm(2, {{1, {8, 6, test::MbmPaint::Mask}}}))), 0);
    EXPECT_GT(reds(sheet(test::PaintMbm(2, {{1, {8, 6, test::MbmPaint::ColourMask}}}))), 0);
    const Bitmap thousand = sheet(test::PaintMbm(1000));
    EXPECT_LE(static_cast<long>(thousand.width()) * thousand.height(), 9l << 20);
    const Bitmap more = sheet(test::PaintMbm(1100));
    EXPECT_EQ(more.width(), thousand.width());
    EXPECT_EQ(more.height(), thousand.height());
}

} // namespace
} // namespace vexaro::cli
