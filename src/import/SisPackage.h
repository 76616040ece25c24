#pragma once
// The package reader: the files of an old Symbian installation package (.sis, EPOC release 3/4/5
// and release 6 = Symbian OS 6 to 8), read through a byte source (memory or a file). Nothing here
// writes a file; extraction into the workspace is in import/PackageExtract.h.
//
// The file table is walked record by record, each record's size taken from its kind: simple
// files are files of the package, a multi-language file gives the file of the first language in
// the package's language list, options and condition records are stepped over.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteReader.h"

namespace vexaro {

namespace sis {

// What one package may unpack in all: the sum of the original lengths of its files, which no
// entry can exceed. A theme takes a few megabytes.
inline constexpr std::uint64_t kMaxUnpackedBytes = std::uint64_t{256} << 20;
// Longest source name read, in bytes: a path on the computer that built the package, which
// no file system makes that long. Keeps the names of 1024 records within 4 MiB.
inline constexpr std::uint32_t kMaxNameBytes = 4096;
// Size of the pieces in which entry data is read, inflated and written.
inline constexpr std::size_t kChunkBytes = 64 * 1024;
// Largest number of file records taken (the count field is 16 bits wide).
inline constexpr std::uint16_t kMaxFileRecords = 1024;
// Deflate emits at most 258 bytes per 2-bit match (a 1-bit length code 285 and a 1-bit distance
// code) and 1 byte per literal of at least 1 bit, so no compressed bit yields more than 129
// bytes: a zlib stream of s bytes inflates to at most 1032 * s bytes.
inline constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Er5 and Er6 are recognised by UID2. Any other file is read the way a release 6 package of
// plain 48-byte simple-file records would be, without looking at the record kinds (Unknown).
enum class Release { Er5, Er6, Unknown };

inline constexpr std::uint32_t kUid2Er5 = 0x1000006D;
inline constexpr std::uint32_t kUid2Er6 = 0x10003A12;
inline constexpr std::uint32_t kUid1Symbian9 = 0x10201A7A;

// Package header as the reader takes it (little-endian; ER5 header 68 bytes, ER6 100 bytes).
//   off  width  field
//    0   u32    UID1: the application's UID; 0x10201A7A marks a Symbian OS 9 package
//    4   u32    UID2: 0x1000006D release 5, 0x10003A12 release 6 (anything else is read as 6)
//    8   u32    UID3: 0x10000419
//   12   u32    UID4: check word over bytes 0-11
//   16   u16    checksum
//   18   u16    number of languages n
//   20   u16    number of file records (records of every kind)
//   22..51      requisites, installation fields, options, type, version, variant, language list
//   52   u32    position of the first file record
//   56..        further table positions (not read)
struct SisHeader {
    std::uint32_t uid1 = 0;
    std::uint32_t uid2 = 0;
    std::uint32_t uid3 = 0;
    std::uint16_t languageCount = 0;
    std::uint16_t recordCount = 0;
    std::uint32_t fileTablePosition = 0;
    bool hasFileTable = false; // false when the package ends before offset 56
    Release release = Release::Er6;
};

// Record kinds (u32 at the start of each file record) and their sizes in bytes:
//   0 simple file          ER5 36, ER6 48
//   1 multi-language file  ER5 28 + 8n, ER6 36 + 12n (n = number of languages)
//   2 options              8 + 8mn + 16 (m = u32 at +4: number of options)
//   3 IF, 4 ELSEIF         8 + s (s = u32 at +4: size of the condition expression)
//   5 ELSE, 6 ENDIF        4
enum class RecordKind : std::uint32_t {
    File = 0,
    MultiLanguageFile = 1,
    Options = 2,
    If = 3,
    ElseIf = 4,
    Else = 5,
    EndIf = 6
};

// A file record (f = 1 for a simple file, n for a multi-language file; one fork per language in
// the order of the language list):
//   off       width   field
//    0        u32     kind
//    4        u32     file type (0 file, 1 text shown at install, 2 embedded package, 3 run, ...)
//    8        u32     file details
//   12        u32     source name length in bytes
//   16        u32     source name position
//   20        u32     destination name length (not read)
//   24        u32     destination name position (not read)
//   28        f u32   stored lengths, one per fork
//   28+4f     f u32   data positions
//   ER6 only:
//   28+8f     f u32   original (inflated) lengths
//   28+12f    u32     MIME type length (not read)
//   32+12f    u32     MIME type position (not read)
// Names are 16-bit units in ER6 (the low byte of each is the character), bytes in ER5. ER6 data
// whose stored length differs from the original length is one zlib stream; ER5 data is never
// compressed. The fields below describe the first fork. A record that lies wholly or partly
// beyond the end of the package keeps every field zero.
struct SisFileRecord {
    RecordKind kind = RecordKind::File;
    std::uint64_t offset = 0; // position in the package
    std::uint64_t size = 0;   // bytes the record takes in the table
    bool inPackage = false;   // false: the record could not be read and stays all zero
    std::uint32_t fileType = 0;
    std::uint32_t fileDetails = 0;
    std::uint32_t sourceNameLength = 0;
    std::uint32_t sourceNamePosition = 0;
    std::uint32_t forkCount = 0; // 0 for records without a file
    std::uint32_t storedLength = 0;
    std::uint32_t dataPosition = 0;
    std::uint32_t originalLength = 0; // ER5: equals storedLength
    bool compressed = false;
    std::string sourceName; // decoded, one char per unit
};

struct SisPackage {
    SisHeader header;
    std::vector<SisFileRecord> records; // header.recordCount records, in table order
};

// Reads and checks header, file table and names of the package in `in`, as extraction does
// before writing anything; `packageName` names the package in messages. Throws Error, before any
// entry is read:
//   "Symbian OS 9 packages are not supported"              UID1 is 0x10201A7A
//   "Package "NAME" announces N file records; ..."         more than kMaxFileRecords
//   "Package "NAME" is damaged: ..."                       an unknown record kind, a name or
//                                                          data outside the package, a name
//                                                          longer than kMaxNameBytes, or an
//                                                          original length no zlib stream of
//                                                          the stored length can produce
//   "Package "NAME" would unpack to N bytes; ..."          original lengths summing to more
//                                                          than kMaxUnpackedBytes
// and what the reader throws. A package shorter than 22 bytes has no records.
SisPackage ParseSisPackage(const ByteReader& in, const std::string& packageName);
SisPackage ParseSisPackage(std::span<const std::uint8_t> bytes, const std::string& packageName);

// Where the bytes of an entry go, piece by piece in order.
using EntrySink = std::function<void(std::span<const std::uint8_t>)>;

// Passes the bytes of file record `index` of `package` (read from `in` by ParseSisPackage) to
// `sink` in pieces of at most kChunkBytes, inflating a compressed entry chunk by chunk; with no
// sink its data is only checked. A record without a file passes nothing. Throws
//   "Error\nPackage "NAME" is damaged: file record I (DISPLAY): the compressed data ..."
// for a zlib stream that is corrupt (zlib's reason follows), ends early or yields more than its
// original length, and what the reader and the sink throw; std::bad_alloc passes through.
void ReadEntry(const ByteReader& in, const SisPackage& package, std::size_t index, const EntrySink* sink,
               const std::string& packageName);

// The name extraction gives the theme's multi-bitmap file.
inline constexpr const char* kMultiBitmapName = "temp.mbm";

// Whether extraction writes the entry of this source name as kMultiBitmapName: its display name
// ends in ".mbm", in exactly that case.
bool IsMultiBitmapName(std::string_view sourceName);

// The bytes of the file that extraction would leave as kMultiBitmapName (the last entry whose
// name is a multi-bitmap name), read into memory without writing anything; nothing when there is
// none. Every other entry is checked in table order as extraction checks it, so that a package
// extraction refuses part-way is refused here with the same message. At most kMaxUnpackedBytes.
// Throws as ParseSisPackage and ReadEntry do.
std::optional<std::vector<std::uint8_t>> ReadMultiBitmapEntry(const ByteReader& package,
                                                              const std::string& packageName);

// The source name after its last "\", "/" or ":".
std::string DisplayName(std::string_view sourceName);
} // namespace sis
} // namespace vexaro
