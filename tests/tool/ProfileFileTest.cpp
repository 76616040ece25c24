#include <gtest/gtest.h>

#include "base/Error.h"
#include "tool/ProfileFile.h"
#include "TestSupport.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vexaro {
namespace {

std::string Text(const std::filesystem::path& p)
{
    const auto bytes = test::ReadBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::filesystem::path& p, const std::string& text)
{
    test::WriteBytes(p, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(ProfileFile, NewFileHasTheSectionAndKeysInOrder)
{
    test::TempDir dir;
    ProfileFile ini(dir / "Settings.ini");
    EXPECT_EQ(ini.read("Files", "1", "002"), "002") << "no file: the default";
    for (const char* key : {"1", "2", "3"})
        ini.write("Files", key, std::string("v") + key);
    EXPECT_EQ(Text(dir / "Settings.ini"), "[Files]\r\n1=v1\r\n2=v2\r\n3=v3\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "Settings.ini.new"));
}

// The window keeps Settings.ini in its own folder or the user's data folder, whose names may
// be in any script.
TEST(ProfileFile, FolderNamedInEveryScript)
{
    for (const std::string folder : {"Café", "Тема", "Θέμα", "主题"}) {
        test::TempDir dir;
        std::filesystem::create_directories(dir / folder);
        ProfileFile ini(dir / (folder + "/Settings.ini"));
        ini.write("Files", "1", "010");
        EXPECT_EQ(ProfileFile(dir / (folder + "/Settings.ini")).read("Files", "1", "002"), "010") << folder;
    }
}

TEST(ProfileFile, NamesMatchWithoutCaseAndOtherLinesStay)
{
    test::TempDir dir;
    WriteText(dir / "s.ini",
              "; kept\r\n[Other]\r\n1=other\r\n\r\n[files]\r\nKEY=old\r\n2=two\r\n\r\n[Last]\r\nx=y\r\n");
    ProfileFile ini(dir / "s.ini");
    EXPECT_EQ(ini.read("FILES", "key", "d"), "old");
    EXPECT_EQ(ini.read("Files", "1", "d"), "d") << "a key of another section does not count";
    ini.write("Files", "key", "new");
    ini.write("Files", "3", "three");
    EXPECT_EQ(Text(dir / "s.ini"),
              "; kept\r\n[Other]\r\n1=other\r\n\r\n[files]\r\nkey=new\r\n2=two\r\n3=three\r\n\r\n[Last]\r\nx=y\r\n");
}

TEST(ProfileFile, ValuesKeepEmptinessAndAreCut)
{
    test::TempDir dir;
    const std::string longValue(3000, 'x');
    WriteText(dir / "s.ini", "[Files]\n1=\n2=  spaced  \n3=\"quoted\"\n4=" + longValue + "\n5=not a number\n");
    ProfileFile ini(dir / "s.ini");
    EXPECT_EQ(ini.read("Files", "1", "002"), "") << "present but empty is empty, not the default";
    EXPECT_EQ(ini.read("Files", "2", ""), "spaced");
    EXPECT_EQ(ini.read("Files", "3", ""), "quoted");
    EXPECT_EQ(ini.read("Files", "4", ""), std::string(2047, 'x'));
    EXPECT_EQ(ini.read("Files", "5", ""), "not a number");
}

TEST(ProfileFile, FailedWriteSaysWhereAndKeepsTheFile)
{
    test::TempDir dir;
    // A path whose folder is a file can never be written, whoever runs the test.
    WriteText(dir / "plain", "x");
    ProfileFile ini(dir / "plain" / "Settings.ini");
    try {
        ini.write("Files", "1", "v");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "plain" / "Settings.ini").string());
    }

    // A folder in the file's place reads as no file and is never written.
    std::filesystem::create_directory(dir / "folder.ini");
    ProfileFile folder(dir / "folder.ini");
    EXPECT_EQ(folder.read("Files", "1", "d"), "d");
    EXPECT_THROW(folder.write("Files", "1", "v"), Error);
}

#ifndef _WIN32
// Whether `path` took key 1 (0) or was refused with the settings file's error (1), written as
// `user`; as root, in a child process that becomes that user (and group).
int WriteAs(uid_t user, const std::filesystem::path& path)
{
    auto write = [&] {
        try {
            ProfileFile(path).write("Files", "1", "new");
            return 0;
        } catch (const Error&) {
            return 1;
        }
    };
    if (::geteuid() == user)
        return write();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::setgroups(0, nullptr) == 0 && ::setgid(user) == 0 && ::setuid(user) == 0 ? write() : 2);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
#endif

// Writability is the system's judgement for this user, not the owner's write bit: a file this
// user may not write is reported and kept. Root may write any file, so as root the writes are
// made by a child process that is another user.
TEST(ProfileFile, FileThisUserMayNotWriteIsReportedAndKept)
{
    namespace fs = std::filesystem;
    const std::string old = "[Files]\r\n1=old\r\n";
#ifdef _WIN32
    test::TempDir dir;
    WriteText(dir / "ro.ini", old);
    fs::permissions(dir / "ro.ini", fs::perms::owner_read); // the read-only mark
    EXPECT_THROW(ProfileFile(dir / "ro.ini").write("Files", "1", "new"), Error);
    EXPECT_EQ(Text(dir / "ro.ini"), old);
#else
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? 65534 : ::geteuid(); // "nobody" on Debian; any id not 0 will do
    test::TempDir dir(fs::temp_directory_path());  // a folder that user can reach
    fs::permissions(dir.path(), fs::perms::all);
    const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const struct {
        const char* name;
        bool exists;
        uid_t owner;
        fs::perms mode;
        int outcome;
    } cases[] = {
        {"new.ini", false, user, {}, 0}, // the folder itself is writable for that user
        {"read-only.ini", true, user, readable, 1},
        {"root's.ini", true, 0, readable | fs::perms::owner_write, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.owner != user && !root)
            continue; // only root can give a file to another user
        const fs::path path = dir / c.name;
        if (c.exists) {
            WriteText(path, old);
            ASSERT_EQ(::chown(path.c_str(), c.owner, c.owner), 0);
            fs::permissions(path, c.mode);
        }
        EXPECT_EQ(WriteAs(user, path), c.outcome);
        EXPECT_EQ(Text(path), c.outcome == 1 ? old : "[Files]\r\n1=new\r\n");
    }
#endif
}

// Files written by Windows tools: lone CR line ends, UTF-8 with a byte-order mark, UTF-16 of
// either byte order with one or without. Each is read, and a write keeps its encoding and
// other lines; NUL bytes are never read into a line nor written back.
TEST(ProfileFile, WindowsEncodingsAndLineEndsAreReadAndKept)
{
    using namespace std::string_literals;
    auto utf16 = [](const std::string& ascii, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : ascii)
            out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
        return out;
    };
    const std::string text = "[Other]\r\nx=y\r\n[Files]\r\n1=165\r\n2=\"0 2\"\r\n";
    const struct {
        const char* name;
        std::string bytes;
        std::string written; // after writing key 3 = "7"
    } cases[] = {
        {"lone CR", "[Other]\rx=y\r[Files]\r1=165\r2=\"0 2\"\r", text + "3=7\r\n"},
        {"UTF-8 mark", "\xEF\xBB\xBF" + text, "\xEF\xBB\xBF" + text + "3=7\r\n"},
        {"UTF-16LE", utf16(text, false), utf16(text + "3=7\r\n", false)},
        {"UTF-16BE", utf16(text, true), utf16(text + "3=7\r\n", true)},
        {"UTF-16LE without mark", utf16(text, false).substr(2), utf16(text + "3=7\r\n", false).substr(2)},
        {"UTF-16BE without mark", utf16(text, true).substr(2), utf16(text + "3=7\r\n", true).substr(2)},
        {"NUL bytes", "[Other]\r\nx=\0y\r\n[Files]\r\n1=165\0\0\r\n2=\"0 2\"\r\n"s, text + "3=7\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        WriteText(dir / "s.ini", c.bytes);
        ProfileFile ini(dir / "s.ini");
        EXPECT_EQ(ini.read("Files", "1", "d"), "165");
        EXPECT_EQ(ini.read("files", "2", "d"), "0 2");
        EXPECT_EQ(ini.read("Other", "x", "d"), "y");
        ini.write("Files", "3", "7");
        EXPECT_EQ(Text(dir / "s.ini"), c.written);
    }

    // Text beyond ASCII survives a UTF-16 file both ways.
    test::TempDir dir;
    WriteText(dir / "u.ini", std::string("\xFF\xFE[\0F\0]\0\r\0\n\0"
                                         "1\0=\0\xE9\0\x3D\xD8\x00\xDE",
                                         22));
    ProfileFile ini(dir / "u.ini");
    EXPECT_EQ(ini.read("F", "1", ""), "\xC3\xA9\xF0\x9F\x98\x80");
    ini.write("F", "2", "\xC3\xA9");
    EXPECT_EQ(Text(dir / "u.ini"), std::string("\xFF\xFE[\0F\0]\0\r\0\n\0"
                                               "1\0=\0\xE9\0\x3D\xD8\x00\xDE\r\0\n\0"
                                               "2\0=\0\xE9\0\r\0\n\0",
                                               36));
}

// A link is written through: the file it leads to is replaced in its own folder (created when
// the link leads nowhere yet), and the link stays. A loop of links is never written.
TEST(ProfileFile, LinksAreWrittenThrough)
{
    namespace fs = std::filesystem;
    test::TempDir dir;
    fs::create_directories(dir / "real");
    WriteText(dir / "real" / "vexaro.ini", "[Files]\r\n1=old\r\n");
    std::error_code ec;
    fs::create_symlink(fs::path("real") / "vexaro.ini", dir / "Settings.ini", ec);
    if (ec)
        GTEST_SKIP() << "this system makes no symbolic links (wine 8 makes none)";
    fs::create_symlink(dir / "real" / "later.ini", dir / "dangling.ini");
    fs::create_symlink("loop.ini", dir / "loop.ini");

    ProfileFile ini(dir / "Settings.ini");
    ini.write("Files", "1", "new");
    EXPECT_TRUE(fs::is_symlink(dir / "Settings.ini"));
    EXPECT_EQ(Text(dir / "real" / "vexaro.ini"), "[Files]\r\n1=new\r\n");
    ProfileFile(dir / "dangling.ini").write("Files", "1", "x");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(Text(dir / "real" / "later.ini"), "[Files]\r\n1=x\r\n");
    EXPECT_THROW(ProfileFile(dir / "loop.ini").write("Files", "1", "x"), Error);

    WriteText(dir / "real" / "vexaro.ini.new", "[Fi"); // a killed write's file, beside the file
    ini.removeUnfinishedWrite();
    EXPECT_FALSE(fs::exists(dir / "real" / "vexaro.ini.new"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
              4); // nothing beside the links
}

TEST(ProfileFile, TemporaryFileOfAKilledWriteIsRemoved)
{
    test::TempDir dir;
    WriteText(dir / "Settings.ini", "[Files]\r\n1=old\r\n");
    WriteText(dir / "Settings.ini.new", "[Files]\r\n1=ha");
    ProfileFile ini(dir / "Settings.ini");
    ini.removeUnfinishedWrite();
    EXPECT_FALSE(std::filesystem::exists(dir / "Settings.ini.new"));
    EXPECT_EQ(Text(dir / "Settings.ini"), "[Files]\r\n1=old\r\n");
    ini.removeUnfinishedWrite(); // nothing left: nothing happens
}

} // namespace
} // namespace vexaro
