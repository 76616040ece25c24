#include "converter/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"

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

[[noreturn]] void ThrowReadFailure(std::string_view path, ReadFailure failure, int error, std::size_t maxBytes)
{
    const std::string reason = ReadFailureReason(failure, error, maxBytes);
    switch (failure) {
    case ReadFailure::TooLarge: throw Error(Quoted(path) + " is larger than " + std::to_string(maxBytes) + " bytes");
    case ReadFailure::CannotRead: throw Error("cannot read " + Quoted(path) + ": " + reason);
    default: throw Error("cannot open " + Quoted(path) + ": " + reason);
    }
}

[[noreturn]] void ThrowWriteFailure(std::string_view path, const std::string& reason)
{
    throw Error("cannot write " + Quoted(path) + ": " + reason);
}

#ifdef _WIN32
int ErrnoOr(int fallback) { return errno != 0 ? errno : fallback; }

std::FILE* OpenFile(const std::filesystem::path& path, const wchar_t* mode)
{
    errno = 0;
    return _wfopen(path.c_str(), mode);
}

bool Seek(std::FILE* file, std::uint64_t offset)
{
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}
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
    return PathFromUtf8(s);
}

std::vector<std::uint8_t> ReadInputFile(std::string_view path, std::size_t maxBytes)
{
    FileBytes file = ReadFileCapped(NativePath(path), maxBytes);
    if (file.failure != ReadFailure::None)
        ThrowReadFailure(path, file.failure, file.error, maxBytes);
    return std::move(file.bytes);
}

// ---- InputFile ---------------------------------------------------------------------------

InputFile::InputFile(std::string_view path, std::size_t maxBytes) : path_(path)
{
    int error = 0;
    if (const ReadFailure failure = file_.open(NativePath(path), error); failure != ReadFailure::None)
        ThrowReadFailure(path, failure, error, maxBytes);
    if (file_.size() > maxBytes)
        ThrowReadFailure(path, ReadFailure::TooLarge, 0, maxBytes);
}

ByteSource InputFile::source() const { return ByteSource(file_, "cannot read " + Quoted(path_) + ": "); }

// ---- WriteHandle ---------------------------------------------------------------------------

#ifdef _WIN32

int WriteHandle::open(const std::filesystem::path& path, bool)
{
    file_ = OpenFile(path, L"w+b");
    return file_ == nullptr ? ErrnoOr(EACCES) : 0;
}

bool WriteHandle::isOpen() const { return file_ != nullptr; }

int WriteHandle::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    errno = 0;
    if (!Seek(file_, offset) || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()))
        return ErrnoOr(EIO);
    return 0;
}

int WriteHandle::truncate(std::uint64_t length)
{
    errno = 0;
    if (std::fflush(file_) != 0 || _chsize_s(_fileno(file_), static_cast<long long>(length)) != 0)
        return ErrnoOr(EIO);
    return 0;
}

int WriteHandle::close()
{
    if (file_ == nullptr)
        return 0;
    errno = 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    return closed == 0 ? 0 : ErrnoOr(EIO);
}

#else

int WriteHandle::open(const std::filesystem::path& path, bool keep)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (keep ? 0 : O_TRUNC), 0666);
    return fd_ < 0 ? errno : 0;
}

bool WriteHandle::isOpen() const { return fd_ >= 0; }

int WriteHandle::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    return WriteAt(fd_, offset, bytes);
}

int WriteHandle::truncate(std::uint64_t length)
{
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0 ? 0 : errno;
}

int WriteHandle::close()
{
    if (fd_ < 0)
        return 0;
    const int closed = ::close(fd_);
    fd_ = -1;
    return closed == 0 ? 0 : errno;
}

#endif

// ---- ReplacingFile -------------------------------------------------------------------------

ReplacingFile::ReplacingFile(std::string_view path) : path_(path)
{
    static unsigned counter = 0;
    temp_ = NativePath(path);
    temp_ += ".bmconv-" + std::to_string(VEXARO_GETPID()) + "-" + std::to_string(counter++) + ".tmp";
    if (const int error = file_.open(temp_, false); error != 0)
        ThrowWriteFailure(path_, SystemReason(error));
}

ReplacingFile::~ReplacingFile()
{
    if (!file_.isOpen())
        return;
    file_.close();
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
}

void ReplacingFile::fail(int error)
{
    file_.close();
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    ThrowWriteFailure(path_, SystemReason(error));
}

void ReplacingFile::append(std::span<const std::uint8_t> bytes) { overwrite(size_, bytes); }

void ReplacingFile::overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (const int error = file_.writeAt(offset, bytes); error != 0)
        fail(error);
    size_ = std::max(size_, offset + bytes.size());
}

void ReplacingFile::truncate(std::uint64_t offset)
{
    if (const int error = file_.truncate(offset); error != 0)
        fail(error);
    size_ = offset;
}

void ReplacingFile::commit()
{
    std::error_code ec;
    if (const int error = file_.close(); error != 0) {
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

// An existing file is overwritten in place and cut to the new length at the end: when a theme
// is unpacked again over its own files, no blocks are freed and allocated anew.
OutputFile::OutputFile(std::string_view path) : path_(path)
{
    if (const int error = file_.open(NativePath(path), true); error != 0)
        ThrowWriteFailure(path_, SystemReason(error));
}

OutputFile::~OutputFile()
{
    if (!file_.isOpen())
        return;
    file_.close();
    std::error_code ec;
    std::filesystem::remove(NativePath(path_), ec);
}

void OutputFile::fail(int error)
{
    file_.close();
    std::error_code ec;
    std::filesystem::remove(NativePath(path_), ec);
    ThrowWriteFailure(path_, SystemReason(error));
}

void OutputFile::write(std::span<const std::uint8_t> bytes)
{
    if (const int error = file_.writeAt(size_, bytes); error != 0)
        fail(error);
    size_ += bytes.size();
}

void OutputFile::close()
{
    if (const int error = file_.truncate(size_); error != 0)
        fail(error);
    if (const int error = file_.close(); error != 0) {
        std::error_code ec;
        std::filesystem::remove(NativePath(path_), ec);
        ThrowWriteFailure(path_, SystemReason(error));
    }
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
