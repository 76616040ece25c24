#include "SisWriter.h"

#include <algorithm>
#include <array>
#include <limits>

#include <zlib.h>

#include "base/Bytes.h"
#include "base/Error.h"

namespace vexaro::sis {
namespace {

constexpr std::uint32_t kUid2Er5 = 0x1000006D;
constexpr std::uint32_t kUid2Er6 = 0x10003A12;
constexpr std::uint32_t kUid3Package = 0x10000419;
constexpr std::uint16_t kOptionUnicode = 0x0001;
constexpr std::uint16_t kOptionNoCompress = 0x0008;
constexpr std::uint32_t kInstallerEr5 = 100;
constexpr std::uint32_t kInstallerEr6 = 200;
constexpr std::uint16_t kDriveChosenByUser = '!';

enum Kind : std::uint32_t {
    kFile = 0,
    kMultiLanguageFile = 1,
    kOptions = 2,
    kIf = 3,
    kElseIf = 4,
    kElse = 5,
    kEndIf = 6
};

bool IsFile(std::uint32_t kind) { return kind == kFile || kind == kMultiLanguageFile; }

// Positions and lengths are 32 bits wide.
std::uint32_t Word(std::uint64_t value)
{
    if (value > std::numeric_limits<std::uint32_t>::max())
        throw Error("Package would exceed 4 GiB (" + std::to_string(value) + " bytes)");
    return static_cast<std::uint32_t>(value);
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
    StoreU32(bytes.data(), uid1);
    StoreU32(bytes.data() + 4, uid2);
    StoreU32(bytes.data() + 8, uid3);
    std::array<std::uint8_t, 6> even{}, odd{};
    for (std::size_t i = 0; i < 6; ++i) {
        even[i] = bytes[2 * i];
        odd[i] = bytes[2 * i + 1];
    }
    return std::uint32_t{Crc16(even)} | (std::uint32_t{Crc16(odd)} << 16);
}

std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data, int level)
{
    if (data.size() > std::numeric_limits<uLong>::max())
        throw Error("Package entry of " + std::to_string(data.size()) + " bytes is too large to compress");
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> stream(length);
    if (compress2(stream.data(), &length, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw Error("Package entry of " + std::to_string(data.size()) + " bytes could not be compressed");
    stream.resize(length);
    return stream;
}

// The package while it is written: its bytes, where each record went, and what the strings
// pass on to the records and the header.
class SisWriter::Output {
public:
    WrittenPackage package;
    std::size_t componentRecord = 0;
    std::vector<std::uint32_t> sourcePositions, destinationPositions;
    std::uint32_t mimePosition = 0; // just past the record strings
    bool anyCompressed = false;
    std::uint64_t installedSpace = 0;

    std::vector<std::uint8_t>& bytes() { return package.bytes; }
    std::size_t record(std::size_t i) const { return package.recordOffsets[i]; }
    void u16(std::size_t at, std::uint16_t v) { StoreU16(package.bytes.data() + at, v); }
    void u32(std::size_t at, std::uint64_t v) { StoreU32(package.bytes.data() + at, Word(v)); }
    // Appends `s` and gives its position.
    std::uint32_t append(std::span<const std::uint8_t> s)
    {
        const std::uint32_t at = Word(package.bytes.size());
        Word(std::uint64_t{at} + s.size());
        package.bytes.insert(package.bytes.end(), s.begin(), s.end());
        return at;
    }
};

SisWriter::SisWriter(SisRelease release) : release_(release), wide_(release == SisRelease::Er6) {}

SisWriter& SisWriter::uid1(std::uint32_t uid)
{
    uid1_ = uid;
    return *this;
}

SisWriter& SisWriter::languages(std::vector<std::uint16_t> codes)
{
    languages_ = std::move(codes);
    return *this;
}

SisWriter& SisWriter::version(std::uint16_t major, std::uint16_t minor)
{
    major_ = major;
    minor_ = minor;
    return *this;
}

SisWriter& SisWriter::componentName(std::string name)
{
    componentName_ = std::move(name);
    return *this;
}

SisWriter& SisWriter::destinationFolder(std::string folder)
{
    destinationFolder_ = std::move(folder);
    return *this;
}

SisWriter& SisWriter::wideNames(bool wide)
{
    wide_ = wide;
    return *this;
}

std::vector<std::uint8_t> SisWriter::name(std::string_view text) const
{
    std::vector<std::uint8_t> out;
    for (const char c : text) {
        const auto unit = static_cast<unsigned char>(c);
        if (wide_ && unit > 0x7F)
            throw Error("Package name \"" + std::string(text) + "\": only ASCII names are written as 16-bit units");
        out.push_back(unit);
        if (wide_)
            out.push_back(0);
    }
    return out;
}

SisWriter::Fork SisWriter::fork(std::span<const std::uint8_t> data, SisStorage storage) const
{
    Fork f;
    f.originalLength = Word(data.size());
    if (release_ == SisRelease::Er6 && storage == SisStorage::Compressed)
        f.stored = ZlibCompress(data);
    else
        f.stored.assign(data.begin(), data.end());
    return f;
}

SisWriter::Record SisWriter::fileRecord(std::uint32_t kind, std::string_view sourceName) const
{
    Record r;
    r.kind = kind;
    r.sourceName = name(sourceName);
    const std::size_t cut = sourceName.find_last_of("\\/:");
    r.destination =
        name(destinationFolder_ + std::string(sourceName.substr(cut == std::string_view::npos ? 0 : cut + 1)));
    return r;
}

SisWriter& SisWriter::addFile(std::string_view sourceName, std::span<const std::uint8_t> data, SisStorage storage)
{
    Record r = fileRecord(kFile, sourceName);
    r.forks.push_back(fork(data, storage));
    records_.push_back(std::move(r));
    return *this;
}

SisWriter& SisWriter::addRawFile(std::vector<std::uint8_t> nameBytes, std::vector<std::uint8_t> stored,
                                 std::uint32_t originalLength, std::uint32_t fileType)
{
    Record r;
    r.kind = kFile;
    r.fileType = fileType;
    r.sourceName = std::move(nameBytes);
    r.forks.push_back(Fork{std::move(stored), originalLength});
    records_.push_back(std::move(r));
    return *this;
}

SisWriter& SisWriter::addMultiLanguageFile(std::string_view sourceName,
                                           const std::vector<std::vector<std::uint8_t>>& forks, SisStorage storage)
{
    if (forks.size() != languages_.size())
        throw Error("A multi-language record needs one fork per language");
    Record r = fileRecord(kMultiLanguageFile, sourceName);
    for (const auto& data : forks)
        r.forks.push_back(fork(data, storage));
    records_.push_back(std::move(r));
    return *this;
}

SisWriter& SisWriter::addOptions(const std::vector<std::vector<std::string>>& texts)
{
    Record r;
    r.kind = kOptions;
    for (const auto& perLanguage : texts) {
        if (perLanguage.size() != languages_.size())
            throw Error("An option needs one text per language");
        auto& option = r.options.emplace_back();
        for (const auto& text : perLanguage)
            option.push_back(name(text));
    }
    records_.push_back(std::move(r));
    return *this;
}

SisWriter& SisWriter::addCondition(std::uint32_t kind, std::vector<std::uint8_t> expression)
{
    Record r;
    r.kind = kind;
    r.expression = std::move(expression);
    records_.push_back(std::move(r));
    return *this;
}

SisWriter& SisWriter::addIf(std::vector<std::uint8_t> expression) { return addCondition(kIf, std::move(expression)); }
SisWriter& SisWriter::addElseIf(std::vector<std::uint8_t> expression)
{
    return addCondition(kElseIf, std::move(expression));
}
SisWriter& SisWriter::addElse() { return addCondition(kElse, {}); }
SisWriter& SisWriter::addEndIf() { return addCondition(kEndIf, {}); }

std::size_t SisWriter::recordSize(const Record& r) const
{
    const bool er5 = release_ == SisRelease::Er5;
    const std::size_t f = r.forks.size();
    switch (r.kind) {
    case kFile:
    case kMultiLanguageFile: return er5 ? 28 + 8 * f : 36 + 12 * f;
    case kOptions: return 8 + 8 * r.options.size() * languages_.size() + 16;
    case kIf:
    case kElseIf: return 8 + r.expression.size();
    default: return 4;
    }
}

// Option texts, file names and component names, and the record fields that point at them.
void SisWriter::writeStrings(Output& out) const
{
    const std::size_t n = languages_.size();
    out.sourcePositions.assign(records_.size(), 0);
    out.destinationPositions.assign(records_.size(), 0);
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        const std::size_t o = out.record(i);
        for (std::size_t k = 0; k < r.options.size(); ++k)
            for (std::size_t l = 0; l < n; ++l) {
                out.u32(o + 8 + 8 * n * k + 4 * l, r.options[k][l].size());
                out.u32(o + 8 + 8 * n * k + 4 * n + 4 * l, out.append(r.options[k][l]));
            }
        if (IsFile(r.kind)) {
            out.sourcePositions[i] = out.append(r.sourceName);
            out.destinationPositions[i] = out.append(r.destination);
        }
    }
    out.mimePosition = Word(out.bytes().size());
    const std::vector<std::uint8_t> component = name(componentName_);
    for (std::size_t l = 0; l < n; ++l) {
        out.u32(out.componentRecord + 4 * l, component.size());
        out.u32(out.componentRecord + 4 * n + 4 * l, out.append(component));
    }
}

// Every record's own fields, and the data of the file records after the strings.
void SisWriter::writeData(Output& out) const
{
    const bool er5 = release_ == SisRelease::Er5;
    out.package.dataOffsets.assign(records_.size(), 0);
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        const std::size_t o = out.record(i);
        out.u32(o, r.kind);
        if (r.kind == kIf || r.kind == kElseIf) {
            out.u32(o + 4, r.expression.size());
            std::copy(r.expression.begin(), r.expression.end(),
                      out.bytes().begin() + static_cast<std::ptrdiff_t>(o + 8));
        } else if (r.kind == kOptions) {
            out.u32(o + 4, r.options.size());
            const std::size_t selected = o + 8 + 8 * languages_.size() * r.options.size();
            std::fill_n(out.bytes().begin() + static_cast<std::ptrdiff_t>(selected), 16, std::uint8_t{0xFF});
        }
        if (!IsFile(r.kind))
            continue;
        const std::size_t f = r.forks.size();
        out.u32(o + 4, r.fileType);
        out.u32(o + 12, r.sourceName.size());
        out.u32(o + 16, out.sourcePositions[i]);
        out.u32(o + 20, r.destination.size());
        out.u32(o + 24, out.destinationPositions[i]);
        for (std::size_t k = 0; k < f; ++k) {
            const Fork& fk = r.forks[k];
            const std::uint32_t at = out.append(fk.stored);
            if (k == 0)
                out.package.dataOffsets[i] = at;
            out.u32(o + 28 + 4 * k, fk.stored.size());
            out.u32(o + 28 + 4 * f + 4 * k, at);
            if (!er5)
                out.u32(o + 28 + 8 * f + 4 * k, fk.originalLength);
            out.anyCompressed |= fk.stored.size() != fk.originalLength;
        }
        if (f != 0)
            out.installedSpace += r.forks[0].originalLength;
        if (!er5)
            out.u32(o + 32 + 12 * f, out.mimePosition); // MIME type: length 0 at o + 28 + 12f
    }
}

void SisWriter::writeHeader(Output& out) const
{
    const bool er5 = release_ == SisRelease::Er5;
    const std::size_t headerSize = er5 ? 68 : 100;
    const std::uint32_t uid2 = er5 ? kUid2Er5 : kUid2Er6;
    out.u32(0, uid1_);
    out.u32(4, uid2);
    out.u32(8, kUid3Package);
    out.u32(12, UidCheckWord(uid1_, uid2, kUid3Package));
    out.u16(18, static_cast<std::uint16_t>(languages_.size()));
    out.u16(20, static_cast<std::uint16_t>(records_.size()));
    out.u16(28, er5 ? 0 : kDriveChosenByUser);
    out.u32(32, er5 ? kInstallerEr5 : kInstallerEr6);
    std::uint16_t options = wide_ ? kOptionUnicode : 0;
    if (!er5 && !out.anyCompressed)
        options |= kOptionNoCompress;
    out.u16(36, options);
    out.u16(40, major_);
    out.u16(42, minor_);
    out.u32(48, headerSize); // the language list follows the header
    out.u32(52, out.package.fileTableOffset);
    out.u32(56, out.componentRecord); // no requisites: the next record's position
    out.u32(64, out.componentRecord);
    if (!er5) {
        out.u32(72, out.componentRecord); // no capabilities
        out.u32(80, out.installedSpace);
    }
    for (std::size_t l = 0; l < languages_.size(); ++l)
        out.u16(headerSize + 2 * l, languages_[l]);
    // The checksum covers every byte but its own two.
    const std::span<const std::uint8_t> all(out.bytes());
    out.u16(16, Crc16(all.subspan(18), Crc16(all.first(16))));
}

WrittenPackage SisWriter::build() const
{
    if (records_.size() > std::numeric_limits<std::uint16_t>::max())
        throw Error("Package holds " + std::to_string(records_.size()) + " records; at most 65535 are written");
    Output out;
    std::size_t position = (release_ == SisRelease::Er5 ? 68 : 100) + 2 * languages_.size();
    out.package.fileTableOffset = position;
    for (const Record& r : records_) {
        out.package.recordOffsets.push_back(position);
        position += recordSize(r);
    }
    out.componentRecord = position;
    out.bytes().assign(position + 8 * languages_.size(), 0);
    writeStrings(out);
    writeData(out);
    writeHeader(out);
    return std::move(out.package);
}

} // namespace vexaro::sis
