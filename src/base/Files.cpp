#include "base/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "base/Error.h"

#ifdef _WIN32
#include <cwchar>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFirstChunk = 64 * 1024;

FileBytes Failed(ReadFailure failure, int error)
{
    FileBytes result;
    result.failure = failure;
    result.error = error;
    return result;
}

// Reads through `readSome(buffer, size) -> bytes read, or -1 with errno set` until the end,
// keeping at most maxBytes + 1 bytes. `sizeHint` sizes the buffer once for a file that does not
// change meanwhile.
template <class ReadSome>
FileBytes ReadAll(ReadSome readSome, std::uintmax_t sizeHint, std::size_t maxBytes)
{
    if (sizeHint > maxBytes)
        return Failed(ReadFailure::TooLarge, 0);
    FileBytes result;
    std::vector<std::uint8_t>& bytes = result.bytes;
    bytes.resize(static_cast<std::size_t>(sizeHint) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes)
                return Failed(ReadFailure::TooLarge, 0);
            bytes.resize(std::min(maxBytes + 1, std::max(bytes.size() * 2, kFirstChunk)));
        }
        const long long got = readSome(bytes.data() + filled, bytes.size() - filled);
        if (got < 0)
            return Failed(ReadFailure::CannotRead, errno != 0 ? errno : EIO);
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > maxBytes)
        return Failed(ReadFailure::TooLarge, 0);
    bytes.resize(filled);
    return result;
}

} // namespace

#ifdef _WIN32

FileBytes ReadFileCapped(const fs::path& path, std::size_t maxBytes)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return Failed(ReadFailure::CannotOpen, ENOENT);
    if (!ec && !fs::is_regular_file(status))
        return Failed(ReadFailure::NotAFile, 0);
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path.c_str(), L"rb"), &std::fclose);
    if (!file)
        return Failed(ReadFailure::CannotOpen, errno != 0 ? errno : EACCES);
    const std::uintmax_t size = fs::file_size(path, ec);
    return ReadAll(
        [&](std::uint8_t* to, std::size_t n) -> long long {
            const std::size_t got = std::fread(to, 1, n, file.get());
            return got == 0 && std::ferror(file.get()) ? -1 : static_cast<long long>(got);
        },
        ec ? 0 : size, maxBytes);
}

bool IsRegularFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

#else

FileBytes ReadFileCapped(const fs::path& path, std::size_t maxBytes)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failed(ReadFailure::CannotOpen, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return Failed(ReadFailure::CannotOpen, errno);
    if (!S_ISREG(info.st_mode))
        return Failed(ReadFailure::NotAFile, 0);
    return ReadAll(
        [&](std::uint8_t* to, std::size_t n) -> long long {
            for (;;) {
                const ssize_t got = ::read(fd, to, n);
                if (got >= 0 || errno != EINTR)
                    return got;
            }
        },
        static_cast<std::uintmax_t>(info.st_size), maxBytes);
}

bool IsRegularFile(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

#endif

std::string ReadFailureReason(const FileBytes& result, std::size_t maxBytes)
{
    switch (result.failure) {
    case ReadFailure::None: return {};
    case ReadFailure::CannotOpen:
    case ReadFailure::CannotRead: return SystemReason(result.error);
    case ReadFailure::NotAFile: return "Not a regular file";
    case ReadFailure::TooLarge: return "Larger than " + std::to_string(maxBytes) + " bytes";
    }
    return {};
}

} // namespace vexaro
