#pragma once
// The one way the readers of outside files (multi-bitmap files, packages, BMP files, fonts) take
// their bytes: a ByteSource says where the bytes are, a ByteReader takes them out of it with
// checked reads. Every read says where it reads and gives nothing instead of reading past the
// end. Positions are 64-bit, so that a 32-bit field plus a length never wraps.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "base/Bytes.h"
#include "base/Files.h"

namespace vexaro {

// The reason a read gives when the file has become shorter since it was opened.
inline constexpr const char* kFileEndedEarly = "The file became shorter while it was read";

// Where the bytes are: in memory, read in place, or in a regular file opened for positioned
// reads, read piece by piece. A source copies nothing and keeps no state of its own; the memory
// or the file it names must outlive it. Any number of readers may read a source of memory at
// once, each in its own thread.
class ByteSource {
public:
    // The bytes of `memory`, read where they are.
    explicit ByteSource(std::span<const std::uint8_t> memory) : memory_(memory), size_(memory.size()) {}
    // The file `file`, as long as it was when it was opened. A read that fails throws
    // Error(`failurePrefix` + the reason): the prefix names the file as its reader's messages
    // do, so that "Cannot read file \"Theme.sis\". " gives "Cannot read file "Theme.sis". The
    // file became shorter while it was read".
    ByteSource(const PositionedFile& file, std::string failurePrefix)
        : file_(&file), failurePrefix_(std::move(failurePrefix)), size_(file.size())
    {
    }

    std::uint64_t size() const { return size_; }
    bool inMemory() const { return file_ == nullptr; }
    // All the bytes when they are in memory; empty for a file.
    std::span<const std::uint8_t> memory() const { return memory_; }
    // Fills `out` with the bytes at `offset`, which the caller has found inside size(). Throws
    // Error as said above when the file cannot be read or has become shorter.
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const;

private:
    std::span<const std::uint8_t> memory_;
    const PositionedFile* file_ = nullptr;
    std::string failurePrefix_;
    std::uint64_t size_ = 0;
};

// Checked little-endian reads from a source. Bytes in memory are read in place. A file is read
// through a window read ahead from the first byte asked for, so that the small reads of headers
// and tables cost few reads of the file. A reader is used by one thread at a time: the window is
// its own.
class ByteReader {
public:
    static constexpr std::size_t kWindowBytes = 64 * 1024;

    // `window`: how many bytes of a file one read of it takes at least, where the file has them.
    explicit ByteReader(ByteSource source, std::size_t window = kWindowBytes)
        : source_(std::move(source)), windowBytes_(window)
    {
    }
    explicit ByteReader(std::span<const std::uint8_t> memory) : source_(memory) {}

    std::uint64_t size() const { return source_.size(); }

    // True when `length` bytes starting at `offset` lie inside the bytes.
    bool has(std::uint64_t offset, std::uint64_t length) const { return offset <= size() && length <= size() - offset; }

    // Little-endian 16-bit word at `offset`, or nothing when it does not fit. Throws what the
    // source throws.
    std::optional<std::uint16_t> u16(std::uint64_t offset) const
    {
        if (!has(offset, 2))
            return std::nullopt;
        return LoadU16(at(offset, 2));
    }

    // Little-endian 32-bit word at `offset`, or nothing when it does not fit. Throws what the
    // source throws.
    std::optional<std::uint32_t> u32(std::uint64_t offset) const
    {
        if (!has(offset, 4))
            return std::nullopt;
        return LoadU32(at(offset, 4));
    }

    // `length` bytes at `offset`, or nothing when they do not fit: in memory where they are; of
    // a file in the window, which grows to `length` for a longer piece. Valid until the next
    // read through this reader. Throws what the source throws.
    std::optional<std::span<const std::uint8_t>> bytes(std::uint64_t offset, std::uint64_t length) const
    {
        if (!has(offset, length))
            return std::nullopt;
        const auto n = static_cast<std::size_t>(length);
        return std::span<const std::uint8_t>(at(offset, n), n);
    }

    // Fills `out` with the bytes at `offset`: pieces up to the window's size through the window,
    // a longer piece of a file straight into `out`. Throws Error when they do not all lie inside
    // the bytes, and what the source throws.
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const;

private:
    // The `length` bytes at `offset`, which lie inside the bytes.
    const std::uint8_t* at(std::uint64_t offset, std::size_t length) const
    {
        if (source_.inMemory())
            return source_.memory().data() + offset;
        if (offset < windowAt_ || offset - windowAt_ > windowLength_ || length > windowLength_ - (offset - windowAt_))
            fill(offset, length);
        return window_.get() + (offset - windowAt_);
    }
    // Reads the window from `offset`: at least `length` bytes, and up to windowBytes_ ahead.
    void fill(std::uint64_t offset, std::size_t length) const;

    ByteSource source_;
    std::size_t windowBytes_ = kWindowBytes;
    mutable std::unique_ptr<std::uint8_t[]> window_;
    mutable std::size_t windowCapacity_ = 0;
    mutable std::uint64_t windowAt_ = 0;
    mutable std::size_t windowLength_ = 0;
};

} // namespace vexaro
