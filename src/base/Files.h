#pragma once
// The one whole-file read of the system. Everything read from outside (packages, multi-bitmap
// files, BMP files, command files, settings) is read through it, with a cap that fits what the
// file is, so that no file, device or pipe can make a reader run without end or fill memory.
#include <cstddef>
#include <cstdint>
#include <filesystem>
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

// Reads the whole regular file at `path`, at most `maxBytes`. Never blocks on a FIFO and never
// reads more than `maxBytes` + 1 bytes, whatever grows meanwhile. Throws nothing but
// std::bad_alloc.
FileBytes ReadFileCapped(const std::filesystem::path& path, std::size_t maxBytes);

// What went wrong, as a reason to put after a file's name: the system's text for CannotOpen
// and CannotRead, "Not a regular file" for NotAFile, "Larger than N bytes" for TooLarge.
std::string ReadFailureReason(const FileBytes& result, std::size_t maxBytes);

// Whether `path` names a regular file (links followed). Folders, FIFOs, devices and missing
// names are not.
bool IsRegularFile(const std::filesystem::path& path);

} // namespace vexaro
