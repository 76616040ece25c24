#include "mbm/MbmCompress.h"

#include <algorithm>
#include <cstring>

namespace vexaro::mbm {

namespace {

// Writes runs and literals of `Width`-byte values taken every `Step` bytes of the buffer.
template <std::size_t Step, std::size_t Width>
class PacketWriter {
public:
    explicit PacketWriter(std::span<const std::uint8_t> buffer) : buffer_(buffer) {}

    std::size_t count() const { return buffer_.size() / Step; }
    std::uint32_t value(std::size_t i) const
    {
        std::uint32_t v = 0;
        std::memcpy(&v, buffer_.data() + i * Step, Width);
        return v;
    }
    std::size_t size() const { return out_.size(); }
    Stream take() { return std::move(out_); }

    void run(std::size_t first, std::size_t n)
    {
        while (n > 128) {
            out_.push_back(127);
            put(first);
            n -= 128;
        }
        out_.push_back(static_cast<std::uint8_t>(n - 1));
        put(first);
    }

    void literal(std::size_t first, std::size_t end)
    {
        while (end - first > 128) {
            out_.push_back(0x80);
            putRange(first, first + 128);
            first += 128;
        }
        if (end > first) {
            out_.push_back(static_cast<std::uint8_t>(256 - (end - first)));
            putRange(first, end);
        }
    }

private:
    void put(std::size_t i) { out_.insert(out_.end(), buffer_.data() + i * Step, buffer_.data() + i * Step + Width); }
    void putRange(std::size_t from, std::size_t to)
    {
        if constexpr (Step == Width) {
            out_.insert(out_.end(), buffer_.data() + from * Step, buffer_.data() + to * Step);
        } else {
            for (std::size_t i = from; i < to; ++i)
                put(i);
        }
    }

    std::span<const std::uint8_t> buffer_;
    Stream out_;
};

// The 16-, 24- and 32-bit schemes share the run branch; their literal scanners differ at the
// end of the buffer: the 16-bit one leaves the last pixel as a literal of its own, the others
// let the literal run to the end.
template <std::size_t Step, std::size_t Width, bool LastPixelApart>
std::optional<Stream> CompressPixels(std::span<const std::uint8_t> buffer)
{
    PacketWriter<Step, Width> w(buffer);
    const std::size_t n = w.count();
    const std::size_t cutoff = static_cast<std::size_t>(7 * static_cast<std::uint64_t>(buffer.size()) / 8);
    std::size_t i = 0;
    while (i + 1 < n) {
        const std::size_t s = i;
        if (w.value(i + 1) == w.value(i)) {
            i += 2;
            while (i < n && w.value(i) == w.value(s))
                ++i;
            w.run(s, i - s);
        } else if constexpr (LastPixelApart) {
            ++i;
            while (i + 1 < n && w.value(i + 1) != w.value(i))
                ++i;
            w.literal(s, i);
        } else {
            std::size_t k = s + 1;
            while (k + 1 < n && w.value(k + 1) != w.value(k))
                ++k;
            i = k + 1 >= n ? n : k;
            w.literal(s, i);
        }
        if (w.size() > cutoff)
            return std::nullopt;
    }
    if (i < n)
        w.literal(i, n);
    if (w.size() > cutoff)
        return std::nullopt;
    return w.take();
}

} // namespace

std::optional<Stream> CompressByteRle(std::span<const std::uint8_t> buffer)
{
    PacketWriter<1, 1> w(buffer);
    const std::size_t size = buffer.size();
    const std::size_t margin = std::max<std::size_t>(size / 64, 4);
    const std::size_t limit = size > margin ? size - margin : 0;
    const std::size_t cutoff = size / 2 + size / 4;
    const std::uint8_t* b = buffer.data();
    // Three equal bytes at q start a run; q + 2 < size holds for every q < limit.
    auto runStarts = [b](std::size_t q) { return b[q + 1] == b[q] && b[q + 2] == b[q]; };
    std::size_t p = 0;
    while (p < limit) {
        std::size_t q = p;
        if (runStarts(p)) {
            const std::uint8_t v = b[p];
            q = p + 3;
            while (q < limit && b[q] == v)
                ++q;
            w.run(p, q - p);
        } else {
            while (q < limit && !runStarts(q))
                ++q;
            w.literal(p, q);
        }
        p = q;
        if (w.size() > cutoff)
            return std::nullopt;
    }
    if (p < size) {
        // The check leaves out the literal's lead bytes, as the converter's does.
        if (w.size() + (size - p) > cutoff)
            return std::nullopt;
        w.literal(p, size);
    }
    return w.take();
}

Stream CompressRle12(std::span<const std::uint8_t> buffer)
{
    Stream out;
    const std::size_t n = buffer.size() / 2;
    auto word = [&](std::size_t i) { return static_cast<unsigned>(buffer[2 * i] | (buffer[2 * i + 1] << 8)); };
    auto put = [&out](unsigned w) {
        out.push_back(static_cast<std::uint8_t>(w));
        out.push_back(static_cast<std::uint8_t>(w >> 8));
    };
    for (std::size_t i = 0; i < n;) {
        const unsigned v = word(i);
        std::size_t j = i + 1;
        while (j < n && word(j) == v)
            ++j;
        std::size_t count = j - i;
        for (; count > 16; count -= 16)
            put((v & 0x0FFF) | 0xF000);
        put((v & 0x0FFF) | static_cast<unsigned>((count - 1) << 12));
        i = j;
    }
    return out;
}

std::optional<Stream> CompressRle16(std::span<const std::uint8_t> buffer) { return CompressPixels<2, 2, true>(buffer); }
std::optional<Stream> CompressRle24(std::span<const std::uint8_t> buffer) { return CompressPixels<3, 3, false>(buffer); }
std::optional<Stream> CompressRle32U(std::span<const std::uint8_t> buffer) { return CompressPixels<4, 3, false>(buffer); }
std::optional<Stream> CompressRle32A(std::span<const std::uint8_t> buffer) { return CompressPixels<4, 4, false>(buffer); }

std::optional<Stream> Compress(Compression compression, std::span<const std::uint8_t> buffer)
{
    switch (compression) {
    case Compression::ByteRle: return CompressByteRle(buffer);
    case Compression::Rle12: return CompressRle12(buffer);
    case Compression::Rle16: return CompressRle16(buffer);
    case Compression::Rle24: return CompressRle24(buffer);
    case Compression::Rle32U: return CompressRle32U(buffer);
    case Compression::Rle32A: return CompressRle32A(buffer);
    case Compression::None: break;
    }
    return std::nullopt;
}

} // namespace vexaro::mbm
