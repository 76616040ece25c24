#include "SisWriter.h"

#include <array>
#include <limits>

#include <zlib.h>

#include "base/Error.h"

namespace vexaro::sis {
namespace {

constexpr std::uint32_t kUid2Release6 = 0x10003A12;
constexpr std::uint32_t kUid3Package = 0x10000419;
constexpr std::size_t kHeaderSize = 100;
constexpr std::size_t kRecordSize = 48;
constexpr std::uint16_t kOptionUnicode = 0x0001;
constexpr std::uint32_t kInstallerVersion = 200;
constexpr std::uint16_t kDriveChosenByUser = '!';

// Appends little-endian words and remembers nothing else.
class ByteSink {
public:
    explicit ByteSink(std::vector<std::uint8_t>& out) : out_(out) {}
    void u16(std::uint16_t v)
    {
        out_.push_back(static_cast<std::uint8_t>(v));
        out_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }

private:
    std::vector<std::uint8_t>& out_;
};

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v)
{
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::vector<std::uint8_t> Utf16(const std::string& text, const std::string& what)
{
    std::vector<std::uint8_t> units;
    units.reserve(text.size() * 2);
    for (const char c : text) {
        const auto unit = static_cast<unsigned char>(c);
        if (unit > 0x7F)
            throw Error("Package " + what + " \"" + text + "\": only ASCII names are written");
        units.push_back(unit);
        units.push_back(0);
    }
    return units;
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, const std::string& name)
{
    if (data.size() > std::numeric_limits<uLong>::max())
        throw Error("Package entry \"" + name + "\" is too large to compress");
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> stream(length);
    if (compress2(stream.data(), &length, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw Error("Package entry \"" + name + "\" could not be compressed");
    stream.resize(length);
    return stream;
}

// Positions are 32 bits wide; `total` must stay within them.
std::uint32_t Position(std::uint64_t total)
{
    if (total > std::numeric_limits<std::uint32_t>::max())
        throw Error("Package would exceed 4 GiB (" + std::to_string(total) + " bytes)");
    return static_cast<std::uint32_t>(total);
}

} // namespace

std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc)
{
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i << 8;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1;
            t[i] = static_cast<std::uint16_t>(c);
        }
        return t;
    }();
    for (const std::uint8_t b : bytes)
        crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ b) & 0xFF]);
    return crc;
}

std::uint32_t UidCheckWord(std::uint32_t uid1, std::uint32_t uid2, std::uint32_t uid3)
{
    std::array<std::uint8_t, 12> bytes{};
    const std::array<std::uint32_t, 3> uids{uid1, uid2, uid3};
    for (std::size_t i = 0; i < 12; ++i)
        bytes[i] = static_cast<std::uint8_t>(uids[i / 4] >> (8 * (i % 4)));
    std::array<std::uint8_t, 6> even{}, odd{};
    for (std::size_t i = 0; i < 6; ++i) {
        even[i] = bytes[2 * i];
        odd[i] = bytes[2 * i + 1];
    }
    return std::uint32_t{Crc16(even)} | (std::uint32_t{Crc16(odd)} << 16);
}

std::vector<std::uint8_t> WriteSisPackage(const SisWriterPackage& package)
{
    if (package.entries.size() > std::numeric_limits<std::uint16_t>::max())
        throw Error("Package holds " + std::to_string(package.entries.size()) + " files; at most 65535 are written");

    struct Prepared {
        std::vector<std::uint8_t> source, destination, stream;
        std::uint32_t originalLength = 0;
    };
    std::vector<Prepared> prepared;
    prepared.reserve(package.entries.size());
    for (const SisWriterEntry& e : package.entries) {
        Prepared p;
        p.source = Utf16(e.sourceName, "source name");
        p.destination = Utf16(e.destinationName, "destination name");
        p.stream = Deflate(e.data, e.sourceName);
        p.originalLength = Position(e.data.size());
        prepared.push_back(std::move(p));
    }
    const std::vector<std::uint8_t> component = Utf16(package.componentName, "component name");

    // Positions of every section, summed in 64 bits and checked once each.
    const std::uint64_t languageList = kHeaderSize;
    const std::uint64_t fileTable = languageList + 2;
    const std::uint64_t componentRecord = fileTable + kRecordSize * prepared.size();
    std::uint64_t names = componentRecord + 8;
    std::uint64_t namesEnd = names;
    for (const Prepared& p : prepared)
        namesEnd += p.source.size() + p.destination.size();
    const std::uint64_t componentName = namesEnd;
    const std::uint64_t dataStart = componentName + component.size();
    std::uint64_t total = dataStart;
    std::uint64_t installedSpace = 0;
    for (const Prepared& p : prepared) {
        total += p.stream.size();
        installedSpace += p.originalLength;
    }
    Position(total);

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    ByteSink sink(out);
    const std::uint32_t uid4 = UidCheckWord(package.uid1, kUid2Release6, kUid3Package);
    sink.u32(package.uid1);
    sink.u32(kUid2Release6);
    sink.u32(kUid3Package);
    sink.u32(uid4);
    sink.u16(0); // checksum, filled in at the end
    sink.u16(1); // languages
    sink.u16(static_cast<std::uint16_t>(prepared.size()));
    sink.u16(0); // requisites
    sink.u16(0); // installation language
    sink.u16(0); // installation files
    sink.u16(kDriveChosenByUser);
    sink.u16(0); // capabilities
    sink.u32(kInstallerVersion);
    sink.u16(kOptionUnicode);
    sink.u16(0); // type: application
    sink.u16(package.majorVersion);
    sink.u16(package.minorVersion);
    sink.u32(0); // variant
    sink.u32(Position(languageList));
    sink.u32(Position(fileTable));
    sink.u32(Position(componentRecord)); // requisites: none, so the next record's position
    sink.u32(0);                         // certificates
    sink.u32(Position(componentRecord));
    sink.u32(0);                         // signature
    sink.u32(Position(componentRecord)); // capabilities: none
    sink.u32(0);                         // installed space
    sink.u32(Position(installedSpace));
    sink.zeros(16);

    sink.u16(package.language);

    std::uint64_t name = names;
    std::uint64_t data = dataStart;
    for (const Prepared& p : prepared) {
        sink.u32(0); // simple file
        sink.u32(0); // ordinary file, installed
        sink.u32(0); // details
        sink.u32(Position(p.source.size()));
        sink.u32(Position(name));
        sink.u32(Position(p.destination.size()));
        sink.u32(Position(name + p.source.size()));
        sink.u32(Position(p.stream.size()));
        sink.u32(Position(data));
        sink.u32(p.originalLength);
        sink.u32(0);                  // MIME type length
        sink.u32(Position(namesEnd)); // MIME type position: just past the file names
        name += p.source.size() + p.destination.size();
        data += p.stream.size();
    }

    sink.u32(Position(component.size()));
    sink.u32(Position(componentName));

    for (const Prepared& p : prepared) {
        out.insert(out.end(), p.source.begin(), p.source.end());
        out.insert(out.end(), p.destination.begin(), p.destination.end());
    }
    out.insert(out.end(), component.begin(), component.end());
    for (const Prepared& p : prepared)
        out.insert(out.end(), p.stream.begin(), p.stream.end());

    const std::span<const std::uint8_t> all(out);
    const std::uint16_t checksum = Crc16(all.subspan(18), Crc16(all.first(16)));
    PutU16(out, 16, checksum);
    return out;
}

} // namespace vexaro::sis
