// The built vexaro-cli run as a process: whole conversions compared byte for byte with the core
// commands run here, the workspace commands, the bitmap number settings, and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "MiniJson.h"
#include "base/Error.h"
#include "bitmap/BmpCodec.h"
#include "CliRun.h"
#include "tool/Workspace.h"
#include "PackageBuilder.h"
#include "ProcessRunner.h"
#include "TestSupport.h"
#include "ThemeFixtures.h"
#include "ThemePainter.h"

#ifdef __linux__
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#endif

namespace vexaro::test {
namespace {

namespace fs = std::filesystem;

const std::string kSample = VEXARO_SAMPLE_THEME;

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

bool HasLineStarting(const std::string& text, const std::string& prefix)
{
    const auto lines = Lines(text);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return StartsWith(l, prefix); });
}

void ExpectSameFiles(const fs::path& cli, const fs::path& core, const std::string& what)
{
    const auto a = ConversionFiles(cli), b = ConversionFiles(core);
    ASSERT_EQ(a.size(), 4u) << what << ": the command line left " << a.size() << " of the four files";
    ASSERT_EQ(b.size(), 4u) << what;
    for (const auto& [name, bytes] : b)
        EXPECT_TRUE(a.at(name) == bytes) << what << ": " << name << " differs";
}

// Every theme that the core commands convert, the command line converts to the same bytes; of
// the others it keeps the same files the core built and calls them partial, or failed when
// nothing usable came out. Several themes run at once in copies of the program.
TEST(ConvertProcess, SameFilesAsTheCoreCommands)
{
    VEXARO_REQUIRE_CORPUS();
    TempDir t;
    std::vector<std::string> files{kSample};
    for (const auto& entry : fs::directory_iterator(CorpusDir() / "sis"))
        if (entry.path().extension() == ".sis")
            files.push_back(entry.path().string());
    std::sort(files.begin() + 1, files.end());

    std::vector<std::string> args{"--workspace", t.str(), "convert", "--out", (t / "cli").string(), "--jobs", "2"};
    args.insert(args.end(), files.begin(), files.end());
    const CliResult run = RunCli(args, t.path());

    int converted = 0, partial = 0, failed = 0;
    for (const std::string& file : files) {
        const std::string stem = fs::path(file).stem().string();
        const std::string message = CoreConversion(file, true, t / "core" / stem);
        if (message.empty()) {
            ++converted;
            EXPECT_TRUE(HasLineStarting(run.out, "converted " + file + " -> ")) << file << "\n" << run.out;
            ExpectSameFiles(t / "cli" / stem, t / "core" / stem, stem);
        } else if (HasLineStarting(run.out, "partial   " + file + " -> ")) {
            ++partial;
            EXPECT_EQ(ConversionFiles(t / "cli" / stem), ConversionFiles(t / "core" / stem)) << stem;
        } else {
            ++failed;
            EXPECT_TRUE(HasLineStarting(run.out, "failed    " + file)) << file << " (" << message << ")\n" << run.out;
            EXPECT_TRUE(HasLineStarting(run.err, "vexaro-cli: " + file + ": ")) << run.err;
        }
    }
    // The sample and the two theme-shaped packages convert; applications that carry some
    // bitmaps of the default numbers are partial; the others and the broken packages fail.
    EXPECT_GE(converted, 3);
    EXPECT_GE(partial, 1);
    EXPECT_GE(failed, 1);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out).back(), std::to_string(converted) + " of " + std::to_string(files.size()) +
                                         " themes converted into " + (t / "cli").string() + ", " +
                                         std::to_string(partial) + " partial, " + std::to_string(failed) + " failed");
}

// The sample theme converts to the same bytes on every platform and in every build: these are
// the files of the Linux build. When the sample painter or a build changes on purpose, take the
// new values from `sha256sum out/VexaroSample/...` after `./run convert`.
TEST(ConvertProcess, SampleThemeGivesTheRecordedBytes)
{
    TempDir t;
    const CliResult r = RunCli({"convert", kSample, "--out", (t / "out").string()}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::map<std::string, std::string> recorded{
        {"Backgroundimage.mbm", "00ade0cf14d7da80b95fbe8839c209203319ce472065060094d6a754570f0171"},
        {"EidPic.mbm", "1946720963bca2d16502da1a45685b38502b816747eb5c168922e4e8c3f4496d"},
        {"Menu_Folders.mbm", "c7fa8591ea4c1b9ae8a96baefe06d86d1d79959dfc154f65c5ebd262659c682b"},
        {"preview.jpg", "fb6ae6fddf0a7b400ec34b66859096958ecf851274540e5b09550df4b64959ac"},
    };
    const auto files = ConversionFiles(t / "out" / "VexaroSample");
    ASSERT_EQ(files.size(), recorded.size());
    // The theme's folder holds what the user asked for, nothing of the work behind it.
    EXPECT_EQ(FilesUnder(t / "out" / "VexaroSample"),
              (std::set<std::string>{"Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "Siemens/Menu_Folders.mbm",
                                     "preview.jpg"}));
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(Sha256Hex(bytes), recorded.at(name)) << name;
}

// The workspace commands one by one give what convert gives, and a multi-bitmap file opens
// like the package that holds it.
TEST(CommandsProcess, OpenSavePreviewClear)
{
    TempDir t;
    const std::string ws = (t / "ws").string();
    CliResult r = RunCli({"--workspace", ws, "open", kSample}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    int unpacked = 0;
    for (const auto& entry : fs::directory_iterator(t / "ws" / "Nokia" / "MBM"))
        unpacked += entry.path().extension() == ".bmp";
    EXPECT_GE(unpacked, 170);
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{"Opened " + kSample + ": " + std::to_string(unpacked) +
                                                     " bitmaps in " + (t / "ws" / "Nokia" / "MBM").string()});
    r = RunCli({"save", "--workspace", ws}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 3u);
    r = RunCli({"--workspace", ws, "preview", (t / "ws" / "preview.png").string(), "--type", "jpeg"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{(t / "ws" / "preview.jpg").string()});
    r = RunCli({"--workspace", ws, "preview", (t / "p.bmp").string()}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    Bitmap picture;
    LoadBmpFile((t / "p.bmp").string(), picture);
    EXPECT_EQ(picture.width(), 280);
    EXPECT_EQ(picture.height(), 385);

    r = RunCli({"convert", kSample, "--out", (t / "out").string()}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectSameFiles(t / "ws", t / "out" / "VexaroSample", "commands against convert");

    // The theme's own multi-bitmap file, opened as such, builds the same.
    const std::string mbm = (t / "ws" / "Nokia" / "temp.mbm").string();
    fs::copy_file(mbm, t / "Sample.mbm");
    r = RunCli({"convert", (t / "Sample.mbm").string(), "--out", (t / "out").string()}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectSameFiles(t / "out" / "Sample", t / "out" / "VexaroSample", "mbm against package");

    r = RunCli({"--workspace", ws, "clear"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(t / "ws" / "Nokia"));
    EXPECT_TRUE(fs::exists(t / "ws" / "Siemens" / "EidPic.mbm"));
}

// Old theme collections are full of names in other scripts: they go through the command line,
// the workspace and output folders, the copies that convert themes at once, and what is printed.
TEST(UnicodeNamesProcess, ConvertInfoOpenSaveAndPreview)
{
    TempDir t;
    const std::vector<std::string> names{"Café", "Тема", "Θέμα", "主题"};
    std::vector<std::string> files;
    for (const std::string& name : names) {
        files.push_back((t / "Тёмы").string() + "/" + name + ".sis");
        fs::create_directories(t / "Тёмы");
        fs::copy_file(kSample, PathFromUtf8(files.back()));
    }
    const std::string out = (t / "Ausgabe Ü").string();
    std::vector<std::string> args{"convert", "--jobs", "2", "--out", out};
    args.insert(args.end(), files.begin(), files.end());
    CliResult r = RunCli(args, t.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string folder = (PathFromUtf8(out) / PathFromUtf8(names[i])).string();
        EXPECT_TRUE(HasLineStarting(r.out, "converted " + files[i] + " -> " + folder + ": ")) << r.out;
        EXPECT_EQ(ConversionFiles(t / ("Ausgabe Ü/" + names[i])).size(), 4u) << names[i];
    }
#ifdef _WIN32
    // Windows hands "*" and "?" over as typed: the program expands them, in the order of the names.
    r = RunCli({"convert", "--jobs", "1", "--out", "W", "Тёмы/*.sis", "Тёмы/Θ???.sis"}, t.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_TRUE(StartsWith(lines[0], "converted Тёмы/Café.sis -> ")) << lines[0];
    EXPECT_TRUE(StartsWith(lines[3], "converted Тёмы/主题.sis -> ")) << lines[3];
    EXPECT_TRUE(StartsWith(lines[4], "converted Тёмы/Θέμα.sis -> ")) << lines[4]; // no clash with its earlier copy
#endif

    r = RunCli({"info", files[1]}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(StartsWith(r.out, files[1] + ": ")) << r.out;
    r = RunCli({"info", "--json", files[2]}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json::Parse(r.out)["file"].str(), files[2]);

    // A workspace whose folder name has blanks and other scripts, a theme and a picture likewise.
    const std::string ws = (t / "Рабочая папка Θ").string();
    r = RunCli({"--workspace", ws, "open", files[3]}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(StartsWith(r.out, "Opened " + files[3] + ": ")) << r.out;
    r = RunCli({"--workspace", ws, "save"}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 3u);
    EXPECT_TRUE(StartsWith(r.out, ws)) << r.out;
    r = RunCli({"--workspace", ws, "preview", (t / "预览.jpg").string()}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{(t / "预览.jpg").string()});
    fs::copy_file(t / "预览.jpg", t / "Рабочая папка Θ" / "preview.jpg");
    ExpectSameFiles(t / "Рабочая папка Θ", t / "Ausgabe Ü/主题", "commands against convert");
}

// One process converting theme after theme, with names relative to where it was started.
TEST(ConvertProcess, RelativeNamesOneAfterAnother)
{
    TempDir t;
    fs::create_directories(t / "in");
    fs::copy_file(kSample, t / "in" / "A.sis");
    fs::copy_file(kSample, t / "in" / "B.sis");
    const CliResult r =
        RunCli({"convert", "--jobs", "1", "in/A.sis", "in/B.sis", "--out", "res", "--report=rep.html"}, t.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[2], "Report: rep.html");
    EXPECT_TRUE(fs::exists(t / "rep.html"));
    EXPECT_TRUE(StartsWith(lines[0], "converted in/A.sis -> " + (fs::path("res") / "A").string() + ": ")) << lines[0];
    EXPECT_TRUE(StartsWith(lines[1], "converted in/B.sis -> " + (fs::path("res") / "B").string() + ": ")) << lines[1];
    EXPECT_EQ(lines[3], "2 of 2 themes converted into res");
    EXPECT_EQ(ConversionFiles(t / "res" / "A"), ConversionFiles(t / "res" / "B"));
    EXPECT_EQ(ConversionFiles(t / "res" / "B").size(), 4u);
}

// Bitmap numbers: Settings.ini of the workspace, then --set over it.
TEST(ConvertProcess, SettingsIniAndSetChooseTheBitmaps)
{
    TempDir t;
    fs::create_directories(t / "settings");
    std::ofstream(t / "settings" / "Settings.ini", std::ios::binary) << "[Files]\r\n2=005\r\n4=166\r\n";
    auto convert = [&](const std::string& name, std::vector<std::string> front) {
        front.insert(front.end(), {"convert", kSample, "--out", (t / name).string()});
        const CliResult r = RunCli(front, t / name);
        EXPECT_EQ(r.status, 0) << r.err;
        return ConversionFiles(t / name / "VexaroSample");
    };
    const auto plain = convert("plain", {"--workspace", (t / "empty").string()});
    const auto fromIni = convert("ini", {"--workspace", (t / "settings").string()});
    const auto fromSet = convert("set", {"--set", "2=005", "--set", "4=166"});
    const auto undone = convert("undone", {"--workspace", (t / "settings").string(), "--set", "2=003", "--set=4=165"});

    EXPECT_EQ(fromIni, fromSet);
    EXPECT_EQ(undone, plain);
    EXPECT_NE(fromIni.at("Backgroundimage.mbm"), plain.at("Backgroundimage.mbm")); // field 2: main area
    EXPECT_NE(fromIni.at("Menu_Folders.mbm"), plain.at("Menu_Folders.mbm"));       // field 4: first icon
    EXPECT_EQ(fromIni.at("EidPic.mbm").size() > 0, true);

    ASSERT_EQ(CoreConversion(kSample, true, t / "core", {{2, "005"}, {4, "166"}}), "");
    EXPECT_EQ(ConversionFiles(t / "core"), fromIni);
}

// A theme lacking default numbers beside one that converts: status 3, the partial theme's line
// says what is missing, the report shows both, and no progress line reaches a pipe. On a
// workspace, open reports the lost bitmap with status 1, save keeps what it built with status 3,
// and info suggests the numbers that fit.
TEST(ConvertProcess, PartialThemeKeepsItsFilesAndIsReported)
{
    TempDir t;
    const std::string unusual = (t / "Unusual.mbm").string();
    WriteBytes(t / "Unusual.mbm", UnusualTheme());
    const std::string out = (t / "out").string();
    CliResult r = RunCli({"convert", "--jobs", "2", "--report", unusual, kSample, "--out", out}, t.path());
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const std::string shown = (t / "out" / "Unusual").string();
    const std::string siemens = NativePath("Siemens\\").string();
    EXPECT_TRUE(HasLineStarting(
        r.out, "partial   " + unusual + " -> " + shown + ": " + siemens + "Backgroundimage.mbm " + siemens +
                   "EidPic.mbm preview.jpg sheet.jpg; 1 of 166 bitmaps could not be unpacked: 133; "))
        << r.out;
    EXPECT_NE(r.out.find("; Menu_Folders.mbm: no bitmap 133 (field 6), 167 (field 10)\n"), std::string::npos) << r.out;
    EXPECT_EQ(Lines(r.out).back(), "1 of 2 themes converted into " + out + ", 1 partial");
    EXPECT_EQ(FilesUnder(t / "out" / "Unusual"),
              (std::set<std::string>{"Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "preview.jpg", "sheet.jpg"}));
    const std::vector<std::uint8_t> report = ReadBytes(t / "out" / "index.html");
    const std::string page(report.begin(), report.end());
    EXPECT_NE(page.find("<img src=\"Unusual/preview.jpg\""), std::string::npos);
    EXPECT_NE(page.find("<img src=\"Unusual/sheet.jpg\""), std::string::npos);
    EXPECT_NE(page.find("<span>--set 2=010</span> <span>--set 6=140</span>"), std::string::npos);
    EXPECT_EQ(ReadBytes(t / "out" / "Unusual" / "sheet.jpg").at(0), 0xFF); // a JPEG
    EXPECT_NE(page.find("href=\"VexaroSample/Siemens/Menu_Folders.mbm\""), std::string::npos);

    const std::string ws = (t / "ws").string();
    r = RunCli({"--workspace", ws, "open", unusual}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(StartsWith(r.err, "vexaro-cli: 1 of 166 bitmaps could not be unpacked: 133\n")) << r.err;
    r = RunCli({"--workspace", ws, "save"}, t.path());
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(Lines(r.out).size(), 2u) << r.out;
    EXPECT_EQ(r.err, "vexaro-cli: Menu_Folders.mbm: no bitmap 133 (field 6), 167 (field 10)\n");
    r = RunCli({"--workspace", ws, "info", "--json", "--sheet", (t / "sheet.bmp").string()}, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json::Parse(r.out)["set"].str(), "--set 2=010 --set 6=140 --set 10=150");
    Bitmap sheet;
    LoadBmpFile((t / "sheet.bmp").string(), sheet);
    EXPECT_GT(sheet.width(), 176);
}

TEST(BadInputProcess, MessagesAndStatus)
{
    TempDir t;
    const std::string ws = (t / "ws").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string errStart;
    };
    std::ofstream(t / "text.mbm") << "not a multi-bitmap file";
    auto sample = ReadBytes(kSample);
    sample.resize(sample.size() / 2);
    WriteBytes(t / "half.sis", sample);
    WriteBytes(t / "none.mbm", test::PaintMbm(0));
    const std::string clearScreen = (t / "e\x1B[2J.mbm").string(); // no file may have this name on Windows
    const std::vector<std::uint8_t> bomb = test::PixelBombMbm(1000);
    WriteBytes(t / "bomb.sis", test::PackageBuilder().addFile("C:\\t\\skin.mbm", bomb).bytes());
    const std::string tooLarge = "The theme \"bomb.sis\" is too large";
    WriteBytes(t / "odd.sis",
               PackageBuilder().addFile("C:\\t\\Mbm", Bytes("x")).addFile("C:\\t\\t.mbm", PaintMbm(2)).bytes());
    const std::vector<Case> cases{
        {{}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"open"}, 2, ""},
        {{"--workspace", ws, "open", (t / "x.txt").string()}, 1, "Cannot tell the type of"},
        {{"--workspace", ws, "open", (t / "missing.sis").string()},
         1,
         "Cannot open file \"" + (t / "missing.sis").string() + "\". "},
        {{"--workspace", ws, "open", (t / "text.mbm").string()}, 1, "File temp.mbm damaged !"},
        {{"--workspace", ws, "open", (t / "half.sis").string()}, 1, ""},
        {{"--workspace", ws, "open", (t / "none.mbm").string()}, 1, "\"none.mbm\" holds no bitmaps"},
        {{"--workspace", ws, "open", clearScreen}, 1, "Cannot open file \"" + VisibleText(clearScreen) + "\". "},
        {{"--workspace", ws, "open", (t / "bomb.sis").string()}, 1, tooLarge},
        {{"info", (t / "bomb.sis").string()}, 1, "The theme \"" + (t / "bomb.sis").string() + "\" is too large"},
        {{"--workspace", ws, "--set", "16=1", "save"}, 2, "--set: needs N=TEXT with N from 1 to 15: \"16=1\""},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"-V", "info", kSample}, 2, "unknown option -V"},
        {{"info", kSample, "--bogus"}, 2, "unknown option --bogus"},
        {{"--workspace", ws, "save"}, 1, "No theme is open in \"" + ws + "\": open one first"},
        {{"--workspace", ws, "preview", (t / "p.gif").string()}, 1, "Cannot tell the picture type"},
        {{"--workspace", ws, "open", "--type", "zip", kSample}, 2, ""},
        {{"convert", "--jobs", "0", kSample}, 2, "--jobs: Value 0 not in range 1 to 256"},
        // Opened (after all the others: a theme is open from here), with a file passed over.
        {{"--workspace", ws, "open", (t / "odd.sis").string()}, 0, "\"Mbm\": no file may have that name here"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        const CliResult r = RunCli(c.args, t.path());
        EXPECT_EQ(r.status, c.status) << shown << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << shown;
        EXPECT_TRUE(StartsWith(r.err, "vexaro-cli: " + c.errStart)) << shown << "\n" << r.err;
        for (const std::string& line : Lines(r.err))
            EXPECT_TRUE(StartsWith(line, "vexaro-cli: ")) << shown << "\n" << r.err;
    }
    const CliResult help = RunCli({"convert", "--help"}, t.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--out"), std::string::npos) << help.out;
    EXPECT_TRUE(help.err.empty()) << help.err;
}

// The program's own options and a command's stand before or after the command; -q leaves only
// errors; "-" reads the theme from standard input, package or multi-bitmap file; with --json a
// failure is a JSON object too.
TEST(ArgumentsProcess, OptionsAnywhereQuietStandardInputAndJsonErrors)
{
    TempDir t;
    const std::string unusual = (t / "Unusual.mbm").string();
    WriteBytes(t / "Unusual.mbm", UnusualTheme());
    const CliResult after = RunCli({"info", "--json", kSample, "--set", "2=018"}, t.path());
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(Json::Parse(after.out)["fields"][1]["text"].str(), "018");
    EXPECT_EQ(RunCli({"--set", "2=018", "--json", "info", kSample}, t.path()).out, after.out);

    const CliResult quiet = RunCli({"--out", (t / "o").string(), "-q", "convert", kSample}, t.path());
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out + quiet.err, "");
    EXPECT_EQ(ConversionFiles(t / "o" / "VexaroSample").size(), 4u);

    for (const std::string& theme : {kSample, unusual}) {
        CliResult piped = RunCli({"info", "--json", "-"}, t.path(), theme);
        ASSERT_EQ(piped.status, 0) << theme << "\n" << piped.err;
        const CliResult named = RunCli({"info", "--json", theme}, t.path());
        EXPECT_EQ(Json::Parse(piped.out)["file"].str(), "(standard input)");
        EXPECT_EQ(Json::Parse(piped.out)["bitmaps"].array().size(), Json::Parse(named.out)["bitmaps"].array().size());
        EXPECT_EQ(Json::Parse(piped.out)["set"].str(), Json::Parse(named.out)["set"].str());
    }
    WriteBytes(t / "empty", {});
    const CliResult empty = RunCli({"info", "-"}, t.path(), t / "empty");
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(StartsWith(empty.err, "vexaro-cli: Standard input holds no theme")) << empty.err;

    const std::vector<std::pair<std::vector<std::string>, int>> failures{
        {{"info", "--json", (t / "missing.sis").string()}, 1},
        {{"info", "--json", "--bogus", kSample}, 2},
    };
    for (const auto& [args, status] : failures) {
        const CliResult r = RunCli(args, t.path());
        EXPECT_EQ(r.status, status) << args[2];
        ASSERT_FALSE(r.err.empty()) << args[2];
        EXPECT_EQ(Lines(r.err).front(), "vexaro-cli: " + Lines(Json::Parse(r.out)["error"].str()).front()) << r.out;
    }
}

// A theme on standard input opens and converts as the same file named does; -v tells what the
// converter was run with and how long each step took, and nothing without it.
TEST(ArgumentsProcess, StandardInputForOpenAndConvertAndVerbose)
{
    TempDir t;
    const std::string unusual = (t / "Unusual.mbm").string();
    WriteBytes(t / "Unusual.mbm", UnusualTheme());
    for (const std::string& theme : {kSample, unusual}) {
        const CliResult piped = RunCli({"convert", "-", "--out", (t / "piped").string()}, t.path(), theme);
        const CliResult named = RunCli({"convert", theme, "--out", (t / "named").string()}, t.path());
        EXPECT_EQ(piped.status, named.status) << theme << "\n" << piped.err;
        const auto made = ConversionFiles(t / "named" / fs::path(theme).stem());
        EXPECT_GE(made.size(), 3u) << theme;
        EXPECT_TRUE(ConversionFiles(t / "piped" / "stdin") == made) << theme;

        const fs::path pipedSpace = t / "ws-piped", namedSpace = t / "ws-named";
        const CliResult opened = RunCli({"--workspace", pipedSpace.string(), "open", "-"}, t.path(), theme);
        const CliResult namedOpen = RunCli({"--workspace", namedSpace.string(), "open", theme}, t.path());
        EXPECT_EQ(opened.status, namedOpen.status) << opened.err;
        EXPECT_EQ(opened.err, namedOpen.err);
        EXPECT_TRUE(StartsWith(opened.out, "Opened (standard input): ")) << opened.out;
        const std::set<std::string> files = FilesUnder(namedSpace / "Nokia" / "MBM");
        EXPECT_GT(files.size(), 10u);
        ASSERT_EQ(FilesUnder(pipedSpace / "Nokia" / "MBM"), files) << theme;
        for (const std::string& name : files)
            EXPECT_TRUE(ReadBytes(pipedSpace / "Nokia" / "MBM" / name) ==
                        ReadBytes(namedSpace / "Nokia" / "MBM" / name))
                << name;
    }

    const fs::path ws = t / "ws-verbose";
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> told{
        {{"-v", "--workspace", ws.string(), "open", kSample},
         {"vexaro-cli: bmconv.exe Nokia\\mbm.txt: status 0 after ", "vexaro-cli: open took "}},
        {{"--workspace", ws.string(), "save", "--verbose"},
         {"vexaro-cli: Siemens\\Menu_Folders.mbm built", "vexaro-cli: save took "}},
        {{"convert", kSample, "-v", "--out", (t / "v").string()}, {"vexaro-cli: " + kSample + ": open "}},
    };
    for (const auto& [args, prefixes] : told) {
        const CliResult loud = RunCli(args, t.path());
        ASSERT_EQ(loud.status, 0) << loud.err;
        for (const std::string& prefix : prefixes)
            EXPECT_TRUE(HasLineStarting(loud.err, prefix)) << prefix << "\n" << loud.err;
        std::vector<std::string> plain;
        std::copy_if(args.begin(), args.end(), std::back_inserter(plain),
                     [](const std::string& a) { return a != "-v" && a != "--verbose"; });
        EXPECT_EQ(RunCli(plain, t.path()).err, "") << plain.front();
    }

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"convert", "-", "-"}, std::vector<std::string>{"-q", "-v", "info", kSample}}) {
        const CliResult refused = RunCli(args, t.path(), kSample);
        EXPECT_EQ(refused.status, 2) << args[1];
        EXPECT_TRUE(StartsWith(refused.err, "vexaro-cli: ")) << refused.err;
    }
}

#ifndef _WIN32
// The words the help of `command` ("" for the program's own) lists under `heading`, each the
// first of its line ("-h,--help" gives both names).
std::set<std::string> HelpWords(const std::string& command, const std::string& heading, const fs::path& scratch)
{
    const CliResult help = RunCli(
        command.empty() ? std::vector<std::string>{"--help"} : std::vector<std::string>{command, "--help"}, scratch);
    std::set<std::string> words;
    bool inside = false;
    for (const std::string& line : Lines(help.out)) {
        if (line.empty() || line[0] != ' ') {
            inside = line == heading;
            continue;
        }
        if (!inside)
            continue;
        std::string first = line.substr(line.find_first_not_of(' '));
        first = first.substr(0, first.find(' '));
        for (std::size_t start = 0; start <= first.size();) {
            const std::size_t comma = std::min(first.find(',', start), first.size());
            words.insert(first.substr(start, comma - start));
            start = comma + 1;
        }
    }
    return words;
}

// Bash completes every command and every option the program's help lists, and nothing else.
TEST(ArgumentsProcess, BashCompletionMatchesTheOptions)
{
    TempDir t;
    const std::set<std::string> common = HelpWords("", "Options:", t.path());
    auto complete = [&](const std::vector<std::string>& words) {
        std::string line = "source '" VEXARO_BASH_COMPLETION "'; COMP_WORDS=(vexaro-cli";
        for (const std::string& w : words)
            line += " '" + w + "'";
        line += "); COMP_CWORD=" + std::to_string(words.size()) + "; _vexaro_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
        const ProcessResult r = RunProcess("/bin/bash", {"-c", line}, t.path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::vector<std::string> lines = Lines(r.out);
        return std::set<std::string>(lines.begin(), lines.end());
    };
    EXPECT_EQ(complete({""}), HelpWords("", "Subcommands:", t.path()));
    EXPECT_EQ(complete({"-"}), common);
    for (const std::string command : {"open", "save", "preview", "clear", "info", "convert"}) {
        std::set<std::string> expected = HelpWords(command, "Options:", t.path());
        expected.insert(common.begin(), common.end());
        EXPECT_EQ(complete({command, "-"}), expected) << command;
    }
}
#endif

// A package that brings its own command file, with a damaged theme so that the unpacking job
// writes none, acts on nothing outside its workspace: not through `open`, not through copies of
// the program converting several themes at once.
TEST(BadInputProcess, HostilePackageActsOnlyInsideItsWorkspace)
{
    TempDir t;
    const fs::path victim = t / "victim.txt";
    WriteBytes(victim, Bytes("precious"));
    std::string commands = "/u Nokia\\real.dat\r\n..\\..\\escaped.bmp\r\n" + (t / "absolute.bmp").string() + "\r\n" +
                           victim.string() + "\r\n";
    PackageBuilder builder;
    builder.addFile("C:\\t\\skin.mbm", Bytes("0123456789"));
    builder.addFile("C:\\t\\real.dat", PaintMbm(3));
    builder.addFile("C:\\t\\mbm.txt", Bytes(commands));
    WriteBytes(t / "hostile.sis", builder.bytes());

    const CliResult open =
        RunCli({"--workspace", (t / "ws" / "one").string(), "open", (t / "hostile.sis").string()}, t.path());
    EXPECT_EQ(open.status, 1);
    EXPECT_TRUE(open.err.starts_with("vexaro-cli: File temp.mbm damaged !\nvexaro-cli: \"hostile.sis\" is no "
                                     "multi-bitmap file"))
        << open.err;
    const CliResult convert = RunCli({"convert", "--out", (t / "ws").string(), "--jobs", "2",
                                      (t / "hostile.sis").string(), (t / "hostile.sis").string()},
                                     t.path());
    EXPECT_EQ(convert.status, 1);

    EXPECT_EQ(ReadBytes(victim), Bytes("precious"));
    std::set<std::string> beside;
    for (const auto& e : fs::directory_iterator(t.path()))
        beside.insert(e.path().filename().string());
    // The folder the command line works in holds only what the test runner put there.
    beside.erase("ws");
    EXPECT_EQ(beside.count("absolute.bmp") + beside.count("escaped.bmp"), 0u);
    EXPECT_FALSE(fs::exists(t.path().parent_path() / "escaped.bmp"));
}

#ifdef __linux__
// A small file system of its own, mounted for the test (root only) and gone with it.
struct SmallMount {
    fs::path at;
    bool mounted = false;
    int error = 0;
    SmallMount(const fs::path& folder, unsigned long flags) : at(folder)
    {
        fs::create_directories(folder);
        mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", flags, "size=4m") == 0;
        error = mounted ? 0 : errno;
    }
    ~SmallMount()
    {
        if (mounted)
            ::umount(at.c_str());
    }
};

// A read-only or full disk is named by the system's own words, with the file; a save that
// fails on a full disk leaves no empty file behind.
TEST(FullDiskProcess, SystemReasonAndNoEmptyFile)
{
    TempDir t;
    const SmallMount readOnly(t / "ro", MS_RDONLY);
    const SmallMount small(t / "small", 0);
    if (!readOnly.mounted || !small.mounted)
        GTEST_SKIP() << "cannot mount a small file system here: "
                     << std::strerror(readOnly.mounted ? small.error : readOnly.error);

    CliResult r = RunCli({"convert", kSample, "--out", (t / "ro" / "out").string()}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot create folder \"" + (t / "ro" / "out").string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << r.err;

    const std::string ws = (t / "small" / "ws").string();
    ASSERT_EQ(RunCli({"--workspace", ws, "open", kSample}, t.path()).status, 0);
    {
        // Whatever room is left goes to a filler file.
        std::ofstream filler(t / "small" / "filler", std::ios::binary);
        const std::vector<char> block(64 << 10, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
            ;
    }
    r = RunCli({"--workspace", ws, "save"}, t.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(StartsWith(r.err, "vexaro-cli: Cannot create file \"" + ws)) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    for (const auto& entry : fs::recursive_directory_iterator(ws))
        EXPECT_FALSE(entry.is_regular_file() && entry.file_size() == 0) << entry.path();
}
#endif

} // namespace
} // namespace vexaro::test
