#include "TestSupport.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#include "ProcessState.h"
#else
#include <unistd.h>
#endif

namespace vexaro::test {

namespace fs = std::filesystem;

fs::path CorpusDir()
{
    const fs::path dir = VEXARO_CORPUS_DIR;
    std::error_code ec;
    if (fs::is_directory(dir / "mbm", ec) && fs::is_directory(dir / "sis", ec) &&
        fs::is_directory(dir / "bmpsuite", ec))
        return fs::canonical(dir, ec);
    return {};
}

namespace {

int ProcessId()
{
#ifdef _WIN32
    return ::_getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

} // namespace

#ifdef _WIN32
void SetEnvironment(const std::string& name, const char* value)
{
    ::_putenv_s(name.c_str(), value != nullptr ? value : "");
    ::SetEnvironmentVariableA(name.c_str(), value);
}

std::set<std::uintptr_t> OpenHandles()
{
    // Handle values are multiples of four, and a new handle takes a low free one; the tests'
    // processes hold a few dozen at most. (Wine counts no handles in GetProcessHandleCount.)
    std::set<std::uintptr_t> open;
    DWORD flags = 0;
    for (std::uintptr_t value = 4; value < 0x2000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            open.insert(value);
    return open;
}

HeldFile::HeldFile(const fs::path& path)
    : handle_(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
{
    if (handle_ == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot hold test file " + path.string());
}

HeldFile::~HeldFile() { ::CloseHandle(handle_); }
#endif

bool UnderCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

namespace {

fs::path TestFolder()
{
    if (const char* t = std::getenv("VEXARO_TEST_TMP"); t != nullptr && *t != '\0')
        return t;
    return fs::temp_directory_path();
}

} // namespace

TempDir::TempDir() : TempDir(TestFolder()) {}

TempDir::TempDir(const fs::path& base)
{
    static std::atomic<unsigned> counter{0};
    fs::create_directories(base);
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = base / ("vx-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++) + "-" +
                             std::to_string(rd() % 100000));
        if (fs::create_directory(p)) {
            path_ = fs::canonical(p);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only folders behind; give write permission back first.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read test file " + path.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write test file " + path.string());
}

namespace {

constexpr std::array<std::uint32_t, 64> kK = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

} // namespace

std::string Sha256Hex(const std::vector<std::uint8_t>& bytes)
{
    std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::vector<std::uint8_t> msg = bytes;
    const std::uint64_t bitLength = static_cast<std::uint64_t>(bytes.size()) * 8;
    msg.push_back(0x80);
    while (msg.size() % 64 != 56)
        msg.push_back(0);
    for (int i = 7; i >= 0; --i)
        msg.push_back(static_cast<std::uint8_t>(bitLength >> (8 * i)));
    for (std::size_t off = 0; off < msg.size(); off += 64) {
        std::array<std::uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i)
            w[i] = (std::uint32_t{msg[off + 4 * i]} << 24) | (std::uint32_t{msg[off + 4 * i + 1]} << 16) |
                   (std::uint32_t{msg[off + 4 * i + 2]} << 8) | msg[off + 4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        auto [a, b, c, d, e, f, g, hh] = h;
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t S1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
            const std::uint32_t ch = (e & f) ^ (~e & g);
            const std::uint32_t t1 = hh + S1 + ch + kK[i] + w[i];
            const std::uint32_t S0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
            const std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
            const std::uint32_t t2 = S0 + maj;
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
        h[5] += f;
        h[6] += g;
        h[7] += hh;
    }
    std::string out;
    char buf[9];
    for (std::uint32_t v : h) {
        std::snprintf(buf, sizeof buf, "%08x", v);
        out += buf;
    }
    return out;
}

} // namespace vexaro::test
