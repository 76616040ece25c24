#include "bitmap/BmpCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Folder.h"
#include "base/Unicode.h"

namespace vexaro {

namespace {

// ---------------------------------------------------------------------------------------------
// On-disk layout. Every integer is little-endian.
//
// Optional OS/2 bitmap array header ("BA"), 14 bytes; only the first picture is read, and the
// offsets of the file header that follows still count from the start of the whole file:
//    0  u16  type           "BA"
//    2  u32  size           not used
//    6  u32  next           not used
//   10  u16  screenWidth    not used
//   12  u16  screenHeight   not used
//
// File header (BITMAPFILEHEADER), 14 bytes:
//    0  u16  type           "BM"
//    2  u32  fileSize       not used: OS/2 writers often store the header size here
//    6  u32  reserved       not used
//   10  u32  pixelOffset    where the pixels start, counted from the start of the file
//
// Core header (OS/2 1.x, BITMAPCOREHEADER), 12 bytes:
//    0  u32  headerSize     12
//    4  u16  width
//    6  u16  height         rows are always bottom-up
//    8  u16  planes         1
//   10  u16  bitCount       1, 2, 4, 8, 16, 24, 32
//
// Info header (Windows 3 and later, BITMAPINFOHEADER and its successors); OS/2 2.x uses the
// same first fields and may cut the header short anywhere from 16 bytes on (missing fields
// read as zero):
//    0  u32  headerSize     16..64 (OS/2 2.x), 40, 52, 56, 108 (v4), 124 (v5), or more
//    4  i32  width          > 0
//    8  i32  height         negative: rows are stored top-down
//   12  u16  planes         1
//   14  u16  bitCount       1, 2, 4, 8, 16, 24, 32
//   16  u32  compression    0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS, 6 ALPHABITFIELDS
//                           (in OS/2 2.x headers 3 is Huffman 1D and 4 is RLE24: not read)
//   20  u32  sizeImage      not used
//   24  i32  xPelsPerMeter  not used
//   28  i32  yPelsPerMeter  not used
//   32  u32  colorsUsed     palette entries; 0 = 2^bitCount
//   36  u32  colorsImportant not used
//   40  u32  redMask        headers of 52 bytes and more (not OS/2 2.x)
//   44  u32  greenMask
//   48  u32  blueMask
//   52  u32  alphaMask      headers of 56 bytes and more; alpha is not kept
//   56  ...                 v4/v5 colour space, gamma, intent, profile: not used
//
// A 40-byte header with BITFIELDS is followed by the three masks (ALPHABITFIELDS: four,
// the last one alpha). Then comes the palette, for 1 to 8 bits per pixel: 4 bytes per entry
// (blue, green, red, 0), 3 bytes (blue, green, red) after a core header.
//
// Pixels: rows padded to 4 bytes, bottom row first unless the height is negative.
// RLE8/RLE4: pairs (count, value) repeat value count times (RLE4: the two nibbles take
// turns); count 0 escapes: 0 end of line, 1 end of picture, 2 delta (dx, dy follow),
// n >= 3 a literal run of n pixels padded to an even number of bytes.
// ---------------------------------------------------------------------------------------------

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kArrayHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kMinOs2HeaderSize = 16;
constexpr std::uint32_t kMaxOs2HeaderSize = 64;
constexpr std::size_t kHeaderFieldsKept = 56; // everything past the alpha mask is unused

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

[[noreturn]] void NotValid() { throw Error(kBitmapNotValid); }

// The value of a read that must succeed: a read past the end is an invalid bitmap.
template <class T>
T Need(const std::optional<T>& value)
{
    if (!value)
        NotValid();
    return *value;
}

struct BmpFileHeader {
    std::uint16_t type = 0;
    std::uint32_t fileSize = 0;
    std::uint32_t pixelOffset = 0;
};

enum class HeaderKind { Core, Os2v2, Info };

// Every header variant, read into one record.
struct BmpInfoHeader {
    HeaderKind kind = HeaderKind::Info;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // as stored: negative for top-down rows
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    bool masksInHeader = false;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// What the pixel reader needs, worked out and checked from the headers.
struct BmpLayout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = kRgb;
    PixelFormat format = PixelFormat::Bits24;
    ChannelMasks masks{};
    std::vector<Rgb> palette;
    std::size_t pixelOffset = 0;
};

// --- reading the records -------------------------------------------------------------------

BmpFileHeader ReadFileHeader(const ByteReader& in, std::uint64_t at)
{
    const std::span<const std::uint8_t> b = Need(in.bytes(at, kFileHeaderSize));
    BmpFileHeader h;
    h.type = LoadU16(b.data());
    h.fileSize = LoadU32(b.data() + 2);
    h.pixelOffset = LoadU32(b.data() + 10);
    return h;
}

// 12 is the core header. 40, 52 and 56 are Windows headers, and so is anything over 64
// (v4, v5, and sizes no writer uses yet, which start with the same fields). The other sizes
// from 16 to 64 are OS/2 2.x headers, cut short or full.
HeaderKind CheckHeaderSize(std::uint32_t size)
{
    if (size == kCoreHeaderSize)
        return HeaderKind::Core;
    if (size == kInfoHeaderSize || size == 52 || size == 56 || size > kMaxOs2HeaderSize)
        return HeaderKind::Info;
    if (size >= kMinOs2HeaderSize)
        return HeaderKind::Os2v2;
    NotValid();
}

BmpInfoHeader ReadInfoHeader(const ByteReader& in, std::uint64_t at)
{
    BmpInfoHeader h;
    h.headerSize = Need(in.u32(at));
    h.kind = CheckHeaderSize(h.headerSize);
    const std::size_t rest = h.headerSize - 4;
    const auto raw = Need(in.bytes(at + 4, rest)); // the whole header must be in the file
    if (h.kind == HeaderKind::Core) {
        h.width = LoadU16(raw.data());
        h.height = LoadU16(raw.data() + 2);
        h.planes = LoadU16(raw.data() + 4);
        h.bitCount = LoadU16(raw.data() + 6);
        return h;
    }
    // Fields after the end of a short OS/2 2.x header read as zero.
    std::array<std::uint8_t, kHeaderFieldsKept> f{};
    std::memcpy(f.data() + 4, raw.data(), std::min(rest, f.size() - 4));
    h.width = static_cast<std::int32_t>(LoadU32(&f[4]));
    h.height = static_cast<std::int32_t>(LoadU32(&f[8]));
    h.planes = LoadU16(&f[12]);
    h.bitCount = LoadU16(&f[14]);
    h.compression = LoadU32(&f[16]);
    h.colorsUsed = LoadU32(&f[32]);
    if (h.kind == HeaderKind::Info && h.headerSize >= 52) {
        h.masksInHeader = true;
        h.redMask = LoadU32(&f[40]);
        h.greenMask = LoadU32(&f[44]);
        h.blueMask = LoadU32(&f[48]);
    }
    return h;
}

// --- checks --------------------------------------------------------------------------------

void CheckFileHeader(const BmpFileHeader& h, std::size_t fileSize)
{
    if (h.type != 0x4D42) // "BM"
        NotValid();
    if (h.pixelOffset > fileSize)
        NotValid();
}

void CheckDimensions(const BmpInfoHeader& h)
{
    if (h.width <= 0 || h.width > kMaxSide)
        NotValid();
    if (h.height == 0 || h.height > kMaxSide || h.height < -std::int64_t{kMaxSide})
        NotValid();
}

void CheckPlanes(const BmpInfoHeader& h)
{
    if (h.planes != 1)
        NotValid();
}

void CheckBitCount(const BmpInfoHeader& h)
{
    switch (h.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: return;
    default: NotValid();
    }
}

void CheckCompression(const BmpInfoHeader& h)
{
    switch (h.compression) {
    case kRgb: return;
    case kRle8:
        if (h.bitCount != 8)
            NotValid();
        return;
    case kRle4:
        if (h.bitCount != 4)
            NotValid();
        return;
    case kBitFields:
    case kAlphaBitFields:
        // OS/2 2.x gives code 3 to Huffman 1D, which is not read.
        if (h.kind != HeaderKind::Info || (h.bitCount != 16 && h.bitCount != 32))
            NotValid();
        return;
    default: NotValid();
    }
}

// A channel mask must lie inside the pixel word and be one run of set bits (or be empty).
void CheckMask(std::uint32_t mask, int bitCount)
{
    if (bitCount == 16 && mask > 0xFFFF)
        NotValid();
    if (mask == 0)
        return;
    const std::uint32_t run = mask >> std::countr_zero(mask);
    if ((run & (run + 1)) != 0)
        NotValid();
}

// Bytes one row of the picture takes in the file.
std::size_t FileStride(int bitCount, int width)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

PixelFormat FormatFor(int bitCount)
{
    switch (bitCount) {
    case 1: return PixelFormat::Pal1;
    case 2:
    case 4: return PixelFormat::Pal4; // 2-bit pictures keep their indices in 4-bit cells
    case 8: return PixelFormat::Pal8;
    case 16: return PixelFormat::Bits16;
    case 24: return PixelFormat::Bits24;
    default: return PixelFormat::Bits32;
    }
}

// The pixel buffer the picture needs must stay within kMaxPixelBytes.
void CheckPixelBufferSize(PixelFormat format, int width, int height)
{
    if (RowStride(format, width) > kMaxPixelBytes / static_cast<std::size_t>(height))
        NotValid();
}

// The uncompressed pixels must all be in the file; the last row may lack its padding.
void CheckPixelData(const BmpLayout& l, std::size_t fileSize)
{
    const std::size_t stride = FileStride(l.bitCount, l.width);
    const std::size_t lastRow = (static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.bitCount) + 7) / 8;
    // width and height are capped at kMaxSide, so this cannot overflow.
    const std::size_t needed = stride * static_cast<std::size_t>(l.height - 1) + lastRow;
    if (needed > fileSize - l.pixelOffset)
        NotValid();
}

// The masks of the header, or those that follow it at `at`, which then moves past them.
ChannelMasks ReadMasks(const BmpInfoHeader& h, const ByteReader& in, std::uint64_t& at)
{
    if (h.compression == kRgb)
        return h.bitCount == 16 ? kMasks555 : kMasks888;
    ChannelMasks m;
    if (h.masksInHeader) {
        m = {h.redMask, h.greenMask, h.blueMask};
    } else {
        const std::size_t length = h.compression == kAlphaBitFields ? 16 : 12; // the alpha mask is not kept
        const auto b = Need(in.bytes(at, length));
        m = {LoadU32(b.data()), LoadU32(b.data() + 4), LoadU32(b.data() + 8)};
        at += length;
    }
    CheckMask(m.r, h.bitCount);
    CheckMask(m.g, h.bitCount);
    CheckMask(m.b, h.bitCount);
    // No colour mask at all: read the file as BI_RGB would be.
    if (m == ChannelMasks{})
        m = h.bitCount == 16 ? kMasks555 : kMasks888;
    return m;
}

// The palette at `start`.
std::vector<Rgb> ReadPalette(const BmpInfoHeader& h, const ByteReader& in, std::uint64_t start, std::size_t pixelOffset)
{
    const std::size_t entrySize = h.kind == HeaderKind::Core ? 3 : 4;
    const std::size_t maxEntries = std::size_t{1} << h.bitCount;
    // A stated count must be in the file, even where only the first 2^bitCount are used.
    if (h.colorsUsed > (in.size() - start) / entrySize)
        NotValid();
    std::size_t count = h.colorsUsed != 0 ? h.colorsUsed : maxEntries;
    count = std::min(count, maxEntries);
    // The pixels may start before the full palette ends (short OS/2 palettes); the caller
    // has made sure they do not start before the palette.
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, (pixelOffset - start) / entrySize));
    const auto raw = Need(in.bytes(start, count * entrySize));
    std::vector<Rgb> palette(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = raw.data() + i * entrySize;
        palette[i] = Rgb{e[2], e[1], e[0]};
    }
    return palette;
}

BmpLayout ReadLayout(std::span<const std::uint8_t> bytes)
{
    const ByteReader in(bytes);
    std::uint64_t at = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'A' ? kArrayHeaderSize : 0;
    const BmpFileHeader file = ReadFileHeader(in, at);
    CheckFileHeader(file, bytes.size());
    at += kFileHeaderSize;
    const BmpInfoHeader info = ReadInfoHeader(in, at);
    at += info.headerSize;
    CheckDimensions(info);
    CheckPlanes(info);
    CheckBitCount(info);
    CheckCompression(info);

    BmpLayout l;
    l.width = static_cast<int>(info.width);
    l.height = static_cast<int>(info.height < 0 ? -info.height : info.height);
    l.topDown = info.height < 0;
    l.bitCount = info.bitCount;
    l.compression = info.compression;
    l.format = FormatFor(info.bitCount);
    CheckPixelBufferSize(l.format, l.width, l.height);

    if (l.format == PixelFormat::Bits16 || l.format == PixelFormat::Bits32)
        l.masks = ReadMasks(info, in, at);
    // Pixels cannot start inside the headers.
    if (file.pixelOffset < at)
        NotValid();
    l.pixelOffset = file.pixelOffset;
    if (IsPaletted(l.format))
        l.palette = ReadPalette(info, in, at, l.pixelOffset);
    if (l.compression != kRle8 && l.compression != kRle4)
        CheckPixelData(l, bytes.size());
    return l;
}

// --- pixels --------------------------------------------------------------------------------

void ReadRows(std::span<const std::uint8_t> bytes, const BmpLayout& l, Bitmap& out)
{
    const std::size_t fileStride = FileStride(l.bitCount, l.width);
    const std::size_t rowBits = static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.bitCount);
    const std::size_t rowBytes = (rowBits + 7) / 8;
    // Bits of the last byte that belong to no pixel are cleared.
    const auto tailMask = static_cast<std::uint8_t>(0xFF00u >> (rowBits % 8 == 0 ? 8 : rowBits % 8));
    const std::uint8_t* src = bytes.data() + l.pixelOffset;
    for (int i = 0; i < l.height; ++i, src += fileStride) {
        std::uint8_t* dst = out.row(l.topDown ? i : l.height - 1 - i);
        if (l.bitCount == 2) {
            for (int x = 0; x < l.width; ++x) {
                const unsigned index = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
                dst[x >> 1] = static_cast<std::uint8_t>(dst[x >> 1] | ((x & 1) ? index : index << 4));
            }
            continue;
        }
        std::memcpy(dst, src, rowBytes);
        if (rowBits % 8 != 0)
            dst[rowBytes - 1] &= tailMask;
    }
}

// Decodes an RLE8 or RLE4 stream. Pixels the stream skips keep index 0; a stream that ends
// early, or runs past the last row, leaves what it decoded so far. Pixels beyond the right
// edge are dropped.
class RleDecoder {
public:
    RleDecoder(std::span<const std::uint8_t> stream, const BmpLayout& l, Bitmap& out)
        : stream_(stream), layout_(l), out_(out), four_(l.compression == kRle4),
          row_(out.row(l.topDown ? 0 : l.height - 1))
    {
    }

    void run()
    {
        while (pos_ + 2 <= stream_.size() && y_ < layout_.height) {
            const unsigned count = stream_[pos_];
            const unsigned value = stream_[pos_ + 1];
            pos_ += 2;
            if (count > 0)
                encoded(count, value);
            else if (!escape(value))
                return;
        }
    }

private:
    void moveTo(int y)
    {
        y_ = y; // counts rows in stored order
        if (y_ < layout_.height)
            row_ = out_.row(layout_.topDown ? y_ : layout_.height - 1 - y_);
    }

    void put(int px, unsigned index)
    {
        if (four_) {
            std::uint8_t& b = row_[px >> 1];
            b = (px & 1) ? static_cast<std::uint8_t>((b & 0xF0) | index)
                         : static_cast<std::uint8_t>((b & 0x0F) | (index << 4));
        } else {
            row_[px] = static_cast<std::uint8_t>(index);
        }
    }

    // `count` pixels of `value` (RLE4: its two halves in turn).
    void encoded(unsigned count, unsigned value)
    {
        const int fit = std::min(static_cast<int>(count), layout_.width - x_);
        if (four_) {
            for (int k = 0; k < fit; ++k)
                put(x_ + k, (k & 1) ? (value & 0x0F) : (value >> 4));
        } else if (fit > 0) {
            std::memset(row_ + x_, static_cast<int>(value), static_cast<std::size_t>(fit));
        }
        x_ = std::min(x_ + static_cast<int>(count), layout_.width);
    }

    // An escape after a zero count; false when decoding ends here.
    bool escape(unsigned value)
    {
        const std::size_t n = stream_.size();
        switch (value) {
        case 0: // end of line
            x_ = 0;
            moveTo(y_ + 1);
            return true;
        case 1: // end of picture
            return false;
        case 2: { // delta
            if (pos_ + 2 > n)
                return false;
            const int dx = stream_[pos_], dy = stream_[pos_ + 1];
            pos_ += 2;
            x_ = std::min(x_ + dx, layout_.width);
            if (dy != 0)
                moveTo(std::min(y_ + dy, layout_.height));
            return true;
        }
        default: // literal run of `value` pixels
            return literal(value);
        }
    }

    bool literal(unsigned value)
    {
        const std::size_t runBytes = four_ ? (value + 1) / 2 : value;
        const std::size_t have = std::min(runBytes, stream_.size() - pos_);
        const unsigned pixels =
            four_ ? std::min<unsigned>(value, static_cast<unsigned>(have * 2)) : static_cast<unsigned>(have);
        const int fit = std::min(static_cast<int>(pixels), layout_.width - x_);
        const std::uint8_t* src = stream_.data() + pos_;
        for (int k = 0; k < fit; ++k)
            put(x_ + k, four_ ? ((k & 1) ? (src[k >> 1] & 0x0Fu) : (src[k >> 1] >> 4)) : src[k]);
        x_ = std::min(x_ + static_cast<int>(value), layout_.width);
        if (have < runBytes)
            return false; // the stream ends inside the run
        pos_ += runBytes + (runBytes & 1);
        return true;
    }

    std::span<const std::uint8_t> stream_;
    const BmpLayout& layout_;
    Bitmap& out_;
    const bool four_;
    std::uint8_t* row_;
    int x_ = 0, y_ = 0;
    std::size_t pos_ = 0;
};

void ReadRle(std::span<const std::uint8_t> stream, const BmpLayout& l, Bitmap& out)
{
    RleDecoder(stream, l, out).run();
}

} // namespace

void DecodeBmp(std::span<const std::uint8_t> bytes, Bitmap& bitmap)
{
    if (bytes.empty()) {
        bitmap = Bitmap();
        return;
    }
    // Every check is done before the picture is touched: a refused file leaves it as it was.
    BmpLayout l = ReadLayout(bytes);
    bitmap.reset(l.width, l.height, l.format, std::move(l.palette), l.masks);
    if (l.compression == kRle8 || l.compression == kRle4)
        ReadRle(bytes.subspan(l.pixelOffset), l, bitmap);
    else
        ReadRows(bytes, l, bitmap);
}

std::optional<PixelRows> ViewBmpPixels(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return std::nullopt;
    BmpLayout l = ReadLayout(bytes);
    if (l.compression == kRle8 || l.compression == kRle4 || l.bitCount == 2)
        return std::nullopt;
    const std::size_t stride = FileStride(l.bitCount, l.width);
    PixelRows rows;
    rows.width = l.width;
    rows.height = l.height;
    rows.format = l.format;
    rows.masks = l.masks;
    rows.palette = std::move(l.palette);
    const std::uint8_t* first = bytes.data() + l.pixelOffset; // the first row in the file
    if (l.topDown) {
        rows.top = first;
        rows.step = static_cast<std::ptrdiff_t>(stride);
    } else {
        rows.top = first + stride * static_cast<std::size_t>(l.height - 1);
        rows.step = -static_cast<std::ptrdiff_t>(stride);
    }
    return rows;
}

std::vector<std::uint8_t> EncodeBmp(const Bitmap& bitmap)
{
    // An empty picture is written as an empty file, which reads back as an empty picture.
    if (bitmap.empty())
        return {};
    const PixelFormat format = bitmap.format();
    const int bpp = bitmap.bitsPerPixel();
    const bool bitFields = (format == PixelFormat::Bits16 && bitmap.masks() != kMasks555) ||
                           (format == PixelFormat::Bits32 && bitmap.masks() != kMasks888);
    const std::size_t paletteCount = IsPaletted(format) ? std::min(bitmap.palette().size(), std::size_t{1} << bpp) : 0;
    const std::size_t stride = bitmap.stride();
    const std::size_t imageSize = stride * static_cast<std::size_t>(bitmap.height()); // <= kMaxPixelBytes
    const std::size_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + (bitFields ? 12 : 0) + paletteCount * 4;
    const std::size_t fileSize = pixelOffset + imageSize;

    std::vector<std::uint8_t> out(fileSize);
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    StoreU32(p + 2, static_cast<std::uint32_t>(fileSize));
    StoreU32(p + 10, static_cast<std::uint32_t>(pixelOffset));
    p += kFileHeaderSize;
    StoreU32(p, kInfoHeaderSize);
    StoreU32(p + 4, static_cast<std::uint32_t>(bitmap.width()));
    StoreU32(p + 8, static_cast<std::uint32_t>(bitmap.height()));
    StoreU16(p + 12, 1);
    StoreU16(p + 14, static_cast<std::uint16_t>(bpp));
    StoreU32(p + 16, bitFields ? kBitFields : kRgb);
    StoreU32(p + 20, static_cast<std::uint32_t>(imageSize));
    StoreU32(p + 32, static_cast<std::uint32_t>(paletteCount));
    p += kInfoHeaderSize;
    if (bitFields) {
        StoreU32(p, bitmap.masks().r);
        StoreU32(p + 4, bitmap.masks().g);
        StoreU32(p + 8, bitmap.masks().b);
        p += 12;
    }
    for (std::size_t i = 0; i < paletteCount; ++i, p += 4) {
        const Rgb c = bitmap.palette()[i];
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    }
    for (int y = bitmap.height() - 1; y >= 0; --y, p += stride)
        std::memcpy(p, bitmap.row(y), stride);
    return out;
}

void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    if (const std::error_code ec = WriteNewFile(PathFromUtf8(path), bytes))
        throw Error("Cannot create file " + Quoted(path) + ". " + ec.message());
}

void LoadBmpFile(const std::string& path, Bitmap& bitmap)
{
    const FileBytes file = ReadFileCapped(PathFromUtf8(path), kMaxBmpFileBytes);
    if (!file)
        throw Error("Cannot open file " + Quoted(path) + ". " + ReadFailureReason(file, kMaxBmpFileBytes));
    DecodeBmp(file.bytes, bitmap);
}

void SaveBmpFile(const Bitmap& bitmap, const std::string& path) { WriteWholeFile(path, EncodeBmp(bitmap)); }

} // namespace vexaro
