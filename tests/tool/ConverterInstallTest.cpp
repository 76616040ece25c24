#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool/ConverterImage.h"
#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "TestSupport.h"
#include "ProcessRunner.h"
#include "ProcessState.h"

namespace vexaro::test {
// Generated from the child helper program by the same build step that carries the converter.
extern const unsigned char kEmbeddedSample[];
extern const std::size_t kEmbeddedSampleSize;
// Generated from an empty file.
extern const unsigned char kEmbeddedEmpty[];
extern const std::size_t kEmbeddedEmptySize;
} // namespace vexaro::test

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::span<const unsigned char> Sample() { return {test::kEmbeddedSample, test::kEmbeddedSampleSize}; }

// Runs `program` and gives its exit status, or -1 when it did not start or exit normally.
int ExitStatusOf(const fs::path& program, const std::vector<std::string>& arguments)
{
    return test::RunProcess(program, arguments, program.parent_path()).exitCode;
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

std::string Message(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(EmbedFile, CarriesTheFileByteForByte)
{
    const std::vector<std::uint8_t> original = test::ReadBytes(VEXARO_CHILD_HELPER);
    ASSERT_EQ(test::kEmbeddedSampleSize, original.size());
    EXPECT_TRUE(std::equal(original.begin(), original.end(), test::kEmbeddedSample));
    EXPECT_EQ(test::kEmbeddedEmptySize, 0u);
}

TEST(InstallConverter, WritesAWorkingProgramIntoAnEmptyFolder)
{
    TempDir dir;
    EXPECT_TRUE(InstallConverter(dir.path(), Sample()));
    const fs::path written = dir / "bmconv.exe";
    EXPECT_EQ(test::ReadBytes(written), test::ReadBytes(VEXARO_CHILD_HELPER));
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"bmconv.exe"}); // no temporary left
    EXPECT_NE(fs::status(written).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_EQ(ExitStatusOf(written, {"quiet"}), 0);
}

TEST(InstallConverter, LeavesAnExistingFileAlone)
{
    TempDir dir;
    const fs::path existing = dir / "bmconv.exe";
    test::WriteBytes(existing, {'o', 'l', 'd'});
    const auto stamp = fs::last_write_time(existing);
    EXPECT_FALSE(InstallConverter(dir.path(), Sample()));
    EXPECT_EQ(test::ReadBytes(existing), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(fs::last_write_time(existing), stamp);

    // Whatever kind of entry holds the name.
    TempDir other;
    fs::create_directory(other / "bmconv.exe");
    EXPECT_FALSE(InstallConverter(other.path(), Sample()));
    EXPECT_TRUE(fs::is_directory(other / "bmconv.exe"));
    EXPECT_EQ(Names(other.path()), std::vector<std::string>{"bmconv.exe"});
}

// An installed copy brings the converter in its workspace up to its own, and writes nothing
// when it is already there.
TEST(InstallConverter, ReplacesOnlyADifferentConverterWhenAsked)
{
    const std::vector<std::uint8_t> sample(Sample().begin(), Sample().end());
    std::vector<std::uint8_t> longer = sample;
    longer.push_back(0);
    const struct {
        const char* what;
        std::optional<std::vector<std::uint8_t>> existing;
        bool writes;
    } cases[] = {
        {"missing", std::nullopt, true},
        {"the same bytes", sample, false},
        {"other bytes", std::vector<std::uint8_t>{'o', 'l', 'd'}, true},
        {"the same bytes and more", longer, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path target = dir / "bmconv.exe";
        fs::file_time_type stamp;
        if (c.existing) {
            test::WriteBytes(target, *c.existing);
            fs::last_write_time(target, fs::file_time_type::clock::now() - std::chrono::hours(1));
            stamp = fs::last_write_time(target); // as the file system keeps it
        }
        EXPECT_EQ(InstallConverter(dir.path(), Sample(), ExistingConverter::ReplaceIfDifferent), c.writes);
        EXPECT_EQ(test::ReadBytes(target), sample);
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"bmconv.exe"});
        if (!c.writes) {
            EXPECT_EQ(fs::last_write_time(target), stamp);
        }
    }
}

TEST(InstallConverter, FolderThatCannotHoldItGivesTheCannotCreateMessage)
{
    TempDir dir;
    test::WriteBytes(dir / "plain-file", {'x'});
    const fs::path underFile = dir / "plain-file";
#ifdef _WIN32
    const std::string notAFolder = "No such file or directory"; // Windows names no other reason
#else
    const std::string notAFolder = "Not a directory";
#endif
    EXPECT_EQ(Message([&] { InstallConverter(underFile, Sample()); }),
              "Cannot create file \"" + (underFile / "bmconv.exe").string() + "\". " + notAFolder);
    const fs::path missing = dir / "missing";
    EXPECT_EQ(Message([&] { InstallConverter(missing, Sample()); }),
              "Cannot create file \"" + (missing / "bmconv.exe").string() + "\". No such file or directory");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"plain-file"});
}

TEST(InstallConverter, ReadOnlyFolderGivesTheCannotCreateMessageAndLeavesNothing)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows folders have no write permission to take away (read-only marks only files)";
#else
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which writes into read-only folders";
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(Message([&] { InstallConverter(dir.path(), Sample()); }),
              "Cannot create file \"" + (dir / "bmconv.exe").string() + "\". Permission denied");
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(dir.path()));
#endif
}

// A file size limit cuts the writing short, as a full disk would: the half-written file is
// removed and nothing takes the name.
TEST(InstallConverter, FailedWriteLeavesNoFileBehind)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit per process to cut a write short";
#else
    TempDir dir;
    ASSERT_GT(Sample().size(), 4096u);
    std::string message;
    {
        test::FileSizeLimit limit(4096);
        message = Message([&] { InstallConverter(dir.path(), Sample()); });
    }
    EXPECT_EQ(message, "Cannot create file \"" + (dir / "bmconv.exe").string() + "\". File too large");
    EXPECT_TRUE(fs::is_empty(dir.path()));
#endif
}

TEST(InstallConverter, CarriedConverterRuns)
{
#ifndef VEXARO_HAVE_CONVERTER
    TempDir dir;
    EXPECT_EQ(kConverterImageSize, 0u);
    EXPECT_EQ(Message([&] { InstallConverter(dir.path()); }),
              "Cannot create file \"" + (dir / "bmconv.exe").string() + "\". This build carries no converter program");
    EXPECT_TRUE(fs::is_empty(dir.path()));
#else
    TempDir dir;
    ASSERT_GT(kConverterImageSize, 0u);
    EXPECT_TRUE(InstallConverter(dir.path()));
    EXPECT_EQ(fs::file_size(dir / "bmconv.exe"), kConverterImageSize);
    EXPECT_EQ(ExitStatusOf(dir / "bmconv.exe", {}), 0);
    EXPECT_FALSE(InstallConverter(dir.path()));
#endif
}

} // namespace
} // namespace vexaro
