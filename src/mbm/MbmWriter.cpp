#include "mbm/MbmWriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "base/Bytes.h"
#include "base/Error.h"
#include "mbm/MbmCompress.h"

namespace vexaro::mbm {

namespace {

bool IsValidPair(int bitsPerPixel, std::uint32_t colourMode)
{
    switch (colourMode) {
    case kGrey: return bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8;
    case kColour: return bitsPerPixel >= 4 && IsValidDepth(bitsPerPixel);
    case kColourAlpha:
    case kColourPremultipliedAlpha: return bitsPerPixel == 32;
    default: return false;
    }
}

void CheckShape(const MbmBitmapHeader& h)
{
    if (!IsValidPair(h.bitsPerPixel, h.colourMode))
        throw Error(std::to_string(h.bitsPerPixel) + " bits per pixel do not go with colour mode " +
                    std::to_string(h.colourMode));
    for (const std::string& fault : {DimensionsFault(h), DecodedSizeFault(h)})
        if (!fault.empty())
            throw Error(fault);
}

std::array<std::uint8_t, kBitmapHeaderSize> HeaderBytes(const MbmBitmapHeader& h)
{
    std::array<std::uint8_t, kBitmapHeaderSize> b{};
    const std::uint32_t fields[] = {static_cast<std::uint32_t>(h.size),
                                    static_cast<std::uint32_t>(h.headerSize),
                                    static_cast<std::uint32_t>(h.width),
                                    static_cast<std::uint32_t>(h.height),
                                    static_cast<std::uint32_t>(h.twipsWidth),
                                    static_cast<std::uint32_t>(h.twipsHeight),
                                    static_cast<std::uint32_t>(h.bitsPerPixel),
                                    h.colourMode,
                                    h.paletteEntries,
                                    h.compression};
    for (std::size_t i = 0; i < 10; ++i)
        StoreU32(b.data() + 4 * i, fields[i]);
    return b;
}

// Bytes on their way to the sink are gathered up to this many; a compressor hands on its
// output in pieces of a quarter of it.
constexpr std::size_t kBufferBytes = std::size_t{64} << 10;
constexpr std::uint64_t kMaxFileBytes = std::numeric_limits<std::uint32_t>::max();

[[noreturn]] void TooLarge()
{
    throw Error("the bitmaps do not fit in one multi-bitmap file (more than " + std::to_string(kMaxFileBytes) +
                " bytes)");
}

// A guess from a few samples of the rows (eight groups spread over the bitmap, each
// compressed on its own) whether compressing the bitmap will pay; small bitmaps are simply
// tried. The guess only decides which is tried first, storing the rows plain or compressed:
// the result is the same either way.
bool LikelyToPay(Compression scheme, int height, std::size_t stride,
                 const std::function<void(int y, std::uint8_t* out)>& rows)
{
    constexpr std::size_t kTryBelow = 64 * 1024, kSampleBytes = 2048;
    constexpr int kSamples = 8;
    if (scheme == Compression::Rle12 || stride * static_cast<std::size_t>(height) < kTryBelow)
        return true;
    const int perSample =
        static_cast<int>(std::min<std::size_t>((kSampleBytes + stride - 1) / stride, static_cast<std::size_t>(height)));
    std::vector<std::uint8_t> sample(static_cast<std::size_t>(perSample) * stride);
    int paying = 0;
    for (int k = 0; k < kSamples; ++k) {
        const int first = (height - perSample) * k / (kSamples - 1);
        for (int r = 0; r < perSample; ++r)
            rows(first + r, sample.data() + static_cast<std::size_t>(r) * stride);
        PixelSource source(sample);
        paying += WouldPay(scheme, source) ? 1 : 0;
    }
    return 2 * paying >= kSamples;
}

// The header of `image` without its size and compression, after the shape's own checks and a
// check that the pixels fill the bitmap.
MbmBitmapHeader CheckedShapeOf(const MbmImage& image)
{
    MbmBitmapHeader h;
    h.headerSize = static_cast<std::int32_t>(kBitmapHeaderSize);
    h.width = image.width;
    h.height = image.height;
    h.twipsWidth = image.twipsWidth;
    h.twipsHeight = image.twipsHeight;
    h.bitsPerPixel = image.bitsPerPixel;
    h.colourMode = image.colourMode;
    CheckShape(h);
    const std::size_t expected = image.stride() * static_cast<std::size_t>(image.height);
    if (image.pixels.size() != expected)
        throw Error("pixel buffer of " + std::to_string(image.pixels.size()) + " bytes where " +
                    std::to_string(expected) + " are needed");
    return h;
}

} // namespace

EncodedBitmap EncodeBitmap(const MbmImage& image, bool compress)
{
    EncodedBitmap out;
    out.header = CheckedShapeOf(image);
    MbmBitmapHeader& h = out.header;
    Compression used = Compression::None;
    if (compress) {
        const Compression scheme = CompressionFor(image.bitsPerPixel, image.colourMode);
        if (auto stream = Compress(scheme, image.pixels)) {
            out.data = std::move(*stream);
            used = scheme;
        }
    }
    if (used == Compression::None)
        out.data = image.pixels;
    h.compression = static_cast<std::uint32_t>(used);
    h.size = static_cast<std::int32_t>(kBitmapHeaderSize + out.data.size()); // at most 256 MiB + 40
    return out;
}

MbmFileWriter::MbmFileWriter(MbmSink& sink, std::size_t count, const MbmWriteOptions& options)
    : sink_(sink), count_(count), options_(options)
{
    if (count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        TooLarge();
    positions_.reserve(count);
    buffer_.reserve(kBufferBytes);
    if (options.layout == MbmLayout::FileStore) {
        u32(kFileStoreUid1);
        u32(kMultiBitmapUid2);
        u32(0);
        u32(kUidChecksum);
        u32(0); // the trailer position, filled in at the end
    } else {
        u32(kRomImageUid);
        u32(static_cast<std::uint32_t>(count));
        for (std::size_t i = 0; i < count; ++i)
            u32(0); // the positions, filled in at the end
    }
    checkSize();
}

// Stores the bitmap's rows from `dataAt` on, compressed where that pays (the same bytes and
// the same decision as EncodeBitmap), and returns the compression used.
Compression MbmFileWriter::storePixels(const MbmBitmapHeader& h, std::size_t stride, const RowSource& rows,
                                       std::uint64_t dataAt)
{
    Compression used = Compression::None;
    int plainRows = 0; // rows already stored plain
    if (options_.compress) {
        const Compression scheme = CompressionFor(h.bitsPerPixel, h.colourMode);
        bool pays = true;
        if (!LikelyToPay(scheme, h.height, stride, rows)) {
            // Store the rows plain while the compressor runs over them keeping nothing, until
            // it has given up; only when it has not are they written again, compressed.
            PixelSource source(h.height, stride, [&](int y, std::uint8_t* out) {
                rows(y, out);
                put(std::span<const std::uint8_t>(out, stride));
                plainRows = y + 1;
            });
            pays = WouldPay(scheme, source);
            if (pays) {
                truncate(dataAt);
                plainRows = 0;
            }
        }
        if (pays) {
            PixelSource source(h.height, stride, rows);
            CompressedOutput out([this](std::span<const std::uint8_t> piece) { put(piece); }, kBufferBytes / 4);
            if (Compress(scheme, source, out))
                used = scheme;
            else
                truncate(dataAt);
        }
    }
    if (used == Compression::None)
        for (int y = plainRows; y < h.height; ++y)
            rows(y, grow(stride));
    return used;
}

void MbmFileWriter::add(const MbmBitmapHeader& shape, const RowSource& rows)
{
    const std::size_t index = positions_.size();
    if (index == count_)
        throw Error("bitmap " + std::to_string(index) + ": more bitmaps than the " + std::to_string(count_) +
                    " announced");
    MbmBitmapHeader h = shape;
    h.headerSize = static_cast<std::int32_t>(kBitmapHeaderSize);
    h.paletteEntries = 0;
    try {
        CheckShape(h);
    } catch (const Error& e) {
        throw Error("bitmap " + std::to_string(index) + ": " + e.what());
    }
    const std::size_t stride = StrideBytes(h.bitsPerPixel, h.width);
    positions_.push_back(static_cast<std::uint32_t>(sunk_ + buffer_.size()));
    if (options_.layout == MbmLayout::RomImage) {
        u32(kRomObjectUid);
        u32(RomDisplayMode(h.bitsPerPixel, h.colourMode));
        u32(0); // heap
        u32(0); // pile
        u32(static_cast<std::uint32_t>(stride));
    }
    const std::uint64_t headerAt = sunk_ + buffer_.size();
    header(h); // size and compression filled in below
    if (options_.layout == MbmLayout::RomImage) {
        u32(0xFFFFFFFF);     // chunk
        u32(kRomObjectSize); // data offset
    }
    const std::uint64_t dataAt = sunk_ + buffer_.size();
    const Compression used = storePixels(h, stride, rows, dataAt);
    h.compression = static_cast<std::uint32_t>(used);
    h.size = static_cast<std::int32_t>(kBitmapHeaderSize + (sunk_ + buffer_.size() - dataAt)); // at most 256 MiB + 40
    overwrite(headerAt, HeaderBytes(h));
    if (options_.layout == MbmLayout::RomImage)
        while ((sunk_ + buffer_.size()) % 4 != 0)
            grow(1)[0] = 0xFF;
    checkSize();
}

void MbmFileWriter::add(const MbmImage& image)
{
    // The shape's own checks come first, as EncodeBitmap makes them.
    const std::size_t index = positions_.size();
    MbmBitmapHeader h;
    try {
        h = CheckedShapeOf(image);
    } catch (const Error& e) {
        throw Error("bitmap " + std::to_string(index) + ": " + e.what());
    }
    add(h, [&image](int y, std::uint8_t* out) {
        if (image.stride() != 0)
            std::memcpy(out, image.row(y), image.stride());
    });
}

void MbmFileWriter::finish()
{
    if (positions_.size() != count_)
        throw Error(std::to_string(positions_.size()) + " bitmaps written where " + std::to_string(count_) +
                    " were announced");
    std::vector<std::uint8_t> table(4 * positions_.size());
    for (std::size_t i = 0; i < positions_.size(); ++i)
        StoreU32(table.data() + 4 * i, positions_[i]);
    if (options_.layout == MbmLayout::FileStore) {
        std::uint8_t trailer[4];
        StoreU32(trailer, static_cast<std::uint32_t>(sunk_ + buffer_.size()));
        overwrite(16, trailer);
        u32(static_cast<std::uint32_t>(count_));
        put(table);
    } else {
        overwrite(8, table);
    }
    flush();
}

void MbmFileWriter::put(std::span<const std::uint8_t> bytes)
{
    if (buffer_.size() + bytes.size() > kBufferBytes)
        flush();
    if (bytes.size() >= kBufferBytes) {
        sink_.append(bytes);
        sunk_ += bytes.size();
    } else {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    }
}

std::uint8_t* MbmFileWriter::grow(std::size_t n)
{
    if (buffer_.size() + n > kBufferBytes)
        flush();
    buffer_.resize(buffer_.size() + n);
    return buffer_.data() + buffer_.size() - n;
}

void MbmFileWriter::u32(std::uint32_t v) { StoreU32(grow(4), v); }

void MbmFileWriter::header(const MbmBitmapHeader& h) { put(HeaderBytes(h)); }

void MbmFileWriter::overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (offset < sunk_) {
        const std::size_t before = static_cast<std::size_t>(std::min<std::uint64_t>(sunk_ - offset, bytes.size()));
        sink_.overwrite(offset, bytes.first(before));
        bytes = bytes.subspan(before);
        offset += before;
    }
    std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(offset - sunk_));
}

void MbmFileWriter::truncate(std::uint64_t offset)
{
    if (offset >= sunk_) {
        buffer_.resize(static_cast<std::size_t>(offset - sunk_));
        return;
    }
    buffer_.clear();
    sink_.truncate(offset);
    sunk_ = offset;
}

void MbmFileWriter::flush()
{
    if (buffer_.empty())
        return;
    sink_.append(buffer_);
    sunk_ += buffer_.size();
    buffer_.clear();
}

void MbmFileWriter::checkSize() const
{
    // The file store's trailer must fit behind the bitmaps as well.
    const std::uint64_t trailer = options_.layout == MbmLayout::FileStore ? 4 + 4 * std::uint64_t{count_} : 0;
    if (sunk_ + buffer_.size() + trailer > kMaxFileBytes)
        TooLarge();
}

std::vector<std::uint8_t> WriteMbm(std::span<const MbmImage> images, const MbmWriteOptions& options)
{
    MbmMemorySink sink;
    MbmFileWriter writer(sink, images.size(), options);
    for (const MbmImage& image : images)
        writer.add(image);
    writer.finish();
    return sink.take();
}

} // namespace vexaro::mbm
