#include "PackageBuilder.h"

#include <algorithm>
#include <stdexcept>

#include <zlib.h>

namespace vexaro::test {

namespace {

constexpr std::uint32_t kUid2Er5 = 0x1000006D;
constexpr std::uint32_t kUid2Er6 = 0x10003A12;
constexpr std::uint32_t kUid3 = 0x10000419;
constexpr std::uint16_t kOptionUnicode = 0x0001;
constexpr std::uint16_t kOptionNoCompress = 0x0008;

void Append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("zlib compress2 failed");
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> Name16(std::string_view text)
{
    std::vector<std::uint8_t> out;
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> Name8(std::string_view text)
{
    return Bytes(text);
}

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

std::uint16_t SisCrc(std::span<const std::uint8_t> bytes, std::uint16_t crc)
{
    for (std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int i = 0; i < 8; ++i)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

PackageBuilder::PackageBuilder(SisRelease release) : release_(release), wide_(release == SisRelease::Er6) {}

PackageBuilder& PackageBuilder::uid1(std::uint32_t uid)
{
    uid1_ = uid;
    return *this;
}

PackageBuilder& PackageBuilder::languages(std::vector<std::uint16_t> codes)
{
    languages_ = std::move(codes);
    return *this;
}

PackageBuilder& PackageBuilder::wideNames(bool wide)
{
    wide_ = wide;
    return *this;
}

std::vector<std::uint8_t> PackageBuilder::name(std::string_view text) const
{
    return wide_ ? Name16(text) : Name8(text);
}

PackageBuilder::Fork PackageBuilder::fork(std::span<const std::uint8_t> data, SisStorage storage) const
{
    Fork f;
    f.originalLength = static_cast<std::uint32_t>(data.size());
    if (release_ == SisRelease::Er6 && storage == SisStorage::Compressed)
        f.stored = ZlibCompress(data);
    else
        f.stored.assign(data.begin(), data.end());
    return f;
}

PackageBuilder& PackageBuilder::addFile(std::string_view sourceName, std::span<const std::uint8_t> data, SisStorage storage)
{
    Record r;
    r.kind = 0;
    r.sourceName = name(sourceName);
    const std::size_t cut = sourceName.find_last_of("\\/:");
    r.destination = name("!:\\system\\apps\\Vexaro\\" + std::string(sourceName.substr(cut == std::string_view::npos ? 0 : cut + 1)));
    r.forks.push_back(fork(data, storage));
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addRawFile(std::vector<std::uint8_t> nameBytes, std::vector<std::uint8_t> stored,
                                           std::uint32_t originalLength, std::uint32_t fileType)
{
    Record r;
    r.kind = 0;
    r.fileType = fileType;
    r.sourceName = std::move(nameBytes);
    r.forks.push_back(Fork{std::move(stored), originalLength});
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addMultiLanguageFile(std::string_view sourceName,
                                                     const std::vector<std::vector<std::uint8_t>>& forks, SisStorage storage)
{
    if (forks.size() != languages_.size())
        throw std::invalid_argument("a multi-language record needs one fork per language");
    Record r;
    r.kind = 1;
    r.sourceName = name(sourceName);
    r.destination = name("!:\\system\\apps\\Vexaro\\res.rsc");
    for (const auto& data : forks)
        r.forks.push_back(fork(data, storage));
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addOptions(const std::vector<std::vector<std::string>>& texts)
{
    Record r;
    r.kind = 2;
    for (const auto& perLanguage : texts) {
        if (perLanguage.size() != languages_.size())
            throw std::invalid_argument("an option needs one text per language");
        auto& option = r.options.emplace_back();
        for (const auto& text : perLanguage)
            option.push_back(name(text));
    }
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addIf(std::vector<std::uint8_t> expression)
{
    Record r;
    r.kind = 3;
    r.expression = std::move(expression);
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addElseIf(std::vector<std::uint8_t> expression)
{
    Record r;
    r.kind = 4;
    r.expression = std::move(expression);
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addElse()
{
    Record r;
    r.kind = 5;
    records_.push_back(std::move(r));
    return *this;
}

PackageBuilder& PackageBuilder::addEndIf()
{
    Record r;
    r.kind = 6;
    records_.push_back(std::move(r));
    return *this;
}

std::size_t PackageBuilder::recordSize(const Record& r) const
{
    const bool er5 = release_ == SisRelease::Er5;
    const std::size_t f = r.forks.size();
    switch (r.kind) {
    case 0:
    case 1:
        return er5 ? 28 + 8 * f : 36 + 12 * f;
    case 2:
        return 8 + 8 * r.options.size() * languages_.size() + 16;
    case 3:
    case 4:
        return 8 + r.expression.size();
    default:
        return 4;
    }
}

BuiltPackage PackageBuilder::build() const
{
    const bool er5 = release_ == SisRelease::Er5;
    const std::size_t n = languages_.size();
    const std::size_t headerSize = er5 ? 68 : 100;
    BuiltPackage out;
    std::vector<std::uint8_t>& b = out.bytes;

    // Fixed part: header, language list, records, component-name record; pointers filled below.
    std::size_t pos = headerSize + 2 * n;
    out.fileTableOffset = pos;
    for (const auto& r : records_) {
        out.recordOffsets.push_back(pos);
        pos += recordSize(r);
    }
    const std::size_t componentOffset = pos;
    pos += 8 * n;
    b.assign(pos, 0);

    // String block.
    auto addString = [&b](std::span<const std::uint8_t> s) {
        const std::size_t at = b.size();
        Append(b, s);
        return static_cast<std::uint32_t>(at);
    };
    std::vector<std::uint32_t> sourcePos(records_.size()), destPos(records_.size()), mimePos(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        if (r.kind == 2) {
            const std::size_t o = out.recordOffsets[i];
            for (std::size_t k = 0; k < r.options.size(); ++k)
                for (std::size_t l = 0; l < n; ++l) {
                    const std::uint32_t at = addString(r.options[k][l]);
                    PutU32(b, o + 8 + 8 * n * k + 4 * l, static_cast<std::uint32_t>(r.options[k][l].size()));
                    PutU32(b, o + 8 + 8 * n * k + 4 * n + 4 * l, at);
                }
            continue;
        }
        if (r.kind > 1)
            continue;
        sourcePos[i] = addString(r.sourceName);
        destPos[i] = addString(r.destination);
        mimePos[i] = static_cast<std::uint32_t>(b.size());
    }
    const auto component = name("Vexaro test");
    for (std::size_t l = 0; l < n; ++l) {
        const std::uint32_t at = addString(component);
        PutU32(b, componentOffset + 4 * l, static_cast<std::uint32_t>(component.size()));
        PutU32(b, componentOffset + 4 * n + 4 * l, at);
    }

    // Data block and the records themselves.
    bool anyCompressed = false;
    std::uint32_t installedSpace = 0;
    out.dataOffsets.assign(records_.size(), 0);
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        const std::size_t o = out.recordOffsets[i];
        PutU32(b, o, r.kind);
        if (r.kind == 3 || r.kind == 4) {
            PutU32(b, o + 4, static_cast<std::uint32_t>(r.expression.size()));
            std::copy(r.expression.begin(), r.expression.end(), b.begin() + static_cast<std::ptrdiff_t>(o + 8));
        } else if (r.kind == 2) {
            PutU32(b, o + 4, static_cast<std::uint32_t>(r.options.size()));
            const std::size_t bitmap = o + 8 + 8 * n * r.options.size();
            for (std::size_t k = 0; k < 16; ++k)
                b[bitmap + k] = 0xFF;
        }
        if (r.kind > 1)
            continue;
        const std::size_t f = r.forks.size();
        PutU32(b, o + 4, r.fileType);
        PutU32(b, o + 12, static_cast<std::uint32_t>(r.sourceName.size()));
        PutU32(b, o + 16, sourcePos[i]);
        PutU32(b, o + 20, static_cast<std::uint32_t>(r.destination.size()));
        PutU32(b, o + 24, destPos[i]);
        for (std::size_t k = 0; k < f; ++k) {
            const Fork& fk = r.forks[k];
            const std::uint32_t at = addString(fk.stored);
            if (k == 0)
                out.dataOffsets[i] = at;
            PutU32(b, o + 28 + 4 * k, static_cast<std::uint32_t>(fk.stored.size()));
            PutU32(b, o + 28 + 4 * f + 4 * k, at);
            if (!er5) {
                PutU32(b, o + 28 + 8 * f + 4 * k, fk.originalLength);
                anyCompressed |= fk.stored.size() != fk.originalLength;
            }
            if (k == 0)
                installedSpace += fk.originalLength;
        }
        if (!er5) {
            PutU32(b, o + 28 + 12 * f, 0);
            PutU32(b, o + 32 + 12 * f, mimePos[i]);
        }
    }

    // Header.
    PutU32(b, 0, uid1_);
    PutU32(b, 4, er5 ? kUid2Er5 : kUid2Er6);
    PutU32(b, 8, kUid3);
    PutU16(b, 18, static_cast<std::uint16_t>(n));
    PutU16(b, 20, static_cast<std::uint16_t>(records_.size()));
    PutU16(b, 28, er5 ? 0 : '!');
    PutU32(b, 32, er5 ? 100 : 200);
    std::uint16_t options = wide_ ? kOptionUnicode : 0;
    if (!er5 && !anyCompressed)
        options |= kOptionNoCompress;
    PutU16(b, 36, options);
    PutU16(b, 40, 1); // version 1.00
    PutU32(b, 48, static_cast<std::uint32_t>(headerSize));
    PutU32(b, 52, static_cast<std::uint32_t>(out.fileTableOffset));
    PutU32(b, 56, static_cast<std::uint32_t>(componentOffset)); // no requisites
    PutU32(b, 64, static_cast<std::uint32_t>(componentOffset));
    if (!er5) {
        PutU32(b, 72, static_cast<std::uint32_t>(componentOffset)); // no capabilities
        PutU32(b, 80, installedSpace);
    }
    for (std::size_t l = 0; l < n; ++l)
        PutU16(b, headerSize + 2 * l, languages_[l]);

    // UID4: CRCs of the bytes at even and at odd offsets of 0-11; then the checksum over all
    // bytes but its own two.
    std::vector<std::uint8_t> even, odd;
    for (std::size_t k = 0; k < 12; k += 2) {
        even.push_back(b[k]);
        odd.push_back(b[k + 1]);
    }
    PutU32(b, 12, SisCrc(even) | (std::uint32_t{SisCrc(odd)} << 16));
    const std::uint16_t crc = SisCrc(std::span(b).subspan(18), SisCrc(std::span(b).first(16)));
    PutU16(b, 16, crc);
    return out;
}

} // namespace vexaro::test
