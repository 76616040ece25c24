#include "FileIo.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "Error.h"

#ifdef _WIN32
#include <process.h>
#define VEXARO_GETPID _getpid
#else
#include <unistd.h>
#define VEXARO_GETPID getpid
#endif

namespace vexaro::converter {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

File Open(const std::filesystem::path& path, const char* mode)
{
#ifdef _WIN32
    const std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return File(_wfopen(path.c_str(), wmode.c_str()));
#else
    return File(std::fopen(path.c_str(), mode));
#endif
}

// Writes all bytes and closes; returns 0 or the errno of the failure.
int WriteAndClose(File file, std::span<const std::uint8_t> bytes)
{
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return errno != 0 ? errno : EIO;
    if (std::fclose(file.release()) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

} // namespace

std::filesystem::path NativePath(std::string_view path)
{
    std::string s(path);
#ifndef _WIN32
    for (char& c : s)
        if (c == '\\')
            c = '/';
#endif
    return std::filesystem::path(s);
}

std::vector<std::uint8_t> ReadFileCapped(std::string_view path, std::size_t maxBytes)
{
    errno = 0;
    File file = Open(NativePath(path), "rb");
    if (!file)
        throw Error("cannot open " + Quoted(path) + ": " + SystemReason(errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        if (got > 0) {
            if (got > maxBytes - bytes.size())
                throw Error(Quoted(path) + " is larger than " + std::to_string(maxBytes) + " bytes");
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        if (got < sizeof chunk) {
            if (std::ferror(file.get()))
                throw Error("cannot read " + Quoted(path) + ": " + SystemReason(errno != 0 ? errno : EIO));
            break;
        }
    }
    return bytes;
}

void WriteFile(std::string_view path, std::span<const std::uint8_t> bytes)
{
    const std::filesystem::path native = NativePath(path);
    errno = 0;
    File file = Open(native, "wb");
    if (!file)
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(errno));
    if (const int error = WriteAndClose(std::move(file), bytes); error != 0) {
        std::error_code ec;
        std::filesystem::remove(native, ec);
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(error));
    }
}

void WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes)
{
    static unsigned counter = 0;
    const std::filesystem::path native = NativePath(path);
    std::filesystem::path temp = native;
    temp += ".bmconv-" + std::to_string(VEXARO_GETPID()) + "-" + std::to_string(counter++) + ".tmp";
    errno = 0;
    File file = Open(temp, "wb");
    if (!file)
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(errno));
    std::error_code ec;
    if (const int error = WriteAndClose(std::move(file), bytes); error != 0) {
        std::filesystem::remove(temp, ec);
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(error));
    }
    std::filesystem::rename(temp, native, ec);
    if (ec) {
        const std::string reason = ec.message();
        std::filesystem::remove(temp, ec);
        throw Error("cannot write " + Quoted(path) + ": " + reason);
    }
}

void RemoveFile(std::string_view path)
{
    std::error_code ec;
    std::filesystem::remove(NativePath(path), ec);
}

} // namespace vexaro::converter
