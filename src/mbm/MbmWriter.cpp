#include "mbm/MbmWriter.h"

#include <limits>
#include <string>

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

class Output {
public:
    explicit Output(std::size_t reserve) { bytes_.reserve(reserve); }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void header(const MbmBitmapHeader& h)
    {
        i32(h.size);
        i32(h.headerSize);
        i32(h.width);
        i32(h.height);
        i32(h.twipsWidth);
        i32(h.twipsHeight);
        i32(h.bitsPerPixel);
        u32(h.colourMode);
        u32(h.paletteEntries);
        u32(h.compression);
    }
    void append(const std::vector<std::uint8_t>& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void padTo4() { bytes_.resize((bytes_.size() + 3) / 4 * 4, 0xFF); }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

std::size_t RomObjectBytes(const EncodedBitmap& b) { return (kRomObjectSize + b.data.size() + 3) / 4 * 4; }

} // namespace

EncodedBitmap EncodeBitmap(const MbmImage& image, bool compress)
{
    if (!IsValidPair(image.bitsPerPixel, image.colourMode))
        throw Error(std::to_string(image.bitsPerPixel) + " bits per pixel do not go with colour mode " +
                    std::to_string(image.colourMode));
    EncodedBitmap out;
    MbmBitmapHeader& h = out.header;
    h.headerSize = static_cast<std::int32_t>(kBitmapHeaderSize);
    h.width = image.width;
    h.height = image.height;
    h.twipsWidth = image.twipsWidth;
    h.twipsHeight = image.twipsHeight;
    h.bitsPerPixel = image.bitsPerPixel;
    h.colourMode = image.colourMode;
    CheckDimensions(h);
    CheckDecodedSize(h);
    const std::size_t expected = image.stride() * static_cast<std::size_t>(image.height);
    if (image.pixels.size() != expected)
        throw Error("pixel buffer of " + std::to_string(image.pixels.size()) + " bytes where " + std::to_string(expected) +
                    " are needed");
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
    h.size = static_cast<std::int32_t>(kBitmapHeaderSize + out.data.size());   // at most 256 MiB + 40
    return out;
}

std::vector<std::uint8_t> WriteMbm(std::span<const MbmImage> images, const MbmWriteOptions& options)
{
    std::vector<EncodedBitmap> encoded;
    encoded.reserve(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        try {
            encoded.push_back(EncodeBitmap(images[i], options.compress));
        } catch (const Error& e) {
            throw Error("bitmap " + std::to_string(i) + ": " + e.what());
        }
    }
    const std::uint64_t count = encoded.size();
    std::uint64_t total = options.layout == MbmLayout::FileStore ? kFileStoreFirstBitmap + 4 + 4 * count : 8 + 4 * count;
    for (const EncodedBitmap& b : encoded)
        total += options.layout == MbmLayout::FileStore ? kBitmapHeaderSize + b.data.size() : RomObjectBytes(b);
    if (total > std::numeric_limits<std::uint32_t>::max() || count > std::numeric_limits<std::int32_t>::max())
        throw Error("the bitmaps do not fit in one multi-bitmap file (" + std::to_string(total) + " bytes)");

    Output out(static_cast<std::size_t>(total));
    if (options.layout == MbmLayout::FileStore) {
        std::uint32_t position = kFileStoreFirstBitmap;
        std::vector<std::uint32_t> positions;
        for (const EncodedBitmap& b : encoded) {
            positions.push_back(position);
            position += static_cast<std::uint32_t>(kBitmapHeaderSize + b.data.size());
        }
        out.u32(kFileStoreUid1);
        out.u32(kMultiBitmapUid2);
        out.u32(0);
        out.u32(kUidChecksum);
        out.u32(position);                      // the trailer follows the last bitmap
        for (const EncodedBitmap& b : encoded) {
            out.header(b.header);
            out.append(b.data);
        }
        out.u32(static_cast<std::uint32_t>(count));
        for (std::uint32_t p : positions)
            out.u32(p);
    } else {
        out.u32(kRomImageUid);
        out.u32(static_cast<std::uint32_t>(count));
        auto position = static_cast<std::uint32_t>(8 + 4 * count);
        for (const EncodedBitmap& b : encoded) {
            out.u32(position);
            position += static_cast<std::uint32_t>(RomObjectBytes(b));
        }
        for (const EncodedBitmap& b : encoded) {
            out.u32(kRomObjectUid);
            out.u32(RomDisplayMode(b.header.bitsPerPixel, b.header.colourMode));
            out.u32(0);                         // heap
            out.u32(0);                         // pile
            out.u32(static_cast<std::uint32_t>(StrideBytes(b.header.bitsPerPixel, b.header.width)));
            out.header(b.header);
            out.u32(0xFFFFFFFF);                // chunk
            out.u32(kRomObjectSize);            // data offset
            out.append(b.data);
            out.padTo4();
        }
    }
    return out.take();
}

} // namespace vexaro::mbm
