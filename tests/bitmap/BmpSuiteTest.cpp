// The BMP reader against every file of the BMP Suite corpus and its manifest of reference
// decodings (manifest.tsv: rgb_sha256 = SHA-256 of the top-down RGB24 pixels).
//   g/  good files: each decodes to its reference.
//   q/  questionable files, x/ the bitmap-array container: each decodes to its reference
//       where it has one, and is refused otherwise.
//   b/  bad files: each is refused, or decodes without reading outside the file's bytes
//       (and then matches the reference where one exists).
// Where the reader offers a file's pixels in place (ViewBmpPixels), they are the decoded ones.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;

struct SuiteEntry {
    std::string file;  // relative to the suite folder, e.g. "g/pal1.bmp"
    std::string klass; // g, q, b or x
    int width = 0;     // as stored: may be negative
    int height = 0;
    std::string rgbSha256; // empty: no reference decoding
};

fs::path SuiteDir() { return test::CorpusDir() / "bmpsuite"; }

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, '\t'))
        cells.push_back(cell);
    if (!line.empty() && line.back() == '\t')
        cells.emplace_back();
    return cells;
}

std::vector<SuiteEntry> ReadManifest()
{
    std::ifstream in(SuiteDir() / "manifest.tsv");
    if (!in)
        throw std::runtime_error("cannot read bmpsuite/manifest.tsv");
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = SplitTabs(line);
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < header.size(); ++i)
        column[header[i]] = i;
    for (const char* name : {"file", "class", "width", "height", "rgb_sha256"})
        if (column.count(name) == 0)
            throw std::runtime_error(std::string("manifest.tsv has no column ") + name);
    std::vector<SuiteEntry> entries;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const std::vector<std::string> cells = SplitTabs(line);
        const auto cell = [&](const char* name) {
            const std::size_t i = column.at(name);
            return i < cells.size() ? cells[i] : std::string();
        };
        SuiteEntry e;
        e.file = cell("file");
        e.klass = cell("class");
        e.width = std::stoi(cell("width"));
        e.height = std::stoi(cell("height"));
        e.rgbSha256 = cell("rgb_sha256");
        entries.push_back(e);
    }
    return entries;
}

// A file's bytes placed to end exactly where an unreadable page begins, so that a read past
// the end faults at once in every build, not only under AddressSanitizer.
class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<std::uint8_t>& bytes) : size_(bytes.size())
    {
#ifdef _WIN32
        SYSTEM_INFO system{};
        ::GetSystemInfo(&system);
        const auto page = static_cast<std::size_t>(system.dwPageSize);
#else
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
#endif
        const std::size_t dataPages = (bytes.size() + page - 1) / page;
        length_ = (dataPages + 1) * page;
#ifdef _WIN32
        void* base = ::VirtualAlloc(nullptr, length_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (base == nullptr)
            throw std::runtime_error("VirtualAlloc failed");
        base_ = static_cast<std::uint8_t*>(base);
        DWORD previous = 0;
        if (!::VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &previous))
            throw std::runtime_error("VirtualProtect failed");
#else
        void* base = ::mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            throw std::runtime_error("mmap failed");
        base_ = static_cast<std::uint8_t*>(base);
        if (::mprotect(base_ + dataPages * page, page, PROT_NONE) != 0)
            throw std::runtime_error("mprotect failed");
#endif
        data_ = base_ + dataPages * page - bytes.size();
        if (!bytes.empty())
            std::memcpy(data_, bytes.data(), bytes.size());
    }
#ifdef _WIN32
    ~GuardedBytes() { ::VirtualFree(base_, 0, MEM_RELEASE); }
#else
    ~GuardedBytes() { ::munmap(base_, length_); }
#endif
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    std::span<const std::uint8_t> span() const { return {data_, size_}; }

private:
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t length_ = 0;
    std::size_t size_ = 0;
};

enum class Outcome { Decoded, Refused };

// Decodes a suite file from guarded memory. A refusal must carry the reader's one message.
// The pixels seen in place in the file, where the reader offers that, are the decoded ones.
Outcome Decode(const SuiteEntry& e, Bitmap& out)
{
    const GuardedBytes bytes(test::ReadBytes(SuiteDir() / e.file));
    try {
        DecodeBmp(bytes.span(), out);
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), kBitmapNotValid);
        EXPECT_THROW(ViewBmpPixels(bytes.span()), Error);
        return Outcome::Refused;
    }
    if (const std::optional<PixelRows> view = ViewBmpPixels(bytes.span())) {
        EXPECT_EQ(view->width, out.width());
        EXPECT_EQ(view->height, out.height());
        int differing = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                differing += PixelAt(*view, x, y) != out.pixel(x, y) ? 1 : 0;
        EXPECT_EQ(differing, 0) << "pixels seen in place differ from the decoded ones";
    }
    return Outcome::Decoded;
}

void ExpectReference(const SuiteEntry& e, const Bitmap& b)
{
    EXPECT_EQ(b.width(), std::abs(e.width));
    EXPECT_EQ(b.height(), e.height);
    EXPECT_EQ(test::Sha256Hex(b.toRgb()), e.rgbSha256);
}

std::vector<SuiteEntry> EntriesOf(const std::string& klass)
{
    std::vector<SuiteEntry> out;
    for (const SuiteEntry& e : ReadManifest())
        if (e.klass == klass)
            out.push_back(e);
    return out;
}

TEST(BmpSuite, ManifestListsEveryFileInTheFolders)
{
    VEXARO_REQUIRE_CORPUS();
    std::set<std::string> onDisk;
    for (const auto& entry : fs::recursive_directory_iterator(SuiteDir()))
        if (entry.is_regular_file() && entry.path().extension() == ".bmp")
            onDisk.insert(entry.path().lexically_relative(SuiteDir()).generic_string());
    std::set<std::string> listed;
    for (const SuiteEntry& e : ReadManifest()) {
        EXPECT_TRUE(listed.insert(e.file).second) << e.file << " is listed twice";
        EXPECT_EQ(e.file.substr(0, 2), e.klass + "/") << e.file;
    }
    EXPECT_EQ(onDisk, listed);
    // The good class is complete: its count is what the suite publishes.
    EXPECT_EQ(EntriesOf("g").size(), 27u);
}

TEST(BmpSuite, GoodFilesDecodeToTheirReference)
{
    VEXARO_REQUIRE_CORPUS();
    for (const SuiteEntry& e : EntriesOf("g")) {
        SCOPED_TRACE(e.file);
        ASSERT_FALSE(e.rgbSha256.empty());
        Bitmap b;
        ASSERT_EQ(Decode(e, b), Outcome::Decoded);
        ExpectReference(e, b);
    }
}

TEST(BmpSuite, QuestionableFilesDecodeToTheirReferenceOrAreRefused)
{
    VEXARO_REQUIRE_CORPUS();
    std::vector<SuiteEntry> entries = EntriesOf("q");
    const std::vector<SuiteEntry> arrays = EntriesOf("x");
    entries.insert(entries.end(), arrays.begin(), arrays.end());
    ASSERT_FALSE(entries.empty());
    for (const SuiteEntry& e : entries) {
        SCOPED_TRACE(e.file);
        Bitmap b;
        const Outcome outcome = Decode(e, b);
        if (e.rgbSha256.empty()) {
            EXPECT_EQ(outcome, Outcome::Refused);
        } else {
            ASSERT_EQ(outcome, Outcome::Decoded);
            ExpectReference(e, b);
        }
    }
}

TEST(BmpSuite, BadFilesAreRefusedOrStayWithinTheFile)
{
    VEXARO_REQUIRE_CORPUS();
    const std::vector<SuiteEntry> entries = EntriesOf("b");
    ASSERT_FALSE(entries.empty());
    for (const SuiteEntry& e : entries) {
        SCOPED_TRACE(e.file);
        Bitmap b;
        if (Decode(e, b) == Outcome::Refused)
            continue;
        // Decoded: the picture is whole, and right where a reference exists.
        EXPECT_EQ(b.pixelBytes().size(), b.stride() * static_cast<std::size_t>(b.height()));
        if (!e.rgbSha256.empty())
            ExpectReference(e, b);
    }
}

// Every file, cut short at every length, is refused with the message or decodes; none reads
// past the bytes it was given.
TEST(BmpSuite, TruncatedFilesNeverReadPastTheirEnd)
{
    VEXARO_REQUIRE_CORPUS();
    for (const SuiteEntry& e : ReadManifest()) {
        SCOPED_TRACE(e.file);
        const std::vector<std::uint8_t> whole = test::ReadBytes(SuiteDir() / e.file);
        const std::size_t step = std::max<std::size_t>(1, whole.size() / 97);
        for (std::size_t n = 1; n < whole.size(); n += (n < 200 ? 1 : step)) {
            const GuardedBytes cut({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)});
            Bitmap b;
            try {
                DecodeBmp(cut.span(), b);
            } catch (const Error& error) {
                ASSERT_STREQ(error.what(), kBitmapNotValid) << "cut at " << n;
            }
        }
    }
}

} // namespace
} // namespace vexaro
