#pragma once
// Reading multi-bitmap files: first the container and every bitmap header into plain
// records (ReadMbm), then the pixels of one bitmap at a time (DecodeBitmap). The file is read
// through a ByteReader, from memory or piece by piece from a file: then only the header, the
// table of positions, the bitmap headers and the bitmap being decoded are read.
//
// Both forms are read: the file store and the ROM image. Stored positions are followed
// (bitmaps need not be contiguous, and bytes after the trailer are ignored). A bitmap whose
// header fails a check is marked with the reason; the other bitmaps stay readable.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "mbm/MbmFormat.h"

namespace vexaro::mbm {

enum class MbmKind { FileStore, RomImage };

struct MbmBitmapRecord {
    std::size_t index = 0;
    std::uint32_t position = 0; // of the header (file store) or of the object (ROM image)
    MbmBitmapHeader header;     // all zero when it could not be read
    std::size_t dataOffset = 0; // absolute position of the stored data
    std::size_t dataSize = 0;   // header.size - 40
    std::string fault;          // why the bitmap cannot be decoded; empty when it can
};

struct MbmFile {
    MbmKind kind = MbmKind::FileStore;
    bool uidsOk = true; // file store: UID3 and checksum as the converter writes them
    std::vector<MbmBitmapRecord> bitmaps;
};

// Reads the container of the multi-bitmap file in `in`. Throws vexaro::Error when the bytes are
// no multi-bitmap file or the bitmap table does not fit them ("trailer position 900 lies
// outside the file (870 bytes)"), and what the reader throws. Bitmap-level faults are recorded,
// not thrown.
MbmFile ReadMbm(const ByteReader& in);
MbmFile ReadMbm(std::span<const std::uint8_t> bytes);

// What the bitmaps of one theme may come to when decoded, all together: 16 Mi pixels. The
// largest multi-bitmap file we know of decodes to 0.64 Mi pixels, and a phone theme of a few
// hundred screen-sized bitmaps to a few; the cap keeps a table that names one huge bitmap many
// times (or many huge ones) from filling the disk and the memory with its pixels.
inline constexpr std::uint64_t kMaxThemePixels = std::uint64_t{16} << 20;

// The pixels (width x height) that the first `count` entries of `file`'s table decode to. An
// entry counts each time it stands in the table, also where entries share their data; an entry
// with a fault decodes to nothing and counts nothing.
std::uint64_t DecodedPixels(const MbmFile& file, std::size_t count);

// Throws vexaro::Error naming `name` and the cap when the first `count` entries of `file`
// decode to more than kMaxThemePixels.
void CheckThemePixels(const MbmFile& file, std::size_t count, const std::string& name);

// Decodes bitmap `record` of the file in `in` (the bytes given to ReadMbm) into its pixels.
// Throws vexaro::Error("bitmap 3: ...") when the record carries a fault or the stored data does
// not decode to exactly the bitmap's pixels, and what the reader throws.
MbmImage DecodeBitmap(const ByteReader& in, const MbmBitmapRecord& record);
MbmImage DecodeBitmap(std::span<const std::uint8_t> bytes, const MbmBitmapRecord& record);

// Decompresses `stream` into `out`, which it must fill exactly; throws vexaro::Error naming
// the stream offset where it went wrong. For codes 5 and 6 `out` holds 4 bytes per pixel
// (code 5 sets the fourth byte to 0xFF).
void Decompress(Compression compression, std::span<const std::uint8_t> stream, std::span<std::uint8_t> out);

} // namespace vexaro::mbm
