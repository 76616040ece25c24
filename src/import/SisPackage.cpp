#include "import/SisPackage.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <utility>

#define ZLIB_CONST
#include <zlib.h>

#include "base/ByteReader.h"
#include "base/Error.h"

namespace vexaro {
namespace sis {
namespace {

std::string Hex(std::uint32_t value)
{
    char buf[11];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(value));
    return buf;
}

[[noreturn]] void Damaged(const std::string& packageName, const std::string& detail)
{
    throw Error("Package " + Quoted(packageName) + " is damaged: " + detail);
}

std::string RecordLabel(std::size_t index, const SisFileRecord& record)
{
    std::string label = "file record " + std::to_string(index);
    if (!record.sourceName.empty())
        label += " (" + DisplayName(record.sourceName) + ")";
    return label;
}

// --- header ------------------------------------------------------------------------------------

constexpr std::size_t kCountFieldEnd = 22; // a package must reach past the record count

SisHeader ReadSisHeader(const ByteReader& in)
{
    SisHeader h;
    if (in.size() < kCountFieldEnd)
        return h; // too short to announce any record
    h.uid1 = *in.u32(0);
    h.uid2 = *in.u32(4);
    h.uid3 = *in.u32(8);
    h.languageCount = *in.u16(18);
    h.recordCount = *in.u16(20);
    if (const auto table = in.u32(52)) {
        h.fileTablePosition = *table;
        h.hasFileTable = true;
    }
    h.release = h.uid2 == kUid2Er5 ? Release::Er5 : h.uid2 == kUid2Er6 ? Release::Er6 : Release::Unknown;
    return h;
}

void CheckNotSymbian9(const SisHeader& h)
{
    if (h.uid1 == kUid1Symbian9)
        throw Error("Symbian OS 9 packages are not supported");
}

void CheckRecordCount(const SisHeader& h, const std::string& packageName)
{
    if (h.recordCount > kMaxFileRecords)
        throw Error("Package " + Quoted(packageName) + " announces " + std::to_string(h.recordCount) +
                    " file records; at most " + std::to_string(kMaxFileRecords) + " are supported");
}

// --- file table --------------------------------------------------------------------------------

// Size of the record of `kind` at `offset`, or nothing when a size field it needs lies beyond
// the end. Throws for a kind whose size cannot be known.
std::optional<std::uint64_t> RecordSize(const ByteReader& in, std::uint64_t offset, std::uint32_t kind,
                                        const SisHeader& h, std::size_t index, const std::string& packageName)
{
    const std::uint64_t n = h.languageCount;
    const bool er5 = h.release == Release::Er5;
    if (h.release == Release::Unknown)
        return 48; // every record taken as a simple-file record
    switch (static_cast<RecordKind>(kind)) {
    case RecordKind::File: return er5 ? 36 : 48;
    case RecordKind::MultiLanguageFile: return er5 ? 28 + 8 * n : 36 + 12 * n;
    case RecordKind::Options: {
        const auto m = in.u32(offset + 4);
        if (!m)
            return std::nullopt;
        return 8 + 8 * std::uint64_t{*m} * n + 16; // at most 2^32 * 2^16 * 8: no overflow
    }
    case RecordKind::If:
    case RecordKind::ElseIf: {
        const auto s = in.u32(offset + 4);
        if (!s)
            return std::nullopt;
        return 8 + std::uint64_t{*s};
    }
    case RecordKind::Else:
    case RecordKind::EndIf: return 4;
    }
    Damaged(packageName, "file record " + std::to_string(index) + " at offset " + std::to_string(offset) +
                             " has the unknown kind " + Hex(kind));
}

// Fills the fields of a file record (simple or multi-language) that lies wholly in the package.
void ReadFileFields(const ByteReader& in, const SisHeader& h, SisFileRecord& r)
{
    const std::uint64_t o = r.offset;
    r.forkCount = r.kind == RecordKind::File ? 1 : h.languageCount;
    r.fileType = *in.u32(o + 4);
    r.fileDetails = *in.u32(o + 8);
    r.sourceNameLength = *in.u32(o + 12);
    r.sourceNamePosition = *in.u32(o + 16);
    if (r.forkCount == 0)
        return; // a multi-language record of a package without languages holds no file
    const std::uint64_t f = r.forkCount;
    r.storedLength = *in.u32(o + 28);
    r.dataPosition = *in.u32(o + 28 + 4 * f);
    if (h.release == Release::Er5) {
        r.originalLength = r.storedLength;
    } else {
        r.originalLength = *in.u32(o + 28 + 8 * f);
        r.compressed = r.storedLength != r.originalLength;
    }
}

// Walks the table from its position, each record as long as its kind says. The first record
// that does not lie wholly in the package, and every one after it, stays all zero.
std::vector<SisFileRecord> ReadFileTable(const ByteReader& in, const SisHeader& h, const std::string& packageName)
{
    std::vector<SisFileRecord> records(h.recordCount);
    if (!h.hasFileTable)
        return records;
    std::uint64_t offset = h.fileTablePosition;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto kind = in.u32(offset);
        if (!kind)
            break;
        const auto size = RecordSize(in, offset, *kind, h, i, packageName);
        if (!size || !in.has(offset, *size))
            break;
        SisFileRecord& r = records[i];
        r.kind = h.release == Release::Unknown ? RecordKind::File : static_cast<RecordKind>(*kind);
        r.offset = offset;
        r.size = *size;
        r.inPackage = true;
        if (r.kind == RecordKind::File || r.kind == RecordKind::MultiLanguageFile)
            ReadFileFields(in, h, r);
        offset += *size;
    }
    return records;
}

bool HasSourceName(const SisFileRecord& r)
{
    return r.inPackage && (r.kind == RecordKind::File || r.kind == RecordKind::MultiLanguageFile);
}

std::string DecodeName(std::span<const std::uint8_t> bytes, Release release)
{
    std::string name;
    if (release == Release::Er5) {
        name.assign(bytes.begin(), bytes.end());
    } else {
        name.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            name.push_back(static_cast<char>(bytes[i])); // the low byte; the high byte is dropped
    }
    return name;
}

void CheckInPackage(const ByteReader& in, std::uint64_t position, std::uint64_t length, const std::string& what,
                    const std::string& packageName)
{
    if (length != 0 && !in.has(position, length))
        Damaged(packageName, what + " (" + std::to_string(length) + " bytes at offset " + std::to_string(position) +
                                 ") runs past the end of the package (" + std::to_string(in.size()) + " bytes)");
}

void ReadSourceName(const ByteReader& in, const SisHeader& h, std::size_t index, SisFileRecord& r,
                    const std::string& packageName)
{
    const std::string what = "the source name of file record " + std::to_string(index);
    CheckInPackage(in, r.sourceNamePosition, r.sourceNameLength, what, packageName);
    if (r.sourceNameLength > kMaxNameBytes)
        Damaged(packageName, what + " is " + std::to_string(r.sourceNameLength) + " bytes long; at most " +
                                 std::to_string(kMaxNameBytes) + " are read");
    // A name of no bytes may point anywhere, even past the end: it is empty.
    if (r.sourceNameLength != 0)
        r.sourceName = DecodeName(*in.bytes(r.sourceNamePosition, r.sourceNameLength), h.release);
}

void CheckEntryData(const ByteReader& in, std::size_t index, const SisFileRecord& r, const std::string& packageName)
{
    CheckInPackage(in, r.dataPosition, r.storedLength, "the data of " + RecordLabel(index, r), packageName);
}

void CheckCompressedLength(std::size_t index, const SisFileRecord& r, const std::string& packageName)
{
    if (r.compressed && r.originalLength > kMaxDeflateRatio * r.storedLength)
        Damaged(packageName, RecordLabel(index, r) + ": an original length of " + std::to_string(r.originalLength) +
                                 " bytes cannot come from " + std::to_string(r.storedLength) + " bytes of zlib data");
}

// No entry yields more than its original length, so their sum bounds what the package writes.
void CheckUnpackedTotal(const std::vector<SisFileRecord>& records, const std::string& packageName)
{
    std::uint64_t total = 0;
    for (const SisFileRecord& r : records)
        if (r.forkCount != 0)
            total += r.originalLength;
    if (total > kMaxUnpackedBytes)
        throw Error("Package " + Quoted(packageName) + " would unpack to " + std::to_string(total) +
                    " bytes; at most " + std::to_string(kMaxUnpackedBytes) + " bytes (" +
                    std::to_string(kMaxUnpackedBytes >> 20) + " MiB) are unpacked from one package");
}

SisPackage Parse(const ByteReader& in, const std::string& packageName)
{
    SisPackage package;
    package.header = ReadSisHeader(in);
    CheckNotSymbian9(package.header);
    CheckRecordCount(package.header, packageName);
    package.records = ReadFileTable(in, package.header, packageName);
    for (std::size_t i = 0; i < package.records.size(); ++i) {
        SisFileRecord& r = package.records[i];
        if (!HasSourceName(r))
            continue;
        ReadSourceName(in, package.header, i, r, packageName);
        CheckEntryData(in, i, r, packageName);
        CheckCompressedLength(i, r, packageName);
    }
    CheckUnpackedTotal(package.records, packageName);
    return package;
}

// --- entries -----------------------------------------------------------------------------------

// One entry being read: where its data is, where it goes, and how messages name it.
struct Entry {
    const ByteReader& in;
    const SisFileRecord& record;
    const EntrySink* sink; // null when the entry goes nowhere: its data is still checked
    std::string label;     // "Package "NAME" is damaged: file record I (DISPLAY)"
};

[[noreturn]] void BadStream(const Entry& e, const std::string& what)
{
    throw Error("Error\n" + e.label + ": the compressed data " + what);
}

struct ZStream {
    z_stream z{};
    explicit ZStream(const Entry& e)
    {
        const int rc = inflateInit(&z);
        if (rc == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (rc != Z_OK)
            BadStream(e, std::string("cannot be inflated (") + zError(rc) + ")");
    }
    ~ZStream() { inflateEnd(&z); }
    ZStream(const ZStream&) = delete;
    ZStream& operator=(const ZStream&) = delete;
};

// The next piece of at most kChunkBytes of the entry's data, which has been found inside the
// package; valid until the next read.
std::span<const std::uint8_t> NextPiece(const Entry& e, std::uint64_t& position, std::uint64_t& left)
{
    const auto n = std::min<std::uint64_t>(left, kChunkBytes);
    const std::span<const std::uint8_t> piece = *e.in.bytes(position, n);
    position += n;
    left -= n;
    return piece;
}

// Inflates the entry's zlib stream chunk by chunk into its sink. A stream that is corrupt, ends
// before its end marker or yields more than the original length throws; a complete stream that
// yields less gives what it yields.
void InflateEntry(const Entry& e)
{
    ZStream zs(e);
    std::vector<std::uint8_t> out(kChunkBytes);
    std::uint64_t position = e.record.dataPosition;
    std::uint64_t left = e.record.storedLength;
    std::uint64_t written = 0;
    for (;;) {
        if (zs.z.avail_in == 0 && left != 0) {
            const std::span<const std::uint8_t> piece = NextPiece(e, position, left);
            zs.z.next_in = piece.data();
            zs.z.avail_in = static_cast<uInt>(piece.size());
        }
        zs.z.next_out = out.data();
        zs.z.avail_out = static_cast<uInt>(out.size());
        const int rc = inflate(&zs.z, Z_NO_FLUSH);
        if (rc == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT)
            BadStream(e, std::string("is corrupt (") + (zs.z.msg != nullptr ? zs.z.msg : zError(rc)) + ")");
        if (rc != Z_OK && rc != Z_STREAM_END)
            BadStream(e, "ends early"); // no progress: every stored byte is in
        const std::size_t produced = out.size() - zs.z.avail_out;
        if (produced > e.record.originalLength - written)
            BadStream(e, "inflates to more than the original length of " + std::to_string(e.record.originalLength) +
                             " bytes");
        if (e.sink != nullptr)
            (*e.sink)(std::span(out).first(produced));
        written += produced;
        if (rc == Z_STREAM_END)
            return;
    }
}

void CopyEntry(const Entry& e)
{
    if (e.sink == nullptr)
        return;
    std::uint64_t position = e.record.dataPosition;
    for (std::uint64_t left = e.record.storedLength; left != 0;)
        (*e.sink)(NextPiece(e, position, left));
}

} // namespace

SisPackage ParseSisPackage(const ByteReader& in, const std::string& packageName) { return Parse(in, packageName); }

SisPackage ParseSisPackage(std::span<const std::uint8_t> bytes, const std::string& packageName)
{
    return Parse(ByteReader(bytes), packageName);
}

void ReadEntry(const ByteReader& in, const SisPackage& package, std::size_t index, const EntrySink* sink,
               const std::string& packageName)
{
    const SisFileRecord& r = package.records.at(index);
    if (r.forkCount == 0)
        return;
    // Entry data has been found inside the package when the package was parsed.
    const Entry entry{in, r, sink, "Package " + Quoted(packageName) + " is damaged: " + RecordLabel(index, r)};
    if (r.compressed)
        InflateEntry(entry);
    else
        CopyEntry(entry);
}

bool IsMultiBitmapName(std::string_view sourceName)
{
    const std::string display = DisplayName(sourceName);
    const std::size_t dot = display.rfind('.');
    return dot != std::string::npos && display.compare(dot, std::string::npos, ".mbm") == 0;
}

std::optional<std::vector<std::uint8_t>> ReadMultiBitmapEntry(const ByteReader& in, const std::string& packageName)
{
    const SisPackage package = Parse(in, packageName);
    std::optional<std::size_t> theme;
    for (std::size_t i = 0; i < package.records.size(); ++i)
        if (package.records[i].forkCount != 0 && IsMultiBitmapName(package.records[i].sourceName))
            theme = i;
    std::optional<std::vector<std::uint8_t>> bytes;
    const EntrySink keep = [&bytes](std::span<const std::uint8_t> piece) {
        bytes->insert(bytes->end(), piece.begin(), piece.end());
    };
    for (std::size_t i = 0; i < package.records.size(); ++i) {
        if (i != theme) {
            ReadEntry(in, package, i, nullptr, packageName);
            continue;
        }
        bytes.emplace();
        bytes->reserve(package.records[i].originalLength);
        ReadEntry(in, package, i, &keep, packageName);
    }
    return bytes;
}

std::string DisplayName(std::string_view sourceName)
{
    const std::size_t cut = sourceName.find_last_of("\\/:");
    return std::string(cut == std::string_view::npos ? sourceName : sourceName.substr(cut + 1));
}

} // namespace sis

} // namespace vexaro
