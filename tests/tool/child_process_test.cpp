#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "ProcessState.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::CurrentDirectory;
using test::OpenDescriptors;
using test::TempDir;

// The helper program lies beside this test program, so a bare name finds it there.
const std::string kHelper = VEXARO_CHILD_HELPER_NAME;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RunChildProcess, MissingProgramReturnsLeavingNoDescriptorOpen)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const auto before = OpenDescriptors();
    RunChildProcess("no-such-program-vexaro.exe Nokia\\mbm.txt", kShowHidden);
    RunChildProcess("missing/in/a/folder.exe", kShowHidden);
    RunChildProcess("", kShowHidden);
    RunChildProcess("   ", kShowHidden);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(RunChildProcess, NonExecutableFileIsNotStarted)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    std::ofstream("script.exe") << "#!/bin/sh\necho x > ran.txt\n";
    fs::permissions("script.exe", fs::perms::owner_read | fs::perms::owner_write);
    const auto before = OpenDescriptors();
    RunChildProcess("./script.exe", kShowHidden);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_FALSE(fs::exists("ran.txt"));
}

TEST(RunChildProcess, ChildThatWritesNothingReturnsWhenItEnds)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const auto before = OpenDescriptors();
    RunChildProcess(kHelper + " quiet", kShowHidden);
    // The same program in probe mode shows that the call really ran it.
    RunChildProcess(kHelper + " probe report.txt", kShowHidden);
    EXPECT_TRUE(fs::exists("report.txt"));
    EXPECT_EQ(OpenDescriptors(), before);
}

// The child alternates 4 KiB pieces between its two outputs, far beyond what a pipe holds; a
// runner that read only one pipe, or one after the other, would leave it blocked until its
// 30-second alarm ends it without the "done" file.
TEST(RunChildProcess, DrainsMegabytesOnBothOutputs)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const auto before = OpenDescriptors();
    RunChildProcess(kHelper + " flood 4 done.txt", kShowHidden);
    EXPECT_EQ(ReadText("done.txt"), "done\n");
    EXPECT_EQ(OpenDescriptors(), before);
}

// The child is given an empty environment, the null device as input whatever ours is, pipes
// as outputs, and no descriptor beyond those three (an inheritable one of ours included).
TEST(RunChildProcess, ChildSeesNoEnvironmentNoInputAndOnlyItsThreeDescriptors)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    test::EnvironmentVariable variable("VEXARO_PROBE_VARIABLE", "visible");

    // Our own standard input holds data for the time of the call.
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::write(input[1], "secret", 6), 6);
    ::close(input[1]);
    const int savedInput = ::dup(STDIN_FILENO);
    ASSERT_GE(savedInput, 0);
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[0]);
    // And a descriptor without close-on-exec.
    const int inheritable = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(inheritable, 0);

    RunChildProcess(kHelper + " probe report.txt", kShowHidden);

    ::close(inheritable);
    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);

    EXPECT_EQ(ReadText("report.txt"),
              "environment 0\n"
              "input 0\n"
              "stdin chr\n"
              "stdout fifo\n"
              "stderr fifo\n"
              "fds 0 1 2\n");
}

// "bmconv.exe Nokia\mbm.txt" works because the child starts where the caller stands.
TEST(RunChildProcess, RelativePathsResolveInTheCurrentDirectory)
{
    TempDir dir;
    fs::create_directories(dir / "Nokia");
    std::ofstream(dir / "Nokia" / "mbm.txt", std::ios::binary) << "/u Nokia\\temp.mbm\r\n";
    CurrentDirectory cwd(dir.path());
    RunChildProcess(kHelper + "   copy\tNokia/mbm.txt copied.txt", kShowHidden);
    EXPECT_EQ(ReadText(dir / "copied.txt"), "/u Nokia\\temp.mbm\r\n");
}

void WriteScript(const fs::path& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
}

TEST(RunChildProcess, BareNameIsLookedUpInProgramFolderThenCurrentDirectoryThenPath)
{
    TempDir work;
    TempDir onPath;
    // Decoys further down the search order, which would leave "wrong-*" files if chosen.
    WriteScript(work / kHelper, "echo > wrong-current.txt");
    WriteScript(onPath / "here-helper.exe", "echo > wrong-path.txt");
    fs::copy_file(VEXARO_CHILD_HELPER, work / "here-helper.exe");
    fs::copy_file(VEXARO_CHILD_HELPER, onPath / "path-helper.exe");
    fs::create_directories(work / "sub");
    fs::copy_file(VEXARO_CHILD_HELPER, work / "sub" / "sub-helper.exe");
    test::EnvironmentVariable path("PATH", onPath.str());
    CurrentDirectory cwd(work.path());

    RunChildProcess(kHelper + " probe from-program-folder.txt", kShowHidden);
    RunChildProcess("here-helper.exe probe from-current.txt", kShowHidden);
    RunChildProcess("path-helper.exe probe from-path.txt", kShowHidden);
    RunChildProcess("sub\\sub-helper.exe probe from-sub.txt", kShowHidden);

    EXPECT_TRUE(fs::exists(work / "from-program-folder.txt"));
    EXPECT_TRUE(fs::exists(work / "from-current.txt"));
    EXPECT_TRUE(fs::exists(work / "from-path.txt"));
    EXPECT_TRUE(fs::exists(work / "from-sub.txt"));
    EXPECT_FALSE(fs::exists(work / "wrong-current.txt"));
    EXPECT_FALSE(fs::exists(work / "wrong-path.txt"));

    // The decoys themselves run when named with their paths.
    RunChildProcess("./" + kHelper, kShowHidden);
    RunChildProcess((onPath / "here-helper.exe").string(), kShowHidden);
    EXPECT_TRUE(fs::exists(work / "wrong-current.txt"));
    EXPECT_TRUE(fs::exists(work / "wrong-path.txt"));
}

} // namespace
} // namespace vexaro
