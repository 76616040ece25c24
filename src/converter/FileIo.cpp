#include "converter/FileIo.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"

#ifdef _WIN32
#include <process.h>
#define VEXARO_GETPID _getpid
#else
#include <fcntl.h>
#include <unistd.h>
#define VEXARO_GETPID getpid
#endif

namespace vexaro::converter {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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

std::vector<std::uint8_t> ReadInputFile(std::string_view path, std::size_t maxBytes)
{
    FileBytes file = ReadFileCapped(NativePath(path), maxBytes);
    switch (file.failure) {
    case ReadFailure::None: return std::move(file.bytes);
    case ReadFailure::TooLarge: throw Error(Quoted(path) + " is larger than " + std::to_string(maxBytes) + " bytes");
    case ReadFailure::CannotRead: throw Error("cannot read " + Quoted(path) + ": " + ReadFailureReason(file, maxBytes));
    default: throw Error("cannot open " + Quoted(path) + ": " + ReadFailureReason(file, maxBytes));
    }
}

void WriteFile(std::string_view path, std::span<const std::uint8_t> bytes)
{
    const std::filesystem::path native = NativePath(path);
#ifndef _WIN32
    // Plain system calls: a decompile writes hundreds of small files, and stdio would add a
    // buffer and a stat call to each.
    // An existing file is overwritten in place and cut to the new length afterwards: when a
    // theme is unpacked again over its own files, no blocks are freed and allocated anew.
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(errno));
    int error = 0;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        std::error_code ec;
        std::filesystem::remove(native, ec);
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(error));
    }
#else
    errno = 0;
    File file = Open(native, "wb");
    if (!file)
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(errno));
    if (const int error = WriteAndClose(std::move(file), bytes); error != 0) {
        std::error_code ec;
        std::filesystem::remove(native, ec);
        throw Error("cannot write " + Quoted(path) + ": " + SystemReason(error));
    }
#endif
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
