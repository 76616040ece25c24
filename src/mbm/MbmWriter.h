#pragma once
// Writing multi-bitmap files exactly as the converter lays them out.
//
// File store: UID block, trailer position, the bitmaps one after another from offset 20,
// then the trailer (count and positions). ROM image: 0x10000041, count, positions, then one
// 68-byte object per bitmap followed by its data, padded with 0xFF to 4 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "mbm/MbmFormat.h"

namespace vexaro::mbm {

enum class MbmLayout { FileStore, RomImage };

struct MbmWriteOptions {
    MbmLayout layout = MbmLayout::FileStore;
    // Offer every bitmap to its depth's compressor; a bitmap it gives up on is stored plain.
    bool compress = true;
};

// The 40-byte header and the data stored for one bitmap.
struct EncodedBitmap {
    MbmBitmapHeader header;
    std::vector<std::uint8_t> data;
};

// Throws vexaro::Error when the image is inconsistent: a depth/colour-mode pair the format
// does not know, a size beyond the limits, or a pixel buffer of the wrong length.
EncodedBitmap EncodeBitmap(const MbmImage& image, bool compress);

// Where a file goes while MbmFileWriter writes it: bytes are appended, a few written earlier
// are filled in later (sizes and positions), and a compression attempt that gives up is cut
// off again. Each call throws vexaro::Error when the bytes cannot be stored.
class MbmSink {
public:
    virtual ~MbmSink() = default;
    virtual void append(std::span<const std::uint8_t> bytes) = 0;
    // Replaces bytes appended earlier, from `offset` on.
    virtual void overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // Drops every byte from `offset` on; appending goes on from there.
    virtual void truncate(std::uint64_t offset) = 0;
};

// A file written into memory.
class MbmMemorySink : public MbmSink {
public:
    void append(std::span<const std::uint8_t> bytes) override
    {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
    void overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    void truncate(std::uint64_t offset) override { bytes_.resize(static_cast<std::size_t>(offset)); }
    // The bytes written, which the sink then no longer holds.
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Writes a file bitmap by bitmap: each is encoded and stored before the next is asked for,
// and its rows are asked for one at a time, so that neither the bitmaps nor the file are held
// whole. Holds the positions of the bitmaps and a buffer of the bytes on their way to the sink.
class MbmFileWriter {
public:
    // rows(y, out) writes row y of a bitmap's pixels (StrideBytes long) to `out`.
    using RowSource = std::function<void(int y, std::uint8_t* out)>;

    // A file of `count` bitmaps.
    MbmFileWriter(MbmSink& sink, std::size_t count, const MbmWriteOptions& options);

    // The next bitmap: `shape` gives its size, twips, depth and colour mode (the other fields
    // are filled in), `rows(y, out)` writes row y of its pixels (StrideBytes long). Rows are
    // asked for in any order and some more than once (a few samples, then from the top, and
    // again when the first try of storing them, plain or compressed, was not the right one).
    // Throws vexaro::Error("bitmap 2: ...") as EncodeBitmap does.
    void add(const MbmBitmapHeader& shape, const RowSource& rows);
    void add(const MbmImage& image);

    // After the last bitmap: the table of positions. Throws vexaro::Error when fewer bitmaps
    // were added than announced, or when the file does not fit the format's 32-bit positions.
    void finish();

private:
    void put(std::span<const std::uint8_t> bytes);
    std::uint8_t* grow(std::size_t n);
    void u32(std::uint32_t v);
    void header(const MbmBitmapHeader& h);
    void overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void truncate(std::uint64_t offset);
    void flush();
    void checkSize() const;
    Compression storePixels(const MbmBitmapHeader& h, std::size_t stride, const RowSource& rows, std::uint64_t dataAt);

    MbmSink& sink_;
    std::size_t count_;
    MbmWriteOptions options_;
    std::vector<std::uint32_t> positions_;
    std::vector<std::uint8_t> buffer_; // bytes from sunk_ on
    std::uint64_t sunk_ = 0;           // bytes handed to the sink
};

// The whole file in memory. Throws vexaro::Error as MbmFileWriter does.
std::vector<std::uint8_t> WriteMbm(std::span<const MbmImage> images, const MbmWriteOptions& options = {});

} // namespace vexaro::mbm
