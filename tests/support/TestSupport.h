#pragma once
// Helpers shared by every test program.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bitmap/Bitmap.h"
#include "base/Unicode.h"

namespace vexaro::test {

// The shared corpus folder, or an empty path when it is absent.
std::filesystem::path CorpusDir();

// Use at the top of a corpus test: skips with a message when the corpus is absent, and fails
// instead when the run is under CI (CI=true).
#define VEXARO_REQUIRE_CORPUS()                                                                                        \
    do {                                                                                                               \
        if (::vexaro::test::CorpusDir().empty()) {                                                                     \
            if (::vexaro::test::UnderCi())                                                                             \
                FAIL() << "the shared corpus is missing, and CI needs it";                                             \
            GTEST_SKIP() << "the shared corpus (../shared/corpus) is absent: test skipped";                            \
        }                                                                                                              \
    } while (0)

bool UnderCi();

// A fresh empty folder for one test, removed when the object goes.
class TempDir {
public:
    TempDir();
    // One in `base` instead of the tests' own folder.
    explicit TempDir(const std::filesystem::path& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // `name` is UTF-8, as every name the tests give.
    std::filesystem::path operator/(const std::string& name) const { return path_ / PathFromUtf8(name); }

private:
    std::filesystem::path path_;
};

#ifdef _WIN32
// Holds an existing file open, sharing it with nobody, for the lifetime of the object: the
// Windows way to have a file that is there but cannot be opened, read or deleted.
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    void* handle_;
};
#endif

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::string Sha256Hex(const std::vector<std::uint8_t>& bytes);

// Pictures for tests: a 24-bit picture whose every pixel is paint(x, y).
template <class F>
Bitmap Paint(int w, int h, F paint)
{
    Bitmap b;
    b.reset(w, h, PixelFormat::Bits24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, paint(x, y));
    return b;
}

} // namespace vexaro::test
