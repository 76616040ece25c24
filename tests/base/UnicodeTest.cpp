// File names as UTF-8 text: names in every script reach the disk as the same file and come back
// as the same text, and text files are read as UTF-8.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vexaro {
namespace {

namespace fs = std::filesystem;

// Latin-1, Cyrillic, Greek, CJK, and a character outside the 16-bit range.
const char* const kNames[] = {"Café", "Тема", "Θέμα", "主题", "𝄞 clef"};

TEST(Unicode, NamesOfEveryScriptNameOneFileAndComeBack)
{
    for (const std::string name : kNames) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const std::string text = dir.str() + "/" + name + ".sis";
        test::WriteBytes(PathFromUtf8(text), {1, 2, 3});
        EXPECT_EQ(ReadFileCapped(PathFromUtf8(text), 3).bytes, (std::vector<std::uint8_t>{1, 2, 3}));
        const fs::directory_entry entry = *fs::directory_iterator(dir.path());
        EXPECT_EQ(entry.path().filename().string(), name + ".sis");
    }
}

TEST(Unicode, TextFilesAreReadAsUtf8)
{
    EXPECT_EQ(TextAsUtf8("\xEF\xBB\xBF/u Тема.mbm"), "/u Тема.mbm"); // a byte-order mark is no text
    EXPECT_EQ(TextAsUtf8("/u Θέμα.mbm"), "/u Θέμα.mbm");
    EXPECT_EQ(TextAsUtf8(""), "");
#ifdef _WIN32
    // Files of older programs are in the ANSI code page (Windows-1252 where these tests run).
    if (GetACP() == 1252) {
        EXPECT_EQ(TextAsUtf8("Caf\xE9.mbm"), "Café.mbm");
    }
#else
    EXPECT_EQ(TextAsUtf8("Caf\xE9.mbm"), "Caf\xE9.mbm"); // names need not be UTF-8 here
#endif
}

// Names reach terminals: no control character, nor a byte outside UTF-8, goes out as it is.
TEST(VisibleText, EscapesControlsAndStrayBytesKeepsTheRest)
{
    const struct {
        std::string text, shown;
    } cases[] = {
        {"Тёмы 主.sis", "Тёмы 主.sis"},
        {"a\x1B]0;title\a", "a\\x1B]0;title\\x07"},
        {"line\nnext\x7F", "line\\x0Anext\\x7F"},
        {"csi\xC2\x9B"
         "2J",
         "csi\\u009B2J"},
        {"Caf\xE9 \xE4\xB8", "Caf\\xE9 \\xE4\\xB8"},
        {"\xC0\xAF", "\\xC0\\xAF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VisibleText(c.text), c.shown) << c.shown;
    EXPECT_EQ(Quoted("a\x1B"), "\"a\\x1B\"");
}

} // namespace
} // namespace vexaro
