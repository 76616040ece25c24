#include "converter/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"

#ifdef _WIN32
#include <process.h>
#define VEXARO_GETPID _getpid
#else
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

// ---- ReplacingFile -------------------------------------------------------------------------

namespace {

// The folder an output goes into, and its name there.
Folder OutputFolder(std::string_view path, std::filesystem::path& name)
{
    std::error_code ec;
    Folder folder = Folder::ParentOf(NativePath(path), name, ec);
    if (ec)
        ThrowWriteFailure(path, ec.message());
    return folder;
}

} // namespace

ReplacingFile::ReplacingFile(std::string_view path) : path_(path), folder_(OutputFolder(path, name_))
{
    static unsigned counter = 0;
    temp_ = name_;
    temp_ += ".bmconv-" + std::to_string(VEXARO_GETPID()) + "-" + std::to_string(counter++) + ".tmp";
    if (const std::error_code ec = file_.create(folder_, temp_))
        ThrowWriteFailure(path_, ec.message());
}

void ReplacingFile::fail(const std::error_code& ec)
{
    file_.discard();
    ThrowWriteFailure(path_, ec.message());
}

void ReplacingFile::append(std::span<const std::uint8_t> bytes) { overwrite(size_, bytes); }

void ReplacingFile::overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (const std::error_code ec = file_.writeAt(offset, bytes))
        fail(ec);
    size_ = std::max(size_, offset + bytes.size());
}

void ReplacingFile::truncate(std::uint64_t offset)
{
    if (const std::error_code ec = file_.truncate(offset))
        fail(ec);
    size_ = offset;
}

void ReplacingFile::commit()
{
    if (const std::error_code ec = file_.close())
        ThrowWriteFailure(path_, ec.message());
    if (const std::error_code ec = folder_.rename(temp_, name_)) {
        folder_.remove(temp_);
        ThrowWriteFailure(path_, ec.message());
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
    std::filesystem::path name;
    folder_ = OutputFolder(path, name);
    if (const std::error_code ec = file_.create(folder_, name))
        ThrowWriteFailure(path_, ec.message());
}

void OutputFile::fail(const std::error_code& ec)
{
    file_.discard();
    ThrowWriteFailure(path_, ec.message());
}

void OutputFile::write(std::span<const std::uint8_t> bytes)
{
    if (const std::error_code ec = file_.writeAt(size_, bytes))
        fail(ec);
    size_ += bytes.size();
}

void OutputFile::close()
{
    if (const std::error_code ec = file_.close())
        ThrowWriteFailure(path_, ec.message());
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
    std::filesystem::path name;
    const Folder folder = Folder::ParentOf(NativePath(path), name, ec);
    if (!ec)
        folder.remove(name);
}

} // namespace vexaro::converter
