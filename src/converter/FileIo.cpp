#include "converter/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define VEXARO_GETPID _getpid
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define VEXARO_GETPID getpid
#endif

namespace vexaro::converter {

namespace {

[[noreturn]] void ThrowReadFailure(std::string_view path, const FileBytes& file, std::size_t maxBytes)
{
    switch (file.failure) {
    case ReadFailure::TooLarge: throw Error(Quoted(path) + " is larger than " + std::to_string(maxBytes) + " bytes");
    case ReadFailure::CannotRead: throw Error("cannot read " + Quoted(path) + ": " + ReadFailureReason(file, maxBytes));
    default: throw Error("cannot open " + Quoted(path) + ": " + ReadFailureReason(file, maxBytes));
    }
}

[[noreturn]] void ThrowOpenFailure(std::string_view path, ReadFailure failure, int error, std::size_t maxBytes)
{
    FileBytes file;
    file.failure = failure;
    file.error = error;
    ThrowReadFailure(path, file, maxBytes);
}

[[noreturn]] void ThrowWriteFailure(std::string_view path, const std::string& reason)
{
    throw Error("cannot write " + Quoted(path) + ": " + reason);
}

int ErrnoOr(int fallback) { return errno != 0 ? errno : fallback; }

#ifdef _WIN32
std::FILE* OpenFile(const std::filesystem::path& path, const wchar_t* mode)
{
    errno = 0;
    return _wfopen(path.c_str(), mode);
}

bool Seek(std::FILE* file, std::uint64_t offset) { return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0; }
#else
// Writes all of `bytes` at `offset`; returns 0 or the errno of the failure.
int WriteAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}
#endif

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
    if (file.failure != ReadFailure::None)
        ThrowReadFailure(path, file, maxBytes);
    return std::move(file.bytes);
}

// ---- InputFile ---------------------------------------------------------------------------

#ifdef _WIN32

InputFile::InputFile(std::string_view path, std::size_t maxBytes) : path_(path)
{
    const std::filesystem::path native = NativePath(path);
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(native, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        ThrowOpenFailure(path, ReadFailure::CannotOpen, ENOENT, maxBytes);
    if (!ec && !std::filesystem::is_regular_file(status))
        ThrowOpenFailure(path, ReadFailure::NotAFile, 0, maxBytes);
    file_ = OpenFile(native, L"rb");
    if (file_ == nullptr)
        ThrowOpenFailure(path, ReadFailure::CannotOpen, ErrnoOr(EACCES), maxBytes);
    long long end = -1;
    if (_fseeki64(file_, 0, SEEK_END) == 0)
        end = _ftelli64(file_);
    if (end < 0 || static_cast<std::uint64_t>(end) > maxBytes) {
        const int error = ErrnoOr(EIO);
        std::fclose(file_);
        if (end < 0)
            ThrowOpenFailure(path, ReadFailure::CannotRead, error, maxBytes);
        ThrowOpenFailure(path, ReadFailure::TooLarge, 0, maxBytes);
    }
    size_ = static_cast<std::uint64_t>(end);
}

InputFile::~InputFile() { std::fclose(file_); }

void InputFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    errno = 0;
    if (!Seek(file_, offset))
        throw Error("cannot read " + Quoted(path_) + ": " + SystemReason(ErrnoOr(EIO)));
    const std::size_t got = std::fread(out.data(), 1, out.size(), file_);
    if (got != out.size()) {
        if (std::ferror(file_))
            throw Error("cannot read " + Quoted(path_) + ": " + SystemReason(ErrnoOr(EIO)));
        throw Error("cannot read " + Quoted(path_) + ": it became shorter while it was read");
    }
}

#else

InputFile::InputFile(std::string_view path, std::size_t maxBytes) : path_(path)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    fd_ = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        ThrowOpenFailure(path, ReadFailure::CannotOpen, errno, maxBytes);
    struct stat info {};
    ReadFailure failure = ReadFailure::None;
    int error = 0;
    if (::fstat(fd_, &info) != 0) {
        failure = ReadFailure::CannotOpen;
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        failure = ReadFailure::NotAFile;
    } else if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        failure = ReadFailure::TooLarge;
    }
    if (failure != ReadFailure::None) {
        ::close(fd_);
        ThrowOpenFailure(path, failure, error, maxBytes);
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

InputFile::~InputFile() { ::close(fd_); }

void InputFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    for (std::size_t done = 0; done < out.size();) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Error("cannot read " + Quoted(path_) + ": " + SystemReason(errno));
        if (n == 0)
            throw Error("cannot read " + Quoted(path_) + ": it became shorter while it was read");
        done += static_cast<std::size_t>(n);
    }
}

#endif

// ---- ReplacingFile -------------------------------------------------------------------------

ReplacingFile::ReplacingFile(std::string_view path) : path_(path)
{
    static unsigned counter = 0;
    temp_ = NativePath(path);
    temp_ += ".bmconv-" + std::to_string(VEXARO_GETPID()) + "-" + std::to_string(counter++) + ".tmp";
#ifdef _WIN32
    file_ = OpenFile(temp_, L"w+b");
    if (file_ == nullptr)
        ThrowWriteFailure(path_, SystemReason(errno));
#else
    fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0)
        ThrowWriteFailure(path_, SystemReason(errno));
#endif
}

ReplacingFile::~ReplacingFile()
{
#ifdef _WIN32
    if (file_ == nullptr)
        return;
    std::fclose(file_);
#else
    if (fd_ < 0)
        return;
    ::close(fd_);
#endif
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
}

void ReplacingFile::fail(const std::string& reason)
{
#ifdef _WIN32
    std::fclose(file_);
    file_ = nullptr;
#else
    ::close(fd_);
    fd_ = -1;
#endif
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    ThrowWriteFailure(path_, reason);
}

void ReplacingFile::append(std::span<const std::uint8_t> bytes)
{
    overwrite(size_, bytes);
}

void ReplacingFile::overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
#ifdef _WIN32
    errno = 0;
    if (!Seek(file_, offset) || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail(SystemReason(ErrnoOr(EIO)));
#else
    if (const int error = WriteAt(fd_, offset, bytes); error != 0)
        fail(SystemReason(error));
#endif
    size_ = std::max(size_, offset + bytes.size());
}

void ReplacingFile::truncate(std::uint64_t offset)
{
#ifdef _WIN32
    errno = 0;
    if (std::fflush(file_) != 0 || _chsize_s(_fileno(file_), static_cast<long long>(offset)) != 0)
        fail(SystemReason(ErrnoOr(EIO)));
#else
    if (::ftruncate(fd_, static_cast<off_t>(offset)) != 0)
        fail(SystemReason(errno));
#endif
    size_ = offset;
}

void ReplacingFile::commit()
{
#ifdef _WIN32
    errno = 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
#else
    const int closed = ::close(fd_);
    fd_ = -1;
#endif
    std::error_code ec;
    if (closed != 0) {
        const int error = ErrnoOr(EIO);
        std::filesystem::remove(temp_, ec);
        ThrowWriteFailure(path_, SystemReason(error));
    }
    std::filesystem::rename(temp_, NativePath(path_), ec);
    if (ec) {
        const std::string reason = ec.message();
        std::filesystem::remove(temp_, ec);
        ThrowWriteFailure(path_, reason);
    }
}

void WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes)
{
    ReplacingFile file(path);
    file.append(bytes);
    file.commit();
}

// ---- OutputFile ----------------------------------------------------------------------------

OutputFile::OutputFile(std::string_view path) : path_(path)
{
#ifdef _WIN32
    file_ = OpenFile(NativePath(path), L"wb");
    if (file_ == nullptr)
        ThrowWriteFailure(path_, SystemReason(errno));
#else
    // Plain system calls: a decompile writes hundreds of small files, and stdio would add a
    // buffer and a stat call to each.
    // An existing file is overwritten in place and cut to the new length at the end: when a
    // theme is unpacked again over its own files, no blocks are freed and allocated anew.
    fd_ = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        ThrowWriteFailure(path_, SystemReason(errno));
#endif
}

OutputFile::~OutputFile()
{
#ifdef _WIN32
    if (file_ == nullptr)
        return;
    std::fclose(file_);
#else
    if (fd_ < 0)
        return;
    ::close(fd_);
#endif
    std::error_code ec;
    std::filesystem::remove(NativePath(path_), ec);
}

void OutputFile::fail(int error)
{
#ifdef _WIN32
    std::fclose(file_);
    file_ = nullptr;
#else
    ::close(fd_);
    fd_ = -1;
#endif
    std::error_code ec;
    std::filesystem::remove(NativePath(path_), ec);
    ThrowWriteFailure(path_, SystemReason(error));
}

void OutputFile::write(std::span<const std::uint8_t> bytes)
{
#ifdef _WIN32
    errno = 0;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail(ErrnoOr(EIO));
#else
    if (const int error = WriteAt(fd_, size_, bytes); error != 0)
        fail(error);
#endif
    size_ += bytes.size();
}

void OutputFile::close()
{
#ifdef _WIN32
    errno = 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        const int error = ErrnoOr(EIO);
        std::error_code ec;
        std::filesystem::remove(NativePath(path_), ec);
        ThrowWriteFailure(path_, SystemReason(error));
    }
#else
    if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0)
        fail(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        const int error = errno;
        std::error_code ec;
        std::filesystem::remove(NativePath(path_), ec);
        ThrowWriteFailure(path_, SystemReason(error));
    }
#endif
}

void WriteFile(std::string_view path, std::span<const std::uint8_t> bytes)
{
    OutputFile file(path);
    file.write(bytes);
    file.close();
}

void RemoveFile(std::string_view path)
{
    std::error_code ec;
    std::filesystem::remove(NativePath(path), ec);
}

} // namespace vexaro::converter
