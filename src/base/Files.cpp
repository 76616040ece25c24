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

ReadFailure PositionedFile::open(const fs::path& path, int& error)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        error = ENOENT;
        return ReadFailure::CannotOpen;
    }
    if (!ec && !fs::is_regular_file(status))
        return ReadFailure::NotAFile;
    errno = 0;
    file_ = _wfopen(path.c_str(), L"rb");
    long long end = -1;
    if (file_ != nullptr && _fseeki64(file_, 0, SEEK_END) == 0)
        end = _ftelli64(file_);
    if (end < 0) {
        error = errno != 0 ? errno : EACCES;
        return ReadFailure::CannotOpen;
    }
    size_ = static_cast<std::uint64_t>(end);
    return ReadFailure::None;
}

PositionedFile::~PositionedFile()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

long long PositionedFile::readSome(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    errno = 0;
    if (_fseeki64(file_, static_cast<long long>(offset), SEEK_SET) != 0) {
        if (errno == 0)
            errno = EIO;
        return -1;
    }
    const std::size_t got = std::fread(out.data(), 1, out.size(), file_);
    if (got == 0 && std::ferror(file_)) {
        if (errno == 0)
            errno = EIO;
        return -1;
    }
    return static_cast<long long>(got);
}

bool IsRegularFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

#else

ReadFailure PositionedFile::open(const fs::path& path, int& error)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = errno;
        return ReadFailure::CannotOpen;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        error = errno;
        return ReadFailure::CannotOpen;
    }
    if (!S_ISREG(info.st_mode))
        return ReadFailure::NotAFile;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return ReadFailure::None;
}

PositionedFile::~PositionedFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

long long PositionedFile::readSome(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    for (;;) {
        const ssize_t got = ::pread(fd_, out.data(), out.size(), static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool IsRegularFile(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

#endif

int PositionedFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    for (std::size_t done = 0; done < out.size();) {
        const long long got = readSome(offset + done, out.subspan(done));
        if (got < 0)
            return errno != 0 ? errno : EIO;
        if (got == 0)
            return kEndedEarly;
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

FileBytes ReadFileCapped(const fs::path& path, std::size_t maxBytes)
{
    PositionedFile file;
    int error = 0;
    if (const ReadFailure failure = file.open(path, error); failure != ReadFailure::None)
        return Failed(failure, error);
    std::uint64_t position = 0;
    return ReadAll(
        [&](std::uint8_t* to, std::size_t n) -> long long {
            const long long got = file.readSome(position, std::span<std::uint8_t>(to, n));
            if (got > 0)
                position += static_cast<std::uint64_t>(got);
            return got;
        },
        file.size(), maxBytes);
}

std::string ReadFailureReason(ReadFailure failure, int error, std::size_t maxBytes)
{
    switch (failure) {
    case ReadFailure::None: return {};
    case ReadFailure::CannotOpen:
    case ReadFailure::CannotRead: return SystemReason(error);
    case ReadFailure::NotAFile: return "Not a regular file";
    case ReadFailure::TooLarge: return "Larger than " + std::to_string(maxBytes) + " bytes";
    }
    return {};
}

} // namespace vexaro
