#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "tool/ChildProcess.h"
#include "TestSupport.h"
#include "ProcessState.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::CurrentDirectory;
using test::TempDir;

// The helper program lies beside this test program, so a bare name finds it there.
const std::string kHelper = VEXARO_CHILD_HELPER_NAME;

// What this process holds open: its descriptors, or on Windows its handles.
auto Held()
{
#ifdef _WIN32
    return test::OpenHandles();
#else
    return test::OpenDescriptors();
#endif
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RunChildProcess, MissingProgramReturnsLeavingNoDescriptorOpen)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const auto before = Held();
    for (const char* line : {"no-such-program-vexaro.exe Nokia\\mbm.txt", "missing/in/a/folder.exe", "", "   "}) {
        const ChildResult result = RunChildProcess(line, kShowHidden);
        EXPECT_FALSE(result.started) << line;
        EXPECT_EQ(result.failure, "not found") << line;
    }
    EXPECT_EQ(Held(), before);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// The caller learns how the child ended and what it said on its error output.
TEST(RunChildProcess, GivesExitStatusAndErrorOutput)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const ChildResult quiet = RunChildProcess(kHelper + " quiet", kShowHidden);
    EXPECT_TRUE(quiet.succeeded());
    EXPECT_EQ(quiet.errorOutput, "");

    const ChildResult failed = RunChildProcess(kHelper + " fail 3 bitmap-5-damaged", kShowHidden);
    EXPECT_TRUE(failed.started);
    EXPECT_FALSE(failed.succeeded());
    EXPECT_EQ(failed.exitStatus, 3);
    // As written; the line end is CR LF on Windows, where the runtime translates it.
    EXPECT_EQ(failed.errorOutput.substr(0, 16), "bitmap-5-damaged");

    // Megabytes of error output are drained to the end; the first kMaxErrorOutput bytes are kept.
    const ChildResult flood = RunChildProcess(kHelper + " flood 1 done.txt", kShowHidden);
    EXPECT_TRUE(flood.succeeded());
    EXPECT_EQ(flood.errorOutput.size(), kMaxErrorOutput);
}

// A script without execute permission; on Windows, where no such permission exists, a text
// file that merely carries a program's name.
TEST(RunChildProcess, NonExecutableFileIsNotStarted)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    std::ofstream("script.exe") << "#!/bin/sh\necho x > ran.txt\n";
#ifndef _WIN32
    fs::permissions("script.exe", fs::perms::owner_read | fs::perms::owner_write);
#endif
    const auto before = Held();
    RunChildProcess("./script.exe", kShowHidden);
    EXPECT_EQ(Held(), before);
    EXPECT_FALSE(fs::exists("ran.txt"));
}

TEST(RunChildProcess, ChildThatWritesNothingReturnsWhenItEnds)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const auto before = Held();
    RunChildProcess(kHelper + " quiet", kShowHidden);
    // The same program in probe mode shows that the call really ran it.
    RunChildProcess(kHelper + " probe report.txt", kShowHidden);
    EXPECT_TRUE(fs::exists("report.txt"));
    EXPECT_EQ(Held(), before);
}

// The child alternates 4 KiB pieces between its two outputs, far beyond what a pipe holds; a
// runner that read only one pipe, or one after the other, would leave it blocked until its
// 30-second alarm ends it without the "done" file.
TEST(RunChildProcess, DrainsMegabytesOnBothOutputs)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const auto before = Held();
    RunChildProcess(kHelper + " flood 4 done.txt", kShowHidden);
    EXPECT_EQ(ReadText("done.txt"), "done\n");
    EXPECT_EQ(Held(), before);
}

#ifdef _WIN32

// The child is given an empty environment, the null device as input whatever ours is, and
// pipes as outputs.
TEST(RunChildProcess, ChildSeesNoEnvironmentNoInputAndPipesAsOutputs)
{
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    test::EnvironmentVariable variable("VEXARO_PROBE_VARIABLE", "visible");

    // Our own standard input is an inheritable pipe that holds data for the time of the call.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inputRead = nullptr;
    HANDLE inputWrite = nullptr;
    ASSERT_TRUE(::CreatePipe(&inputRead, &inputWrite, &inheritable, 0));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(inputWrite, "secret", 6, &written, nullptr));
    ::CloseHandle(inputWrite);
    const HANDLE savedInput = ::GetStdHandle(STD_INPUT_HANDLE);
    ::SetStdHandle(STD_INPUT_HANDLE, inputRead);

    RunChildProcess(kHelper + " probe report.txt", kShowHidden);

    ::SetStdHandle(STD_INPUT_HANDLE, savedInput);
    ::CloseHandle(inputRead);

    std::istringstream report(ReadText("report.txt"));
    std::string line;
    std::getline(report, line);
    std::istringstream names(line);
    std::string name;
    names >> name;
    EXPECT_EQ(name, "environment");
    // Wine gives every process a few variables of its own; none of ours may come through.
    while (names >> name)
        EXPECT_TRUE(name.starts_with("WINE") || name == "SystemDrive" || name == "SystemRoot") << name;
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(report), std::istreambuf_iterator<char>()),
              "input 0\n"
              "stdin char\n" // the null device
              "stdout pipe\n"
              "stderr pipe\n");
}

#else

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

    EXPECT_EQ(ReadText("report.txt"), "environment\n"
                                      "input 0\n"
                                      "stdin chr\n"
                                      "stdout fifo\n"
                                      "stderr fifo\n"
                                      "fds 0 1 2\n");
}

#endif

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

// Which copy of the helper a run started: each writes its own path into the report.
fs::path Ran(const fs::path& report)
{
    const std::string path = ReadText(report);
    return path.empty() ? fs::path() : fs::canonical(path);
}

TEST(RunChildProcess, BareNameIsLookedUpInProgramFolderThenCurrentDirectoryThenPath)
{
    TempDir work;
    TempDir onPath;
    const fs::path helper = fs::canonical(VEXARO_CHILD_HELPER);
    // Copies further down the search order must lose to the ones before them.
    fs::copy_file(helper, work / kHelper);
    fs::copy_file(helper, work / "here-helper.exe");
    fs::copy_file(helper, onPath / "here-helper.exe");
    fs::copy_file(helper, onPath / "path-helper.exe");
    fs::create_directories(work / "sub");
    fs::copy_file(helper, work / "sub" / "sub-helper.exe");
    test::EnvironmentVariable path("PATH", onPath.str());
    CurrentDirectory cwd(work.path());

    RunChildProcess(kHelper + " where from-program-folder.txt", kShowHidden);
    RunChildProcess("here-helper.exe where from-current.txt", kShowHidden);
    RunChildProcess("path-helper.exe where from-path.txt", kShowHidden);
    RunChildProcess("sub\\sub-helper.exe where from-sub.txt", kShowHidden);

    EXPECT_EQ(Ran(work / "from-program-folder.txt"), helper);
    EXPECT_EQ(Ran(work / "from-current.txt"), work / "here-helper.exe");
    EXPECT_EQ(Ran(work / "from-path.txt"), onPath / "path-helper.exe");
    EXPECT_EQ(Ran(work / "from-sub.txt"), work / "sub" / "sub-helper.exe");

    // The losing copies themselves run when named with their paths.
    const std::string here = std::string(".") + static_cast<char>(fs::path::preferred_separator);
    RunChildProcess(here + kHelper + " where named-current.txt", kShowHidden);
    RunChildProcess((onPath / "here-helper.exe").string() + " where named-path.txt", kShowHidden);
    EXPECT_EQ(Ran(work / "named-current.txt"), work / kHelper);
    EXPECT_EQ(Ran(work / "named-path.txt"), onPath / "here-helper.exe");
}

} // namespace
} // namespace vexaro
