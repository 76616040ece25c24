#pragma once
// Small old-style Symbian installation packages (.sis) for tests, built in memory with the
// project's one package writer (tools/SisWriter.h), and the byte helpers the tests use to spoil
// them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "SisWriter.h"

namespace vexaro::test {

using PackageBuilder = sis::SisWriter;
using BuiltPackage = sis::WrittenPackage;
using SisRelease = sis::SisRelease;
using SisStorage = sis::SisStorage;
using sis::ZlibCompress;

std::vector<std::uint8_t> Bytes(std::string_view text);

// A name as 16-bit little-endian units (each char in the low byte) or as 8-bit characters.
std::vector<std::uint8_t> Name16(std::string_view text);
std::vector<std::uint8_t> Name8(std::string_view text);

// Condition expression "option k selected": an attribute node (13, 0x2000 + k, unused word).
std::vector<std::uint8_t> OptionCondition(std::uint32_t option);

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset);

} // namespace vexaro::test
