#pragma once
// Symbian multi-bitmap files (.mbm): the on-disk records, the pixel layout and the checks a
// bitmap header must pass before anything is allocated for it.
//
// Two containers hold the same bitmaps:
//
// File store (first word 0x10000037), all integers little-endian:
//   offset  size  field
//   0       4     UID1 0x10000037 (direct file store)
//   4       4     UID2 0x10000042 (multi-bitmap file)
//   8       4     UID3 0
//   12      4     checksum of the three UIDs, 0x47396439
//   16      4     trailer position (absolute)
//   ...           bitmaps: a 40-byte MbmBitmapHeader followed by its stored data
//   trailer 4     bitmap count N (signed)
//           4N    absolute position of each bitmap, in index order
//
// ROM image (first word 0x10000041):
//   0       4     0x10000041
//   4       4     bitmap count N
//   8       4N    absolute position of each bitmap object (MbmRomObject, then the data)
//
// Pixels are stored top row first, each row `StrideBytes` long (see there), packed as:
//   1/2/4 bpp  least significant bits first (leftmost pixel in the lowest bits)
//   8 bpp      one byte, a grey level or an index into the 256-colour palette
//   12 bpp     16-bit word 0x0RGB          16 bpp  16-bit word RGB 5-6-5
//   24 bpp     blue, green, red            32 bpp  blue, green, red, X (alpha in modes 2, 3)
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexaro::mbm {

inline constexpr std::uint32_t kFileStoreUid1 = 0x10000037;
inline constexpr std::uint32_t kMultiBitmapUid2 = 0x10000042;
inline constexpr std::uint32_t kUidChecksum = 0x47396439;
inline constexpr std::uint32_t kRomImageUid = 0x10000041;
inline constexpr std::uint32_t kRomObjectUid = 0x10000040;

inline constexpr std::size_t kBitmapHeaderSize = 40;
inline constexpr std::size_t kRomObjectSize = 68;
inline constexpr std::size_t kFileStoreFirstBitmap = 20;

// Largest multi-bitmap file read, by the converter and by a look inside a theme.
inline constexpr std::size_t kMaxMbmFileBytes = std::size_t{1} << 30;

// Largest bitmap we decode or build: 256 MiB of MBM pixels, and no more than that in the
// 24-bit BMP a decompile writes. Checked on declared sizes, before allocating.
inline constexpr std::size_t kMaxDecodedBytes = std::size_t{256} << 20;
// and no side longer than this (the limit of our picture type too).
inline constexpr std::int32_t kMaxBitmapSide = 32768;

enum class Compression : std::uint32_t {
    None = 0,
    ByteRle = 1, // 1, 2, 4, 8 bpp
    Rle12 = 2,   // 12 bpp
    Rle16 = 3,   // 16 bpp
    Rle24 = 4,   // 24 bpp
    Rle32U = 5,  // 32 bpp colour, alpha byte not stored
    Rle32A = 6,  // 32 bpp with alpha
};
inline constexpr std::uint32_t kLastCompression = 6;

enum ColourMode : std::uint32_t {
    kGrey = 0,
    kColour = 1,
    kColourAlpha = 2,
    kColourPremultipliedAlpha = 3,
};

// The first 20 bytes of a file store (layout at the top of this file).
struct MbmHeader {
    std::uint32_t uid1 = 0;
    std::uint32_t uid2 = 0;
    std::uint32_t uid3 = 0;
    std::uint32_t checksum = 0;
    std::uint32_t trailerPosition = 0;
};

// The first 8 bytes of a ROM image; the positions table follows.
struct MbmRomHeader {
    std::uint32_t uid = 0;
    std::uint32_t count = 0;
};

// UID1 and UID2 must name a multi-bitmap file store; throws vexaro::Error otherwise.
void CheckFileStoreHeader(const MbmHeader& header);
// UID3 and the checksum are as the converter writes them (other values are tolerated).
bool HasStandardUids(const MbmHeader& header);

// The 40-byte header of every bitmap (file store: at the bitmap's position; ROM image: at
// object + 20). Signed fields are signed on disk too.
//   offset  size  field
//   0       4     size: this header plus the stored data (compressed size when compressed)
//   4       4     header size: 40
//   8       4     width in pixels
//   12      4     height in pixels
//   16      4     width in twips (0 when unknown)
//   20      4     height in twips
//   24      4     bits per pixel: 1, 2, 4, 8, 12, 16, 24 or 32
//   28      4     colour mode: 0 grey, 1 colour, 2 colour + alpha, 3 premultiplied alpha
//   32      4     palette entries: 0
//   36      4     compression (enum Compression)
struct MbmBitmapHeader {
    std::int32_t size = 0;
    std::int32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t twipsWidth = 0;
    std::int32_t twipsHeight = 0;
    std::int32_t bitsPerPixel = 0;
    std::uint32_t colourMode = 0;
    std::uint32_t paletteEntries = 0;
    std::uint32_t compression = 0;
};

// A bitmap object of a ROM image, followed by its data at object + dataOffset.
//   offset  size  field
//   0       4     object UID 0x10000040
//   4       4     display mode (RomDisplayMode)
//   8       4     heap pointer: 0
//   12      4     pile pointer: 0
//   16      4     byte width: the row stride
//   20      40    MbmBitmapHeader
//   60      4     chunk: 0xFFFFFFFF
//   64      4     data offset from the object start: 68
// Objects are padded with 0xFF bytes to a multiple of 4.
struct MbmRomObject {
    std::uint32_t uid = 0;
    std::uint32_t displayMode = 0;
    std::uint32_t heap = 0;
    std::uint32_t pile = 0;
    std::uint32_t byteWidth = 0;
    MbmBitmapHeader header;
    std::uint32_t chunk = 0;
    std::uint32_t dataOffset = 0;
};

bool IsValidDepth(std::int64_t bitsPerPixel);

// Bytes of one stored row: whole 32-bit words, except 24 bpp whose rows are whole groups of
// four pixels (12 bytes). `bitsPerPixel` must be a valid depth and width >= 0.
std::size_t StrideBytes(int bitsPerPixel, std::int64_t width);

// The compression the converter uses for a depth and colour mode.
Compression CompressionFor(int bitsPerPixel, std::uint32_t colourMode);

// Display-mode number of a ROM object (1 Gray2 ... 12 Color16MA, 13 Color16MAP).
std::uint32_t RomDisplayMode(int bitsPerPixel, std::uint32_t colourMode);

// Named checks on a header. Each gives a text saying which field is wrong and what it holds
// (without the bitmap's index; the reader adds it), or "" when the header passes.
std::string HeaderSizesFault(const MbmBitmapHeader& header); // size >= 40, header size 40
std::string DimensionsFault(const MbmBitmapHeader& header);  // width, height >= 0
std::string DepthFault(const MbmBitmapHeader& header);       // 1, 2, 4, 8, 12, 16, 24, 32
std::string CompressionFault(const MbmBitmapHeader& header); // 0 .. 6
std::string DecodedSizeFault(const MbmBitmapHeader& header); // kMaxBitmapSide, kMaxDecodedBytes
std::string StoredSizeFault(const MbmBitmapHeader& header);  // uncompressed: 40 + stride x height
// Compressed: the stream is long enough to fill the pixels even if it held nothing but the
// longest runs, so a tiny file cannot make the reader allocate a huge bitmap.
std::string StreamLengthFault(const MbmBitmapHeader& header);
// The fault of the first check above, in that order, that the header fails; "" when it passes all.
std::string BitmapHeaderFault(const MbmBitmapHeader& header);

// Pixels of one bitmap in the MBM layout, as decoded from a file or built for writing.
struct MbmImage {
    int width = 0;
    int height = 0;
    int twipsWidth = 0;
    int twipsHeight = 0;
    int bitsPerPixel = 24;
    std::uint32_t colourMode = kColour;
    std::vector<std::uint8_t> pixels; // StrideBytes(bitsPerPixel, width) x height bytes

    std::size_t stride() const { return StrideBytes(bitsPerPixel, width); }
    const std::uint8_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * stride(); }
    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * stride(); }
};

} // namespace vexaro::mbm
