#pragma once
// The one whole-file read of the system. Everything read from outside (packages, multi-bitmap
// files, BMP files, command files, settings) is read through it, with a cap that fits what the
// file is, so that no file, device or pipe can make a reader run without end or fill memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vexaro {

enum class ReadFailure {
    None,
    CannotOpen, // missing, no permission, ... (`error` holds errno)
    NotAFile,   // a folder, a FIFO, a device: refused before a byte is read
    TooLarge,   // more than the cap (`error` is 0)
    CannotRead, // a read failed part-way (`error` holds errno)
};

struct FileBytes {
    std::vector<std::uint8_t> bytes; // the whole file when `failure` is None, else empty
    ReadFailure failure = ReadFailure::None;
    int error = 0;

    explicit operator bool() const { return failure == ReadFailure::None; }
};

// A regular file opened for reading pieces at any position, so that it need not be held whole.
// Opening never blocks on a FIFO; a folder, FIFO or device is refused before a byte is read.
class PositionedFile {
public:
    PositionedFile() = default;
    ~PositionedFile();
    PositionedFile(const PositionedFile&) = delete;
    PositionedFile& operator=(const PositionedFile&) = delete;

    // None, CannotOpen (`error` holds errno) or NotAFile.
    ReadFailure open(const std::filesystem::path& path, int& error);
    // The file's size when it was opened.
    std::uint64_t size() const { return size_; }
    // Reads up to out.size() bytes at `offset`: the number read (0 at the end of the file), or
    // -1 with errno set.
    long long readSome(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // Fills `out` from `offset`: 0, the errno of a failed read, or kEndedEarly when the file
    // has become shorter since it was opened.
    int read(std::uint64_t offset, std::span<std::uint8_t> out) const;
    static constexpr int kEndedEarly = -1;

private:
    std::uint64_t size_ = 0;
#ifdef _WIN32
    std::FILE* file_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Reads the whole regular file at `path`, at most `maxBytes`. Never blocks on a FIFO and never
// reads more than `maxBytes` + 1 bytes, whatever grows meanwhile. Throws nothing but
// std::bad_alloc.
FileBytes ReadFileCapped(const std::filesystem::path& path, std::size_t maxBytes);

// What went wrong, as a reason to put after a file's name: the system's text for CannotOpen
// and CannotRead (`error`), "Not a regular file" for NotAFile, "Larger than N bytes" for
// TooLarge; "" for None.
std::string ReadFailureReason(ReadFailure failure, int error, std::size_t maxBytes);
inline std::string ReadFailureReason(const FileBytes& result, std::size_t maxBytes)
{
    return ReadFailureReason(result.failure, result.error, maxBytes);
}

// Whether `path` names a regular file (links followed). Folders, FIFOs, devices and missing
// names are not.
bool IsRegularFile(const std::filesystem::path& path);

} // namespace vexaro
