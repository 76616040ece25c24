#pragma once
// Builds small old-style Symbian installation packages (.sis) in memory for tests: release 5
// (68-byte header, 36-byte simple records, no compression) and release 6 (100-byte header,
// 48-byte simple records, zlib-compressed or stored data), with simple, multi-language, options,
// IF, ELSEIF, ELSE and ENDIF records, in the layout the builder of the platform uses: header,
// language list, file records, component-name record, strings, then file data. UID4 and the
// header checksum are filled in.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexaro::test {

enum class SisRelease { Er5, Er6 };
enum class SisStorage { Stored, Compressed };

// zlib's compress() of `data` (zlib header, deflate data, Adler-32).
std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data, int level = -1);
std::vector<std::uint8_t> Bytes(std::string_view text);

// A name as 16-bit little-endian units (each char in the low byte) or as 8-bit characters.
std::vector<std::uint8_t> Name16(std::string_view text);
std::vector<std::uint8_t> Name8(std::string_view text);

// Condition expression "option k selected": an attribute node (13, 0x2000 + k, unused word).
std::vector<std::uint8_t> OptionCondition(std::uint32_t option);

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset);

// The CRC of the package format: CRC-16-CCITT, polynomial 0x1021, initial value 0, unreflected.
std::uint16_t SisCrc(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

struct BuiltPackage {
    std::vector<std::uint8_t> bytes;
    std::size_t fileTableOffset = 0;
    std::vector<std::size_t> recordOffsets; // one per record, in table order
    std::vector<std::size_t> dataOffsets;   // first fork's data of each record (0 without data)
};

class PackageBuilder {
public:
    explicit PackageBuilder(SisRelease release = SisRelease::Er6);

    PackageBuilder& uid1(std::uint32_t uid);
    PackageBuilder& languages(std::vector<std::uint16_t> codes); // default: {1} (English)
    // Names as 16-bit units (default for release 6, sets the IU option) or 8-bit (release 5).
    PackageBuilder& wideNames(bool wide);

    // A simple-file record named `sourceName` holding `data`. Release 6 compresses unless told
    // to store; release 5 always stores.
    PackageBuilder& addFile(std::string_view sourceName, std::span<const std::uint8_t> data,
                            SisStorage storage = SisStorage::Compressed);
    // A simple-file record with the name bytes, the stored bytes and (release 6) the original
    // length exactly as given.
    PackageBuilder& addRawFile(std::vector<std::uint8_t> nameBytes, std::vector<std::uint8_t> stored,
                               std::uint32_t originalLength, std::uint32_t fileType = 0);
    // A multi-language record: one fork per language, in the order of the language list.
    PackageBuilder& addMultiLanguageFile(std::string_view sourceName, const std::vector<std::vector<std::uint8_t>>& forks,
                                         SisStorage storage = SisStorage::Compressed);
    // An options record: texts[option][language].
    PackageBuilder& addOptions(const std::vector<std::vector<std::string>>& texts);
    PackageBuilder& addIf(std::vector<std::uint8_t> expression);
    PackageBuilder& addElseIf(std::vector<std::uint8_t> expression);
    PackageBuilder& addElse();
    PackageBuilder& addEndIf();

    BuiltPackage build() const;
    std::vector<std::uint8_t> bytes() const { return build().bytes; }

private:
    struct Fork {
        std::vector<std::uint8_t> stored;
        std::uint32_t originalLength = 0;
    };
    struct Record {
        std::uint32_t kind = 0;
        std::uint32_t fileType = 0;
        std::vector<std::uint8_t> sourceName;
        std::vector<std::uint8_t> destination;
        std::vector<Fork> forks;
        std::vector<std::vector<std::vector<std::uint8_t>>> options; // [option][language] name bytes
        std::vector<std::uint8_t> expression;
    };
    std::vector<std::uint8_t> name(std::string_view text) const;
    Fork fork(std::span<const std::uint8_t> data, SisStorage storage) const;
    std::size_t recordSize(const Record& r) const;

    SisRelease release_;
    bool wide_;
    std::uint32_t uid1_ = 0x10205A99;
    std::vector<std::uint16_t> languages_{1};
    std::vector<Record> records_;
};

} // namespace vexaro::test
