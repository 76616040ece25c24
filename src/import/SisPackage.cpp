#include "import/SisPackage.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>

#include <zlib.h>

#include "base/Bytes.h"
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
    throw Error("Package \"" + packageName + "\" is damaged: " + detail);
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
        throw Error("Package \"" + packageName + "\" announces " + std::to_string(h.recordCount) +
                    " file records; at most " + std::to_string(kMaxFileRecords) + " are supported");
}

// --- file table --------------------------------------------------------------------------------

// Size of the record of `kind` at `offset`, or nothing when a size field it needs lies beyond
// the end. Throws for a kind whose size cannot be known.
std::optional<std::uint64_t> RecordSize(const ByteReader& in, std::uint64_t offset, std::uint32_t kind, const SisHeader& h,
                                        std::size_t index, const std::string& packageName)
{
    const std::uint64_t n = h.languageCount;
    const bool er5 = h.release == Release::Er5;
    if (h.release == Release::Unknown)
        return 48; // every record taken as a simple-file record
    switch (static_cast<RecordKind>(kind)) {
    case RecordKind::File:
        return er5 ? 36 : 48;
    case RecordKind::MultiLanguageFile:
        return er5 ? 28 + 8 * n : 36 + 12 * n;
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
    case RecordKind::EndIf:
        return 4;
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

void ReadSourceName(const ByteReader& in, const SisHeader& h, std::size_t index, SisFileRecord& r, const std::string& packageName)
{
    CheckInPackage(in, r.sourceNamePosition, r.sourceNameLength, "the source name of file record " + std::to_string(index),
                   packageName);
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

// --- extraction --------------------------------------------------------------------------------

struct ZStream {
    z_stream z{};
    ZStream()
    {
        const int rc = inflateInit(&z);
        if (rc == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (rc != Z_OK)
            throw Error("Error");
    }
    ~ZStream() { inflateEnd(&z); }
    ZStream(const ZStream&) = delete;
    ZStream& operator=(const ZStream&) = delete;
};

// Inflates one zlib stream into at most `originalLength` bytes. The output grows as the stream
// yields it, so a false original length costs no memory. A stream that is corrupt, ends before
// its end marker or would yield more than `originalLength` throws Error("Error"); a complete
// stream that yields less gives what it yields.
std::vector<std::uint8_t> Inflate(std::span<const std::uint8_t> stream, std::uint32_t originalLength)
{
    ZStream zs;
    zs.z.next_in = const_cast<Bytef*>(stream.data());
    zs.z.avail_in = static_cast<uInt>(stream.size()); // at most kMaxPackageBytes
    std::vector<std::uint8_t> out;
    std::array<std::uint8_t, 64 * 1024> chunk;
    for (;;) {
        zs.z.next_out = chunk.data();
        zs.z.avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(&zs.z, Z_NO_FLUSH);
        if (rc == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (rc != Z_OK && rc != Z_STREAM_END)
            throw Error("Error"); // corrupt, or no progress because the stream ends early
        const std::size_t produced = chunk.size() - zs.z.avail_out;
        if (produced > originalLength - out.size())
            throw Error("Error");
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(produced));
        if (rc == Z_STREAM_END)
            return out;
    }
}

// Windows opens these names (with any extension) as devices, not as files in the folder.
bool IsWindowsDeviceName(std::string_view name)
{
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    std::string upper(base);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL")
        return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' && upper[3] <= '9';
}

void WriteEntry(std::span<const std::uint8_t> package, const SisFileRecord& r, const std::string& sourceFolder)
{
    const std::string name = OutputName(r.sourceName);
    const std::string path = sourceFolder + name;
    std::ofstream file;
    if (!name.empty())
        file.open(std::filesystem::path(path), std::ios::binary | std::ios::trunc);

    // Checked against the package before the first entry was written.
    const auto stored = r.storedLength == 0 ? std::span<const std::uint8_t>() : package.subspan(r.dataPosition, r.storedLength);
    std::vector<std::uint8_t> inflated;
    if (r.compressed)
        inflated = Inflate(stored, r.originalLength); // on failure the file stays empty
    const std::span<const std::uint8_t> bytes = r.compressed ? std::span<const std::uint8_t>(inflated) : stored;

    if (!file.is_open())
        return; // cannot be created: skipped, its data read all the same
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (file.fail()) // leave an empty file rather than a cut one
        std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
}

// The whole file, or nothing when it cannot be opened. Reads at most kMaxPackageBytes + 1 bytes,
// so that a device or a growing file cannot make it read without end.
std::vector<std::uint8_t> ReadPackageFile(const std::string& path, const std::string& packageName)
{
    std::vector<std::uint8_t> bytes;
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        return bytes;
    constexpr std::size_t kChunk = 256 * 1024;
    while (in && bytes.size() <= kMaxPackageBytes) {
        const std::size_t old = bytes.size();
        bytes.resize(old + kChunk);
        in.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(kChunk));
        bytes.resize(old + static_cast<std::size_t>(in.gcount()));
    }
    if (bytes.size() > kMaxPackageBytes)
        throw Error("Package \"" + packageName + "\" is too large: more than " + std::to_string(kMaxPackageBytes) +
                    " bytes");
    return bytes;
}

} // namespace

SisPackage ParseSisPackage(std::span<const std::uint8_t> bytes, const std::string& packageName)
{
    const ByteReader in(bytes);
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
    return package;
}

std::string DisplayName(std::string_view sourceName)
{
    const std::size_t cut = sourceName.find_last_of("\\/:");
    return std::string(cut == std::string_view::npos ? sourceName : sourceName.substr(cut + 1));
}

std::string OutputName(std::string_view sourceName)
{
    const std::string display = DisplayName(sourceName);
    const std::size_t dot = display.rfind('.');
    if (dot != std::string::npos && display.compare(dot, std::string::npos, ".mbm") == 0)
        return "temp.mbm";
    if (display.empty() || display == "." || display == ".." || display.find('\0') != std::string::npos ||
        IsWindowsDeviceName(display))
        return {};
    return display;
}

} // namespace sis

void ExtractSisPackage(const std::string& packagePath, const std::string& sourceFolder, WindowSeam& window)
{
    const std::string packageName = std::filesystem::path(packagePath).filename().string();
    const std::vector<std::uint8_t> bytes = sis::ReadPackageFile(packagePath, packageName);
    const sis::SisPackage package = sis::ParseSisPackage(bytes, packageName);

    window.setProgressMax(static_cast<int>(package.records.size()));
    for (std::size_t i = 0; i < package.records.size(); ++i) {
        const sis::SisFileRecord& r = package.records[i];
        window.setOpenCaption("Process : " + sis::DisplayName(r.sourceName));
        window.processMessages();
        if (r.forkCount != 0)
            sis::WriteEntry(bytes, r, sourceFolder);
        window.setProgressPosition(static_cast<int>(i + 1));
        window.processMessages();
    }
}

} // namespace vexaro
