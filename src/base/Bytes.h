#pragma once
// Little-endian integers in file bytes. LoadU16 and LoadU32 decode bytes already known to be
// there; ByteReader is the one way the readers of outside files (BMP and multi-bitmap files,
// packages, fonts) take integers out of file bytes: every read says where it reads and gives
// nothing instead of reading past the end. Positions are 64-bit, so that a 32-bit field plus a
// length never wraps.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vexaro {

inline std::uint16_t LoadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t LoadU32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

inline void StoreU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void StoreU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }

    // True when `length` bytes starting at `offset` lie inside the bytes.
    bool has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    // Little-endian 16-bit word at `offset`, or nothing when it does not fit.
    std::optional<std::uint16_t> u16(std::uint64_t offset) const
    {
        if (!has(offset, 2))
            return std::nullopt;
        return LoadU16(bytes_.data() + offset);
    }

    // Little-endian 32-bit word at `offset`, or nothing when it does not fit.
    std::optional<std::uint32_t> u32(std::uint64_t offset) const
    {
        if (!has(offset, 4))
            return std::nullopt;
        return LoadU32(bytes_.data() + offset);
    }

    // `length` bytes at `offset`, or nothing when they do not fit.
    std::optional<std::span<const std::uint8_t>> bytes(std::uint64_t offset, std::uint64_t length) const
    {
        if (!has(offset, length))
            return std::nullopt;
        return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

private:
    std::span<const std::uint8_t> bytes_;
};

} // namespace vexaro
