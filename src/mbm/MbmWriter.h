#pragma once
// Writing multi-bitmap files exactly as the converter lays them out.
//
// File store: UID block, trailer position, the bitmaps one after another from offset 20,
// then the trailer (count and positions). ROM image: 0x10000041, count, positions, then one
// 68-byte object per bitmap followed by its data, padded with 0xFF to 4 bytes.
#include <cstdint>
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

// The whole file. Throws vexaro::Error as EncodeBitmap does ("bitmap 2: ..."), or when the
// result would not fit the format's 32-bit positions.
std::vector<std::uint8_t> WriteMbm(std::span<const MbmImage> images, const MbmWriteOptions& options = {});

} // namespace vexaro::mbm
