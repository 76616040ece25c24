#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProcessState.h"
#include "RecordingWindow.h"
#include "TestSupport.h"
#include "base/Error.h"
#include "import/UnpackJob.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::CurrentDirectory;
using test::RecordingWindow;
using test::TempDir;

// The command file's lines, each checked to end with CR LF.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line without CR LF: " << text.substr(start);
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    if (bytes.size() < at + 4)
        bytes.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A multi-bitmap file as far as the job reads it: `size` bytes of filler, the table position
// at offset 16 and the count at that position.
std::vector<std::uint8_t> MbmBytes(std::uint32_t tablePosition, std::uint32_t count, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, 0xA5);
    PutWord(bytes, 16, tablePosition);
    PutWord(bytes, tablePosition, count);
    return bytes;
}

TEST(UnpackCommandText, PaletteGoesOnTheFirstLine)
{
    EXPECT_EQ(Lines(UnpackCommandText("Nokia\\temp.mbm", "Nokia\\palette.txt", "Nokia\\MBM\\", 1)),
              (std::vector<std::string>{"/u /pNokia\\palette.txt Nokia\\temp.mbm", "Nokia\\MBM\\000.bmp"}));
}

TEST(UnpackCommandText, NoBitmapLinesForZeroOrNegativeCounts)
{
    for (std::int32_t count : {0, -1, INT32_MIN})
        EXPECT_EQ(UnpackCommandText("Nokia\\temp.mbm", "", "Nokia\\MBM\\", count), "/u Nokia\\temp.mbm\r\n") << count;
}

TEST(UnpackCommandText, NumbersHaveThreeDigitsAndStopAt999)
{
    const std::vector<std::string> lines = Lines(UnpackCommandText("t.mbm", "", "out\\", 1234));
    ASSERT_EQ(lines.size(), 1001u);
    EXPECT_EQ(lines[1 + 9], "out\\009.bmp");
    EXPECT_EQ(lines[1 + 10], "out\\010.bmp");
    EXPECT_EQ(lines[1 + 99], "out\\099.bmp");
    EXPECT_EQ(lines[1 + 100], "out\\100.bmp");
    EXPECT_EQ(lines.back(), "out\\999.bmp");
    EXPECT_EQ(Lines(UnpackCommandText("t.mbm", "", "out\\", 1000)).size(), 1001u);
    EXPECT_EQ(Lines(UnpackCommandText("t.mbm", "", "out\\", 999)).back(), "out\\998.bmp");
}

TEST(UnpackCommandText, OutputFolderGetsItsBackslash)
{
    EXPECT_EQ(Lines(UnpackCommandText("t.mbm", "", "Nokia\\MBM", 1))[1], "Nokia\\MBM\\000.bmp");
    EXPECT_EQ(Lines(UnpackCommandText("t.mbm", "", "Nokia/MBM/", 1))[1], "Nokia/MBM/\\000.bmp");
    EXPECT_EQ(Lines(UnpackCommandText("t.mbm", "", "", 1))[1], "\\000.bmp");
}

class UnpackJobTest : public ::testing::Test {
protected:
    UnpackJobTest() : cwd_(dir_.path()) { fs::create_directories(dir_ / "Nokia"); }

    void WriteMbm(const std::vector<std::uint8_t>& bytes) { test::WriteBytes(dir_ / "Nokia" / "temp.mbm", bytes); }
    void Run(const std::string& output = "Nokia\\MBM\\")
    {
        WriteUnpackCommandFile("Nokia\\temp.mbm", "Nokia\\mbm.txt", "", output, window_);
    }
    std::string CommandFile() const { return ReadText(dir_ / "Nokia" / "mbm.txt"); }
    void LeaveOldCommandFile() { std::ofstream(dir_ / "Nokia" / "mbm.txt", std::ios::binary) << "earlier run\r\n"; }

    TempDir dir_;
    CurrentDirectory cwd_;
    RecordingWindow window_;
};

TEST_F(UnpackJobTest, OpenCommandCaseWritesTheFileAndCreatesTheFolder)
{
    WriteMbm(MbmBytes(40, 3, 56));
    LeaveOldCommandFile();
    Run();
    EXPECT_EQ(CommandFile(), "/u Nokia\\temp.mbm\r\n"
                             "Nokia\\MBM\\000.bmp\r\n"
                             "Nokia\\MBM\\001.bmp\r\n"
                             "Nokia\\MBM\\002.bmp\r\n");
    EXPECT_TRUE(fs::is_directory(dir_ / "Nokia" / "MBM"));
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_EQ(window_.processMessagesCount, 0);
    EXPECT_TRUE(window_.progressCalls.empty());
}

TEST_F(UnpackJobTest, BitmapCountsOfTheFile)
{
    WriteMbm(MbmBytes(20, 0, 24));
    Run();
    EXPECT_EQ(CommandFile(), "/u Nokia\\temp.mbm\r\n");

    WriteMbm(MbmBytes(20, 0xFFFFFFFF, 24));
    Run();
    EXPECT_EQ(CommandFile(), "/u Nokia\\temp.mbm\r\n");

    WriteMbm(MbmBytes(20, 1234, 24));
    Run("Nokia\\MBM");
    const std::vector<std::string> lines = Lines(CommandFile());
    ASSERT_EQ(lines.size(), 1001u);
    EXPECT_EQ(lines.back(), "Nokia\\MBM\\999.bmp");
    EXPECT_TRUE(window_.messages.empty());
}

// Identifiers are not checked; the table may be anywhere that leaves 4 bytes, the header included.
TEST_F(UnpackJobTest, AnyFileWithAReadableTableIsAccepted)
{
    std::vector<std::uint8_t> bytes = MbmBytes(996, 2, 1000);
    for (std::size_t i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(0xF0 + i);
    WriteMbm(bytes);
    Run();
    EXPECT_EQ(Lines(CommandFile()).size(), 3u);

    WriteMbm(MbmBytes(16, 16, 20)); // the position word is its own count
    Run();
    EXPECT_EQ(Lines(CommandFile()).size(), 17u);
    EXPECT_TRUE(window_.messages.empty());
}

TEST_F(UnpackJobTest, UnreadableFilesShowTheMessageAndKeepTheOldCommandFile)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    // A 56-byte file whose word at offset 16 says `position`.
    const auto tableAt = [](std::uint32_t position) {
        std::vector<std::uint8_t> bytes = MbmBytes(20, 3, 56);
        PutWord(bytes, 16, position);
        return bytes;
    };
    const std::vector<Case> cases = {
        {"19 bytes", std::vector<std::uint8_t>(19, 0)}, {"empty", {}},
        {"table beyond the end", tableAt(1000)},        {"table at the end", tableAt(56)},
        {"table leaves 3 bytes", tableAt(53)},          {"table at 0xFFFFFFFF", tableAt(0xFFFFFFFF)},
        {"table at 0xFFFFFFFE", tableAt(0xFFFFFFFE)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteMbm(c.bytes);
        LeaveOldCommandFile();
        window_.messages.clear();
        Run();
        EXPECT_EQ(window_.messages, std::vector<std::string>{"File temp.mbm damaged !"});
        EXPECT_EQ(CommandFile(), "earlier run\r\n");
        EXPECT_TRUE(fs::is_directory(dir_ / "Nokia" / "MBM")); // the folder comes first
    }
}

TEST_F(UnpackJobTest, MissingFileShowsItsOwnNameAndCreatesNoCommandFile)
{
    WriteUnpackCommandFile("Nokia\\themes\\Dark.mbm", "Nokia\\mbm.txt", "", "Nokia\\MBM\\", window_);
    WriteUnpackCommandFile("plain.mbm", "Nokia\\mbm.txt", "", "Nokia\\MBM\\", window_);
    EXPECT_EQ(window_.messages, (std::vector<std::string>{"File Dark.mbm damaged !", "File plain.mbm damaged !"}));
    EXPECT_FALSE(fs::exists(dir_ / "Nokia" / "mbm.txt"));
}

// A command file that cannot be written is the workspace's fault, not the theme's: it is said
// so, with the file and the reason, and the theme is not called damaged.
TEST_F(UnpackJobTest, CommandFileThatCannotBeCreatedSaysSo)
{
    WriteMbm(MbmBytes(20, 3, 24));
    try {
        WriteUnpackCommandFile("Nokia\\temp.mbm", "Nokia\\absent\\mbm.txt", "", "Nokia\\MBM\\", window_);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " +
                                             Quoted((dir_ / "Nokia" / "absent" / "mbm.txt").string()) + ". " +
                                             SystemReason(ENOENT));
    }
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_FALSE(fs::exists(dir_ / "Nokia" / "absent"));
}

// A command file cut short while being written is removed, so that the converter never runs
// half a list.
TEST_F(UnpackJobTest, CommandFileThatFailsWhileWrittenIsRemoved)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit per process to cut a write short";
#else
    WriteMbm(MbmBytes(20, 1000, 24));
    LeaveOldCommandFile();
    {
        test::FileSizeLimit limit(4096); // the full list is about 19 KB
        EXPECT_THROW(Run(), Error);
    }
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_FALSE(fs::exists(dir_ / "Nokia" / "mbm.txt"));
#endif
}

TEST_F(UnpackJobTest, AbsolutePathsAndPaletteAreWrittenAsGiven)
{
    const std::string mbm = (dir_ / "Nokia" / "temp.mbm").string();
    const std::string output = (dir_ / "Out" / "Deep").string();
    WriteMbm(MbmBytes(20, 2, 24));
    WriteUnpackCommandFile(mbm, "Nokia\\mbm.txt", "pal.txt", output, window_);
    EXPECT_EQ(Lines(CommandFile()),
              (std::vector<std::string>{"/u /ppal.txt " + mbm, output + "\\000.bmp", output + "\\001.bmp"}));
    EXPECT_TRUE(fs::is_directory(dir_ / "Out" / "Deep"));
    EXPECT_TRUE(window_.messages.empty());
}

} // namespace
} // namespace vexaro
