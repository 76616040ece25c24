#pragma once
// The converter's file access: paths as written in command files, capped whole-file reads,
// reads of pieces of a file, and writes that leave either the complete file or none.
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteReader.h"
#include "base/Files.h"

namespace vexaro::converter {

// A path of a command file ("Nokia\MBM\000.bmp") for this system: both "\" and "/" separate
// folders.
std::filesystem::path NativePath(std::string_view path);

// The whole file named in a command or on the command line. Throws vexaro::Error("cannot open
// \"NAME\": REASON") (also for a folder, FIFO or device), Error("cannot read \"NAME\": REASON"),
// or, for a file longer than `maxBytes`, Error("\"NAME\" is larger than N bytes"). NAME is the
// path as written.
std::vector<std::uint8_t> ReadInputFile(std::string_view path, std::size_t maxBytes);

// A file named in a command, opened for reading pieces of it at any position, so that it need
// not be held whole. Opening throws as ReadInputFile does.
class InputFile {
public:
    InputFile(std::string_view path, std::size_t maxBytes);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The file as a source to read through a ByteReader, valid while this object lives. A read
    // that fails throws vexaro::Error("cannot read \"NAME\": REASON"), also when the file has
    // become shorter since it was opened.
    ByteSource source() const;

private:
    std::string path_;
    PositionedFile file_;
};

// An open file written at chosen positions: the platform's handle and the few operations the
// two writers below share. Each returns 0, or the errno of its failure. Closed when it goes.
class WriteHandle {
public:
    WriteHandle() = default;
    ~WriteHandle() { close(); }
    WriteHandle(const WriteHandle&) = delete;
    WriteHandle& operator=(const WriteHandle&) = delete;

    // Creates the file when missing. `keep`: an existing file keeps its bytes until they are
    // written over or cut (POSIX; on Windows the file always starts empty).
    int open(const std::filesystem::path& path, bool keep);
    bool isOpen() const;
    int writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    int truncate(std::uint64_t length);
    int close();

private:
#ifdef _WIN32
    std::FILE* file_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// A file written through a temporary file in the same folder, which replaces `path` when it
// is committed; until then (and when the object goes uncommitted) `path` is not touched and
// the temporary file is removed. Every failure throws vexaro::Error("cannot write \"NAME\":
// REASON"), NAME being `path` as written.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string_view path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void append(std::span<const std::uint8_t> bytes);
    // Replaces bytes written earlier, from `offset` on.
    void overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Drops every byte from `offset` on; appending goes on from there.
    void truncate(std::uint64_t offset);
    void commit();

private:
    [[noreturn]] void fail(int error);
    std::string path_;
    std::filesystem::path temp_;
    std::uint64_t size_ = 0;
    WriteHandle file_;
};

// Writes the file through a ReplacingFile, so a failure leaves no partial file. Throws
// vexaro::Error("cannot write \"NAME\": REASON").
void WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes);

// A file written directly, piece by piece: an existing file is overwritten in place and cut to
// its new length at close(). On a failure, or when the object goes without close(), what was
// written is removed. Throws as ReplacingFile does.
class OutputFile {
public:
    explicit OutputFile(std::string_view path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const std::uint8_t> bytes);
    void close();

private:
    [[noreturn]] void fail(int error);
    std::string path_;
    std::uint64_t size_ = 0;
    WriteHandle file_;
};

// Writes the whole file through an OutputFile.
void WriteFile(std::string_view path, std::span<const std::uint8_t> bytes);

// Removes the file if it exists; errors are ignored.
void RemoveFile(std::string_view path);

} // namespace vexaro::converter
