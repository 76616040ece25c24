#include "mbm/MbmReader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/Error.h"

namespace vexaro::mbm {

namespace {

std::string Hex32(std::uint32_t v)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        s += digits[(v >> shift) & 0xF];
    return s;
}

std::string Bytes(std::size_t n) { return std::to_string(n) + " bytes"; }

// The 40 header bytes at `at` of a block the caller has read.
MbmBitmapHeader ParseBitmapHeader(const std::uint8_t* at)
{
    auto word = [&](std::size_t i) { return LoadU32(at + i); };
    auto sword = [&](std::size_t i) { return static_cast<std::int32_t>(word(i)); };
    MbmBitmapHeader h;
    h.size = sword(0);
    h.headerSize = sword(4);
    h.width = sword(8);
    h.height = sword(12);
    h.twipsWidth = sword(16);
    h.twipsHeight = sword(20);
    h.bitsPerPixel = sword(24);
    h.colourMode = word(28);
    h.paletteEntries = word(32);
    h.compression = word(36);
    return h;
}

// The 68 bytes at `at` of a block the caller has read.
MbmRomObject ParseRomObject(const std::uint8_t* at)
{
    auto word = [&](std::size_t i) { return LoadU32(at + i); };
    MbmRomObject o;
    o.uid = word(0);
    o.displayMode = word(4);
    o.heap = word(8);
    o.pile = word(12);
    o.byteWidth = word(16);
    o.header = ParseBitmapHeader(at + 20);
    o.chunk = word(60);
    o.dataOffset = word(64);
    return o;
}

// Header checks, then whether the stored data lies inside the file.
void CheckRecord(MbmBitmapRecord& record, const ByteReader& reader, std::uint64_t dataStart)
{
    record.fault = BitmapHeaderFault(record.header);
    if (!record.fault.empty())
        return;
    record.dataSize = static_cast<std::size_t>(record.header.size) - kBitmapHeaderSize;
    if (!reader.has(dataStart, record.dataSize)) {
        record.fault = "size " + std::to_string(record.header.size) + " at position " + std::to_string(dataStart) +
                       " runs past the end of the file (" + Bytes(reader.size()) + ")";
        return;
    }
    record.dataOffset = static_cast<std::size_t>(dataStart);
}

// Count and table of positions: `count` words at `tableAt`.
std::vector<std::uint32_t> ReadPositions(const ByteReader& reader, std::uint32_t rawCount, std::uint64_t tableAt)
{
    const auto count = static_cast<std::int32_t>(rawCount);
    if (count < 0)
        throw Error("negative bitmap count " + std::to_string(count));
    if (!reader.has(tableAt, static_cast<std::uint64_t>(count) * 4))
        throw Error("bitmap table of " + std::to_string(count) + " entries at position " + std::to_string(tableAt) +
                    " runs past the end of the file (" + Bytes(reader.size()) + ")");
    const std::span<const std::uint8_t> table = *reader.bytes(tableAt, static_cast<std::uint64_t>(count) * 4);
    std::vector<std::uint32_t> positions(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < positions.size(); ++i)
        positions[i] = LoadU32(table.data() + 4 * i);
    return positions;
}

// A bitmap's header, and where its data starts counted from the bitmap's position.
struct RecordStart {
    MbmBitmapHeader header;
    std::uint64_t dataFrom = 0;
};

// The records of the bitmaps at `positions`, each parsed by `parse` from the `length` bytes at
// its position; `what` names those bytes in the fault of a bitmap whose bytes lie outside the file.
std::vector<MbmBitmapRecord> ReadRecords(const ByteReader& reader, const std::vector<std::uint32_t>& positions,
                                         std::size_t length, const char* what,
                                         RecordStart (*parse)(const std::uint8_t*))
{
    std::vector<MbmBitmapRecord> records(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        MbmBitmapRecord& record = records[i];
        record.index = i;
        record.position = positions[i];
        const auto bytes = reader.bytes(record.position, length);
        if (!bytes) {
            record.fault = std::string(what) + " position " + std::to_string(record.position) +
                           " lies outside the file (" + Bytes(reader.size()) + ")";
            continue;
        }
        const RecordStart start = parse(bytes->data());
        record.header = start.header;
        CheckRecord(record, reader, std::uint64_t{record.position} + start.dataFrom);
    }
    return records;
}

MbmFile ReadFileStore(const ByteReader& reader)
{
    const auto start = reader.bytes(0, kFileStoreFirstBitmap);
    if (!start)
        throw Error("file of " + Bytes(reader.size()) + " is too short for a multi-bitmap file");
    MbmHeader header;
    header.uid1 = LoadU32(start->data());
    header.uid2 = LoadU32(start->data() + 4);
    header.uid3 = LoadU32(start->data() + 8);
    header.checksum = LoadU32(start->data() + 12);
    header.trailerPosition = LoadU32(start->data() + 16);
    CheckFileStoreHeader(header);
    MbmFile file;
    file.kind = MbmKind::FileStore;
    file.uidsOk = HasStandardUids(header);
    const std::uint32_t trailer = header.trailerPosition;
    const auto count = reader.u32(trailer);
    if (!count)
        throw Error("trailer position " + std::to_string(trailer) + " lies outside the file (" + Bytes(reader.size()) +
                    ")");
    const std::vector<std::uint32_t> positions = ReadPositions(reader, *count, std::uint64_t{trailer} + 4);
    file.bitmaps = ReadRecords(reader, positions, kBitmapHeaderSize, "header", [](const std::uint8_t* at) {
        return RecordStart{ParseBitmapHeader(at), kBitmapHeaderSize};
    });
    return file;
}

MbmFile ReadRomImage(const ByteReader& reader)
{
    if (!reader.has(0, 8))
        throw Error("file of " + Bytes(reader.size()) + " is too short for a ROM image");
    const MbmRomHeader header{*reader.u32(0), *reader.u32(4)};
    MbmFile file;
    file.kind = MbmKind::RomImage;
    const std::vector<std::uint32_t> positions = ReadPositions(reader, header.count, 8);
    file.bitmaps = ReadRecords(reader, positions, kRomObjectSize, "object", [](const std::uint8_t* at) {
        const MbmRomObject object = ParseRomObject(at);
        return RecordStart{object.header, object.dataOffset};
    });
    return file;
}

// Lead-byte schemes (codes 1, 3, 4, 5, 6): lead n in 0..127 repeats the next value n + 1
// times, lead -1..-128 is followed by -n literal values. A value is `In` bytes in the
// stream and `Out` bytes in the pixels; the bytes beyond `In` are set to 0xFF.
template <std::size_t In, std::size_t Out>
void DecodeLeadRle(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out)
{
    std::size_t in = 0, at = 0;
    const std::size_t total = out.size();
    while (in < stream.size()) {
        const std::size_t packetAt = in;
        const auto lead = static_cast<std::int8_t>(stream[in++]);
        const bool run = lead >= 0;
        const std::size_t count = run ? static_cast<std::size_t>(lead) + 1 : static_cast<std::size_t>(-lead);
        const std::size_t valueBytes = run ? In : In * count;
        if (stream.size() - in < valueBytes)
            throw Error("packet at stream offset " + std::to_string(packetAt) + " is cut off by the end of the data");
        if ((total - at) / Out < count)
            throw Error("packet at stream offset " + std::to_string(packetAt) + " runs past the end of the pixels");
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint8_t* value = stream.data() + in + (run ? 0 : k * In);
            std::memcpy(out.data() + at, value, In);
            if constexpr (Out > In)
                std::memset(out.data() + at + In, 0xFF, Out - In);
            at += Out;
        }
        in += valueBytes;
        if (at == total && in < stream.size())
            throw Error(std::to_string(stream.size() - in) + " bytes of data left over after the pixels");
    }
    if (at != total)
        throw Error("compressed data ends after " + std::to_string(at) + " of " + std::to_string(total) +
                    " pixel bytes");
}

// 12-bit scheme: each 16-bit word holds a run length minus one in its top four bits and the
// pixel 0x0RGB in the rest.
void DecodeRle12(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out)
{
    if (stream.size() % 2 != 0)
        throw Error("12-bit compressed data has an odd length " + std::to_string(stream.size()));
    std::size_t at = 0;
    const std::size_t total = out.size();
    for (std::size_t in = 0; in < stream.size(); in += 2) {
        if (at == total)
            throw Error(std::to_string(stream.size() - in) + " bytes of data left over after the pixels");
        const unsigned word = stream[in] | (stream[in + 1] << 8);
        const std::size_t count = (word >> 12) + 1;
        if ((total - at) / 2 < count)
            throw Error("packet at stream offset " + std::to_string(in) + " runs past the end of the pixels");
        const auto lo = static_cast<std::uint8_t>(word & 0xFF);
        const auto hi = static_cast<std::uint8_t>((word >> 8) & 0x0F);
        for (std::size_t k = 0; k < count; ++k) {
            out[at++] = lo;
            out[at++] = hi;
        }
    }
    if (at != total)
        throw Error("compressed data ends after " + std::to_string(at) + " of " + std::to_string(total) +
                    " pixel bytes");
}

} // namespace

MbmFile ReadMbm(std::span<const std::uint8_t> bytes) { return ReadMbm(ByteReader(bytes)); }

MbmFile ReadMbm(const ByteReader& reader)
{
    const auto first = reader.u32(0);
    if (!first)
        throw Error("file of " + Bytes(reader.size()) + " is too short for a multi-bitmap file");
    if (*first == kFileStoreUid1)
        return ReadFileStore(reader);
    if (*first == kRomImageUid)
        return ReadRomImage(reader);
    throw Error("not a multi-bitmap file (first word " + Hex32(*first) + ")");
}

void Decompress(Compression compression, std::span<const std::uint8_t> stream, std::span<std::uint8_t> out)
{
    switch (compression) {
    case Compression::None:
        if (stream.size() != out.size())
            throw Error("uncompressed data of " + Bytes(stream.size()) + " for " + Bytes(out.size()) + " of pixels");
        std::copy(stream.begin(), stream.end(), out.begin());
        return;
    case Compression::ByteRle: DecodeLeadRle<1, 1>(stream, out); return;
    case Compression::Rle12: DecodeRle12(stream, out); return;
    case Compression::Rle16: DecodeLeadRle<2, 2>(stream, out); return;
    case Compression::Rle24: DecodeLeadRle<3, 3>(stream, out); return;
    case Compression::Rle32U: DecodeLeadRle<3, 4>(stream, out); return;
    case Compression::Rle32A: DecodeLeadRle<4, 4>(stream, out); return;
    }
    throw Error("unknown compression " + std::to_string(static_cast<std::uint32_t>(compression)));
}

namespace {

// The image of a record without its pixels; throws when the record carries a fault or its
// data does not lie inside a file of `fileSize` bytes.
MbmImage StartImage(const MbmBitmapRecord& record, std::uint64_t fileSize)
{
    if (!record.fault.empty())
        throw Error("bitmap " + std::to_string(record.index) + ": " + record.fault);
    if (record.dataOffset > fileSize || record.dataSize > fileSize - record.dataOffset)
        throw Error("bitmap " + std::to_string(record.index) + ": its data lies outside the file");
    const MbmBitmapHeader& h = record.header;
    MbmImage image;
    image.width = h.width;
    image.height = h.height;
    image.twipsWidth = h.twipsWidth;
    image.twipsHeight = h.twipsHeight;
    image.bitsPerPixel = h.bitsPerPixel;
    image.colourMode = h.colourMode;
    image.pixels.resize(image.stride() * static_cast<std::size_t>(image.height));
    return image;
}

void DecompressInto(MbmImage& image, const MbmBitmapRecord& record, std::span<const std::uint8_t> stream)
{
    try {
        Decompress(static_cast<Compression>(record.header.compression), stream, image.pixels);
    } catch (const Error& e) {
        throw Error("bitmap " + std::to_string(record.index) + ": " + e.what());
    }
}

} // namespace

MbmImage DecodeBitmap(std::span<const std::uint8_t> bytes, const MbmBitmapRecord& record)
{
    return DecodeBitmap(ByteReader(bytes), record);
}

MbmImage DecodeBitmap(const ByteReader& reader, const MbmBitmapRecord& record)
{
    MbmImage image = StartImage(record, reader.size());
    if (record.header.compression == static_cast<std::uint32_t>(Compression::None) &&
        record.dataSize == image.pixels.size()) {
        reader.read(record.dataOffset, image.pixels); // stored as they are: read straight into place
        return image;
    }
    DecompressInto(image, record, *reader.bytes(record.dataOffset, record.dataSize));
    return image;
}

std::uint64_t DecodedPixels(const MbmFile& file, std::size_t count)
{
    std::uint64_t pixels = 0;
    const std::size_t entries = std::min(count, file.bitmaps.size());
    for (std::size_t i = 0; i < entries; ++i) {
        const MbmBitmapRecord& record = file.bitmaps[i];
        // A record without a fault has passed the size checks: each factor is below 2^15.
        if (record.fault.empty())
            pixels +=
                static_cast<std::uint64_t>(record.header.width) * static_cast<std::uint64_t>(record.header.height);
    }
    return pixels;
}

void CheckThemePixels(const MbmFile& file, std::size_t count, const std::string& name)
{
    const std::uint64_t pixels = DecodedPixels(file, count);
    if (pixels > kMaxThemePixels)
        throw Error("The theme " + Quoted(name) + " is too large: its bitmaps would unpack to " +
                    std::to_string(pixels) + " pixels, more than the limit of " + std::to_string(kMaxThemePixels) +
                    " pixels");
}

} // namespace vexaro::mbm
