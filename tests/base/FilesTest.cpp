// The one capped whole-file read: every byte of a file, and refusals that never block or read
// without end.
#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "base/Files.h"
#include "TestSupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vexaro {
namespace {

TEST(ReadFileCapped, KeepsEveryByteUpToTheCap)
{
    test::TempDir dir;
    std::vector<std::uint8_t> bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    test::WriteBytes(dir / "data", bytes);
    test::WriteBytes(dir / "empty", {});

    EXPECT_EQ(ReadFileCapped(dir / "data", bytes.size()).bytes, bytes);
    const FileBytes empty = ReadFileCapped(dir / "empty", 0);
    EXPECT_TRUE(empty);
    EXPECT_TRUE(empty.bytes.empty());

    const FileBytes over = ReadFileCapped(dir / "data", bytes.size() - 1);
    EXPECT_EQ(over.failure, ReadFailure::TooLarge);
    EXPECT_TRUE(over.bytes.empty());
    EXPECT_EQ(ReadFailureReason(over, 99), "Larger than 99 bytes");
}

TEST(ReadFileCapped, RefusesWhatIsNoRegularFile)
{
    test::TempDir dir;
    const FileBytes missing = ReadFileCapped(dir / "missing", 100);
    EXPECT_EQ(missing.failure, ReadFailure::CannotOpen);
    EXPECT_EQ(missing.error, ENOENT);

    EXPECT_EQ(ReadFileCapped(dir.path(), 100).failure, ReadFailure::NotAFile);
    EXPECT_FALSE(IsRegularFile(dir.path()));
#ifndef _WIN32
    // A FIFO with no writer would block an ordinary open for ever; a device would read for ever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadFileCapped(dir / "fifo", 100).failure, ReadFailure::NotAFile);
    EXPECT_EQ(ReadFileCapped("/dev/zero", 100).failure, ReadFailure::NotAFile);
    EXPECT_FALSE(IsRegularFile("/dev/zero"));
#endif
}

} // namespace
} // namespace vexaro
