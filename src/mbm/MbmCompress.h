#pragma once
// The converter's compressors, byte for byte (its 2009 generation). Each takes the whole
// pixel buffer of one bitmap (every row with its padding) as one stream, so packets run across
// row ends.
//
// Lead-byte schemes write runs (lead 0..127, then one value repeated lead + 1 times) and
// literals (lead 0x80..0xFF, then 256 - lead values). They give up, returning nothing, when
// the result would not pay: byte RLE above floor(S/2) + floor(S/4) bytes (S = buffer size),
// the 16-, 24- and 32-bit schemes above floor(7 S / 8). The 12-bit scheme never gives up.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mbm/MbmFormat.h"

namespace vexaro::mbm {

using Stream = std::vector<std::uint8_t>;

// Byte RLE (code 1, 1 to 8 bpp). Three equal bytes start a run; the last max(S / 64, 4)
// bytes are never part of a run and always end as a separate literal.
std::optional<Stream> CompressByteRle(std::span<const std::uint8_t> buffer);
// 12-bit (code 2): runs of whole 16-bit words, up to 16 per word, 0x0RGB | (count - 1) << 12.
Stream CompressRle12(std::span<const std::uint8_t> buffer);
// 16-bit (code 3) over 2-byte pixels.
std::optional<Stream> CompressRle16(std::span<const std::uint8_t> buffer);
// 24-bit (code 4) over 3-byte pixels.
std::optional<Stream> CompressRle24(std::span<const std::uint8_t> buffer);
// 32-bit colour (code 5): 4-byte pixels compared and written as their first 3 bytes.
std::optional<Stream> CompressRle32U(std::span<const std::uint8_t> buffer);
// 32-bit alpha (code 6) over 4-byte pixels.
std::optional<Stream> CompressRle32A(std::span<const std::uint8_t> buffer);

// The compressor for `compression` (not None).
std::optional<Stream> Compress(Compression compression, std::span<const std::uint8_t> buffer);

} // namespace vexaro::mbm
