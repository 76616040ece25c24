#pragma once
// The one writer of old-style Symbian installation packages (.sis): the sample theme is packed
// with it, and the tests build their packages with it. Release 5 (68-byte header, 36-byte simple
// records, 8-bit names, no compression) and release 6 (100-byte header, 48-byte simple records,
// UTF-16LE names, zlib-compressed or stored data), with simple, multi-language, options, IF,
// ELSEIF, ELSE and ENDIF records.
//
// Layout written, every section packed after the previous one, as the platform's own builder
// lays it out:
//   header, language list (u16 each), file records in the order they were added,
//   component-name record (n u32 lengths, n u32 positions),
//   strings: per record its option texts, or its source then destination name; then the
//   component name once per language,
//   data: per file record, the data of each fork.
// A record's MIME type is empty, its position just past the record strings. UID4 and the header
// checksum are filled in; the installation drive is "!" (chosen by the user) in release 6.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexaro::sis {

enum class SisRelease { Er5, Er6 };
enum class SisStorage { Stored, Compressed };

// The package format's CRC: CRC-16-CCITT, polynomial 0x1021, initial value `crc`, bits not
// reflected, no final inversion.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

// The UID4 check word over the first twelve bytes: low half the CRC of the bytes at even
// offsets, high half the CRC of the bytes at odd offsets.
std::uint32_t UidCheckWord(std::uint32_t uid1, std::uint32_t uid2, std::uint32_t uid3);

// zlib's compress2() of `data` at `level` (zlib header, deflate data, Adler-32). Throws
// vexaro::Error when zlib fails.
std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data, int level = -1);

struct WrittenPackage {
    std::vector<std::uint8_t> bytes;
    std::size_t fileTableOffset = 0;
    std::vector<std::size_t> recordOffsets; // one per record, in table order
    std::vector<std::size_t> dataOffsets;   // first fork's data of each record (0 without data)
};

class SisWriter {
public:
    explicit SisWriter(SisRelease release = SisRelease::Er6);

    SisWriter& uid1(std::uint32_t uid);                           // default 0x10000000: no UID
    SisWriter& languages(std::vector<std::uint16_t> codes);       // default {1} (English)
    SisWriter& version(std::uint16_t major, std::uint16_t minor); // default 1.00
    SisWriter& componentName(std::string name);                   // default "Vexaro", in every language
    // Where the files go on the device; a file's destination is this and its display name.
    SisWriter& destinationFolder(std::string folder); // default "!:\system\apps\Vexaro\"
    // Names as 16-bit units (default for release 6, sets the IU option) or 8-bit (release 5).
    // A 16-bit name takes ASCII only; Error otherwise.
    SisWriter& wideNames(bool wide);

    // A simple-file record named `sourceName` holding `data`. Release 6 compresses unless told
    // to store; release 5 always stores.
    SisWriter& addFile(std::string_view sourceName, std::span<const std::uint8_t> data,
                       SisStorage storage = SisStorage::Compressed);
    // A simple-file record with the name bytes, the stored bytes and (release 6) the original
    // length exactly as given, and no destination.
    SisWriter& addRawFile(std::vector<std::uint8_t> nameBytes, std::vector<std::uint8_t> stored,
                          std::uint32_t originalLength, std::uint32_t fileType = 0);
    // A multi-language record: one fork per language, in the order of the language list.
    SisWriter& addMultiLanguageFile(std::string_view sourceName, const std::vector<std::vector<std::uint8_t>>& forks,
                                    SisStorage storage = SisStorage::Compressed);
    // An options record: texts[option][language].
    SisWriter& addOptions(const std::vector<std::vector<std::string>>& texts);
    SisWriter& addIf(std::vector<std::uint8_t> expression);
    SisWriter& addElseIf(std::vector<std::uint8_t> expression);
    SisWriter& addElse();
    SisWriter& addEndIf();

    // Throws vexaro::Error for more than 65535 records or a package beyond 32-bit positions.
    WrittenPackage build() const;
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
    class Output;

    std::vector<std::uint8_t> name(std::string_view text) const;
    Fork fork(std::span<const std::uint8_t> data, SisStorage storage) const;
    Record fileRecord(std::uint32_t kind, std::string_view sourceName) const;
    SisWriter& addCondition(std::uint32_t kind, std::vector<std::uint8_t> expression);
    std::size_t recordSize(const Record& r) const;
    void writeStrings(Output& out) const;
    void writeData(Output& out) const;
    void writeHeader(Output& out) const;

    SisRelease release_;
    bool wide_;
    std::uint32_t uid1_ = 0x10000000;
    std::vector<std::uint16_t> languages_{1};
    std::uint16_t major_ = 1;
    std::uint16_t minor_ = 0;
    std::string componentName_ = "Vexaro";
    std::string destinationFolder_ = "!:\\system\\apps\\Vexaro\\";
    std::vector<Record> records_;
};

} // namespace vexaro::sis
