#pragma once
// The one way the MBM code reads integers out of file bytes: every read says where it
// reads and fails (std::nullopt) instead of reading past the end.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vexaro::mbm {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }

    // True when `length` bytes starting at `offset` lie inside the bytes (no overflow).
    bool has(std::size_t offset, std::size_t length) const
    {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    // Little-endian 32-bit word at `offset`, or nothing when it does not fit.
    std::optional<std::uint32_t> u32(std::size_t offset) const
    {
        if (!has(offset, 4))
            return std::nullopt;
        const std::uint8_t* p = bytes_.data() + offset;
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    // `length` bytes at `offset`, or nothing when they do not fit.
    std::optional<std::span<const std::uint8_t>> bytes(std::size_t offset, std::size_t length) const
    {
        if (!has(offset, length))
            return std::nullopt;
        return bytes_.subspan(offset, length);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

} // namespace vexaro::mbm
