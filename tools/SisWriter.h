#pragma once
// A small writer of release 6 installation packages (.sis) made of simple-file records only:
// one language, every file compressed into one zlib stream. Enough for the sample theme and
// for tests that need a well-formed package.
//
// Layout written, every section packed after the previous one:
//   header (100 bytes), language list (1 x u16), file records (48 bytes each, in entry order),
//   component-name record (u32 length, u32 position), names (UTF-16LE: per entry source then
//   destination, then the component name), the zlib streams in entry order.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexaro::sis {

struct SisWriterEntry {
    std::string sourceName;      // the path on the computer that built the package
    std::string destinationName; // the path on the device ("!:\system\...")
    std::vector<std::uint8_t> data;
};

struct SisWriterPackage {
    std::uint32_t uid1 = 0x10000000; // the application's UID
    std::uint16_t language = 1;      // English
    std::uint16_t majorVersion = 1;
    std::uint16_t minorVersion = 0;
    std::string componentName;
    std::vector<SisWriterEntry> entries;
};

// CRC-16 with polynomial 0x1021, initial value `crc`, not reflected, no final inversion.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

// The UID4 check word over the first twelve bytes: low half the CRC of the bytes at even
// offsets, high half the CRC of the bytes at odd offsets.
std::uint32_t UidCheckWord(std::uint32_t uid1, std::uint32_t uid2, std::uint32_t uid3);

// The package bytes. Names are taken one character per 16-bit unit; throws vexaro::Error for a
// name with a character above 0x7F, a failing compression, or a package beyond 32-bit positions.
std::vector<std::uint8_t> WriteSisPackage(const SisWriterPackage& package);

} // namespace vexaro::sis
