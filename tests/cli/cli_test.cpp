// The command line's own helpers: field overrides, type choice, theme folders, worker copies.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "cli/CliCommands.h"
#include "base/Error.h"
#include "preview/PreviewExport.h"
#include "TestSupport.h"
#include "cli/Workers.h"

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
    EXPECT_EQ(LoadFieldTexts(folder.path(), {})[1], "003");   // no Settings.ini: the defaults
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

TEST(ThemeFolders, NamedAfterTheThemesWithoutClashes)
{
    const auto folders = ThemeFolders({"a/Blue.sis", "b/blue.mbm", "c/Blue-2.sis", "Red.sis", "d/BLUE.sis"}, "out");
    const std::vector<fs::path> expected{"out/Blue", "out/blue-2", "out/Blue-2-2", "out/Red", "out/BLUE-3"};
    EXPECT_EQ(folders, expected);
}

TEST(WindowsCommandLine, QuotesSoTheRuntimeSplitsItBack)
{
    EXPECT_EQ(WindowsCommandLine({"prog", "a", "b c"}), "prog a \"b c\"");
    EXPECT_EQ(WindowsCommandLine({""}), "\"\"");
    EXPECT_EQ(WindowsCommandLine({"C:\\Themes\\x.sis"}), "C:\\Themes\\x.sis");        // no quote: as is
    EXPECT_EQ(WindowsCommandLine({"C:\\My Themes\\"}), "\"C:\\My Themes\\\\\"");    // doubled before the closing quote
    EXPECT_EQ(WindowsCommandLine({"say \"hi\""}), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(WindowsCommandLine({"a\\\"b c"}), "\"a\\\\\\\"b c\"");                // 1 backslash + quote: 3 + quote
}

#ifdef _WIN32
TEST(Workers, StatusOfEveryCopyInOrder)
{
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::string cmd = std::string(system, n) + "\\cmd.exe";
    const std::vector<std::vector<std::string>> runs{{"/c", "exit 3"}, {"/c", "exit 0"}, {"/c", "exit 7"}, {"/c", "exit 1"}};
    EXPECT_EQ(RunWorkers(cmd, runs, 2), (std::vector<int>{3, 0, 7, 1}));
    EXPECT_EQ(RunWorkers("C:\\no\\such\\program.exe", {{"x"}, {"y"}}, 4), (std::vector<int>{-1, -1}));
    EXPECT_TRUE(RunWorkers(cmd, {}, 3).empty());
}
#else
TEST(Workers, StatusOfEveryCopyInOrder)
{
    const std::vector<std::vector<std::string>> runs{
        {"-c", "sleep 0.2; exit 3"}, {"-c", "exit 0"}, {"-c", "kill -9 $$"}, {"-c", "exit 7"}, {"-c", "exit 1"}};
    EXPECT_EQ(RunWorkers("/bin/sh", runs, 2), (std::vector<int>{3, 0, 137, 7, 1}));
    EXPECT_EQ(RunWorkers("/no/such/program", {{"x"}, {"y"}}, 4), (std::vector<int>{-1, -1}));
    EXPECT_TRUE(RunWorkers("/bin/sh", {}, 3).empty());
}
#endif

} // namespace
} // namespace vexaro::cli
