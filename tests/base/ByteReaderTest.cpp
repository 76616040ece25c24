// The one byte source and its checked reader: a file gives what the same bytes in memory give,
// whatever its window holds; memory is read in place; a file cut short says so in its reader's
// words.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    return bytes;
}

TEST(ByteReader, FileGivesWhatMemoryGives)
{
    test::TempDir dir;
    const std::vector<std::uint8_t> bytes = Pattern(3 * ByteReader::kWindowBytes + 100);
    test::WriteBytes(dir / "data", bytes);
    PositionedFile file;
    int error = 0;
    ASSERT_EQ(file.open(dir / "data", error), ReadFailure::None);
    const ByteReader memory(bytes);
    const ByteReader fromFile(ByteSource(file, "unused"));
    const std::uint64_t size = bytes.size(), window = ByteReader::kWindowBytes;
    const struct {
        std::uint64_t offset, length;
    } reads[] = {
        {0, 4},        {window - 2, 4},      {10, 2 * window}, {5, 3},
        {size - 4, 4}, {size - 3, 4},        {size, 0},        {size + 1, 0},
        {2, 0},        {window + 7, window}, {window + 9, 16}, {std::numeric_limits<std::uint64_t>::max() - 1, 4},
    };
    for (const auto& r : reads) {
        SCOPED_TRACE(testing::Message() << "offset " << r.offset << ", length " << r.length);
        const bool inside = r.offset <= size && r.length <= size - r.offset;
        EXPECT_EQ(fromFile.has(r.offset, r.length), inside);
        EXPECT_EQ(fromFile.u32(r.offset), memory.u32(r.offset));
        EXPECT_EQ(fromFile.u16(r.offset), memory.u16(r.offset));
        const auto viewed = fromFile.bytes(r.offset, r.length);
        ASSERT_EQ(viewed.has_value(), inside);
        std::vector<std::uint8_t> copied(static_cast<std::size_t>(r.length));
        if (!inside) {
            EXPECT_THROW(fromFile.read(r.offset, copied), Error);
            continue;
        }
        const auto expected = bytes.begin() + static_cast<std::ptrdiff_t>(r.offset);
        EXPECT_TRUE(std::equal(viewed->begin(), viewed->end(), expected));
        fromFile.read(r.offset, copied);
        EXPECT_TRUE(std::equal(copied.begin(), copied.end(), expected));
    }
}

TEST(ByteReader, ReadsMemoryInPlace)
{
    const std::vector<std::uint8_t> bytes = Pattern(100);
    const ByteReader reader(bytes);
    EXPECT_EQ(reader.bytes(3, 90)->data(), bytes.data() + 3);
}

TEST(ByteReader, FileCutShortAfterItWasOpened)
{
    test::TempDir dir;
    test::WriteBytes(dir / "data", Pattern(100));
    PositionedFile file;
    int error = 0;
    ASSERT_EQ(file.open(dir / "data", error), ReadFailure::None);
    std::filesystem::resize_file(dir / "data", 10);
    const ByteReader reader(ByteSource(file, "Cannot read file \"data\". "));
    try {
        (void)reader.u32(20);
        FAIL() << "read past the new end";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot read file \"data\". The file became shorter while it was read");
    }
}

} // namespace
} // namespace vexaro
