#include "PackageBuilder.h"

namespace vexaro::test {

std::vector<std::uint8_t> Bytes(std::string_view text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

std::vector<std::uint8_t> Name16(std::string_view text)
{
    std::vector<std::uint8_t> out;
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> Name8(std::string_view text) { return Bytes(text); }

std::vector<std::uint8_t> OptionCondition(std::uint32_t option)
{
    std::vector<std::uint8_t> out(12);
    PutU32(out, 0, 13); // attribute node
    PutU32(out, 4, 0x2000 + option);
    PutU32(out, 8, 0x0012F404); // the unused word holds leftover memory in real packages
    return out;
}

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value)
{
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | bytes.at(offset + i);
    return v;
}

} // namespace vexaro::test
