#include "mbm/MbmFormat.h"

#include <cstdio>
#include <string>

#include "base/Error.h"

namespace vexaro::mbm {

bool IsValidDepth(std::int64_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 12:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

std::size_t StrideBytes(int bitsPerPixel, std::int64_t width)
{
    const auto w = static_cast<std::uint64_t>(width);
    if (bitsPerPixel == 24)
        return static_cast<std::size_t>(12 * ((w + 3) / 4));
    const unsigned bits = bitsPerPixel == 12 ? 16u : static_cast<unsigned>(bitsPerPixel);
    return static_cast<std::size_t>(4 * ((w * bits + 31) / 32));
}

Compression CompressionFor(int bitsPerPixel, std::uint32_t colourMode)
{
    switch (bitsPerPixel) {
    case 12: return Compression::Rle12;
    case 16: return Compression::Rle16;
    case 24: return Compression::Rle24;
    case 32:
        return colourMode == kColourAlpha || colourMode == kColourPremultipliedAlpha ? Compression::Rle32A
                                                                                     : Compression::Rle32U;
    default: return Compression::ByteRle;
    }
}

std::uint32_t RomDisplayMode(int bitsPerPixel, std::uint32_t colourMode)
{
    const bool grey = colourMode == kGrey;
    switch (bitsPerPixel) {
    case 1: return 1;
    case 2: return 2;
    case 4: return grey ? 3 : 5;
    case 8: return grey ? 4 : 6;
    case 12: return 10;
    case 16: return 7;
    case 24: return 8;
    default:
        if (colourMode == kColourAlpha)
            return 12;
        return colourMode == kColourPremultipliedAlpha ? 13 : 11;
    }
}

void CheckFileStoreHeader(const MbmHeader& header)
{
    auto hex = [](std::uint32_t v) {
        char text[11];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
        return std::string(text);
    };
    if (header.uid1 != kFileStoreUid1)
        throw Error("not a multi-bitmap file (first word " + hex(header.uid1) + ")");
    if (header.uid2 != kMultiBitmapUid2)
        throw Error("not a multi-bitmap file (second UID " + hex(header.uid2) + ", expected " + hex(kMultiBitmapUid2) +
                    ")");
}

bool HasStandardUids(const MbmHeader& header) { return header.uid3 == 0 && header.checksum == kUidChecksum; }

std::string HeaderSizesFault(const MbmBitmapHeader& header)
{
    if (header.headerSize != static_cast<std::int32_t>(kBitmapHeaderSize))
        return "bad header size " + std::to_string(header.headerSize) + " (must be 40)";
    if (header.size < static_cast<std::int32_t>(kBitmapHeaderSize))
        return "bad bitmap size " + std::to_string(header.size) + " (less than its 40-byte header)";
    return {};
}

std::string DimensionsFault(const MbmBitmapHeader& header)
{
    if (header.width < 0 || header.height < 0)
        return "negative size " + std::to_string(header.width) + "x" + std::to_string(header.height);
    return {};
}

std::string DepthFault(const MbmBitmapHeader& header)
{
    if (!IsValidDepth(header.bitsPerPixel))
        return "unsupported bits per pixel " + std::to_string(header.bitsPerPixel);
    return {};
}

std::string CompressionFault(const MbmBitmapHeader& header)
{
    if (header.compression > kLastCompression)
        return "unknown compression " + std::to_string(header.compression);
    return {};
}

std::string DecodedSizeFault(const MbmBitmapHeader& header)
{
    // Even a bitmap without pixels (0 x 1000000000) would cost a loop over its rows.
    if (header.width > kMaxBitmapSide || header.height > kMaxBitmapSide)
        return "implausible size " + std::to_string(header.width) + "x" + std::to_string(header.height) +
               " (more than " + std::to_string(kMaxBitmapSide) + " pixels on a side)";
    // Width and height are below 2^31 here, so neither product overflows 64 bits.
    const std::uint64_t height = static_cast<std::uint64_t>(header.height);
    const std::uint64_t mbmBytes = static_cast<std::uint64_t>(StrideBytes(header.bitsPerPixel, header.width)) * height;
    const std::uint64_t bmpRow = (3 * static_cast<std::uint64_t>(header.width) + 3) / 4 * 4;
    const std::uint64_t bmpBytes = bmpRow * height;
    if (mbmBytes > kMaxDecodedBytes || bmpBytes > kMaxDecodedBytes)
        return "implausible size " + std::to_string(header.width) + "x" + std::to_string(header.height) +
               " (its pixels would take more than 256 MiB)";
    return {};
}

std::string StoredSizeFault(const MbmBitmapHeader& header)
{
    if (header.compression != static_cast<std::uint32_t>(Compression::None))
        return {};
    const std::uint64_t expected = static_cast<std::uint64_t>(StrideBytes(header.bitsPerPixel, header.width)) *
                                   static_cast<std::uint64_t>(header.height);
    const std::uint64_t stored = static_cast<std::uint64_t>(header.size) - kBitmapHeaderSize;
    if (stored != expected)
        return "uncompressed data of " + std::to_string(stored) + " bytes where " + std::to_string(header.width) + "x" +
               std::to_string(header.height) + " at " + std::to_string(header.bitsPerPixel) + " bpp needs " +
               std::to_string(expected);
    return {};
}

std::string StreamLengthFault(const MbmBitmapHeader& header)
{
    // Most pixel bytes one packet can yield, and the packet's length.
    std::uint64_t packetOut = 0, packetIn = 0;
    switch (static_cast<Compression>(header.compression)) {
    case Compression::None: return {};
    case Compression::ByteRle:
        packetOut = 128;
        packetIn = 2;
        break;
    case Compression::Rle12:
        packetOut = 32;
        packetIn = 2;
        break;
    case Compression::Rle16:
        packetOut = 256;
        packetIn = 3;
        break;
    case Compression::Rle24:
        packetOut = 384;
        packetIn = 4;
        break;
    case Compression::Rle32U:
        packetOut = 512;
        packetIn = 4;
        break;
    case Compression::Rle32A:
        packetOut = 512;
        packetIn = 5;
        break;
    }
    const std::uint64_t stored = static_cast<std::uint64_t>(header.size) - kBitmapHeaderSize;
    const std::uint64_t needed = static_cast<std::uint64_t>(StrideBytes(header.bitsPerPixel, header.width)) *
                                 static_cast<std::uint64_t>(header.height);
    if (stored * packetOut / packetIn < needed)
        return "compressed data of " + std::to_string(stored) + " bytes cannot fill " + std::to_string(header.width) +
               "x" + std::to_string(header.height) + " at " + std::to_string(header.bitsPerPixel) + " bpp (" +
               std::to_string(needed) + " bytes)";
    return {};
}

std::string BitmapHeaderFault(const MbmBitmapHeader& header)
{
    for (auto check : {HeaderSizesFault, DimensionsFault, DepthFault, CompressionFault, DecodedSizeFault,
                       StoredSizeFault, StreamLengthFault})
        if (std::string fault = check(header); !fault.empty())
            return fault;
    return {};
}

} // namespace vexaro::mbm
