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
#include <system_error>
#include <vector>

#include "base/ByteReader.h"
#include "base/Files.h"
#include "base/Folder.h"

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

// Output files are made new, never written through a file or link that was there, in a folder
// reached without following links (Folder::ParentOf): a link planted in the workspace, or a
// folder swapped for one while the converter runs, cannot send its output anywhere else.

// A file written through a temporary file in the same folder, which replaces `path` when it
// is committed; until then (and when the object goes uncommitted) `path` is not touched and
// the temporary file is removed. Every failure throws vexaro::Error("cannot write \"NAME\":
// REASON"), NAME being `path` as written.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string_view path);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void append(std::span<const std::uint8_t> bytes);
    // Replaces bytes written earlier, from `offset` on.
    void overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Drops every byte from `offset` on; appending goes on from there.
    void truncate(std::uint64_t offset);
    void commit();

private:
    [[noreturn]] void fail(const std::error_code& ec);
    std::string path_;
    std::filesystem::path name_; // before folder_, which is found with it
    Folder folder_;
    std::filesystem::path temp_;
    std::uint64_t size_ = 0;
    NewFile file_;
};

// Writes the file through a ReplacingFile, so a failure leaves no partial file. Throws
// vexaro::Error("cannot write \"NAME\": REASON").
void WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes);

// A file written directly, piece by piece, made new in place of whatever had its name. On a
// failure, or when the object goes without close(), what was written is removed. Throws as
// ReplacingFile does.
class OutputFile {
public:
    explicit OutputFile(std::string_view path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const std::uint8_t> bytes);
    void close();

private:
    [[noreturn]] void fail(const std::error_code& ec);
    std::string path_;
    Folder folder_;
    std::uint64_t size_ = 0;
    NewFile file_;
};

// Writes the whole file through an OutputFile.
void WriteFile(std::string_view path, std::span<const std::uint8_t> bytes);

// Removes the file if it exists (a link as itself, in a folder reached as outputs are); errors
// are ignored.
void RemoveFile(std::string_view path);

} // namespace vexaro::converter
