#pragma once
// The converter's compressors, byte for byte (its 2009 generation). Each takes the whole
// pixel buffer of one bitmap (every row with its padding) as one stream, so packets run across
// row ends.
//
// Lead-byte schemes write runs (lead 0..127, then one value repeated lead + 1 times) and
// literals (lead 0x80..0xFF, then 256 - lead values). They give up, returning nothing, when
// the result would not pay: byte RLE above floor(S/2) + floor(S/4) bytes (S = buffer size),
// the 16-, 24- and 32-bit schemes above floor(7 S / 8). The 12-bit scheme never gives up.
//
// The compressors read the stream once, front to back, holding only the packet they are on
// (at most 128 values) and the rows it lies in, and give up as soon as the result cannot pay
// any more: when what they wrote, plus the least the rest of the stream could add (every
// packet holds at most 128 values), passes the limit. The result is the same either way.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "mbm/MbmFormat.h"

namespace vexaro::mbm {

using Stream = std::vector<std::uint8_t>;

// The pixel bytes of one bitmap as a compressor reads them: a whole buffer, or rows made on
// request, of which only the few the compressor is on are held.
class PixelSource {
public:
    explicit PixelSource(std::span<const std::uint8_t> bytes);
    // `makeRow(y, out)` writes the `stride` bytes of row y; rows are asked for in order.
    PixelSource(int rows, std::size_t stride, std::function<void(int y, std::uint8_t* out)> makeRow);

    std::size_t size() const { return total_; }

    // For the compressors: makes the bytes from `keep` up to `end` readable (end <= size(),
    // keep never moving back), letting go of those before `keep`.
    void reach(std::size_t end, std::size_t keep);
    const std::uint8_t* data() const { return data_; } // byte `base()` of the stream
    std::size_t base() const { return base_; }
    std::size_t end() const { return end_; }

private:
    std::size_t total_ = 0;
    const std::uint8_t* data_ = nullptr;
    std::size_t base_ = 0, end_ = 0;
    std::size_t stride_ = 0;
    int nextRow_ = 0;
    std::function<void(int, std::uint8_t*)> makeRow_;
    std::vector<std::uint8_t> window_;
};

// Where a compressor's output goes: kept whole, or handed on in pieces as it is made.
class CompressedOutput {
public:
    CompressedOutput() = default;
    // Passes the bytes to `flush` whenever `piece` bytes have gathered, and at finish().
    CompressedOutput(std::function<void(std::span<const std::uint8_t>)> flush, std::size_t piece);

    std::uint64_t size() const { return passed_ + buffer_.size(); }
    void finish();
    Stream take() { return std::move(buffer_); }

    // For the compressors.
    void put(std::uint8_t b) { buffer_.push_back(b); }
    void put(const std::uint8_t* p, std::size_t n) { buffer_.insert(buffer_.end(), p, p + n); }
    void packetDone()
    {
        if (flush_ && buffer_.size() >= piece_)
            pass();
    }

private:
    void pass();
    std::function<void(std::span<const std::uint8_t>)> flush_;
    std::size_t piece_ = 0;
    std::uint64_t passed_ = 0;
    Stream buffer_;
};

// Compresses the source into `out` with `compression` (not None). False when the scheme gave
// up; `out` then holds part of a result, which the caller drops.
bool Compress(Compression compression, PixelSource& source, CompressedOutput& out);

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

// Whether the compressor would pay on the source: it reads the source as Compress does but
// keeps nothing, and stops as soon as the answer is no.
bool WouldPay(Compression compression, PixelSource& source);

// The compressor for `compression` (not None).
std::optional<Stream> Compress(Compression compression, std::span<const std::uint8_t> buffer);

} // namespace vexaro::mbm
