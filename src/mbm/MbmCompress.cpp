#include "mbm/MbmCompress.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>
#include <utility>

#include "base/Bytes.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vexaro::mbm {

namespace {

// Rows are made this far ahead of a scan, so that it seldom stops for more.
constexpr std::size_t kFillBytes = 16 * 1024;

} // namespace

PixelSource::PixelSource(std::span<const std::uint8_t> bytes)
    : total_(bytes.size()), data_(bytes.data()), end_(bytes.size())
{
}

PixelSource::PixelSource(int rows, std::size_t stride, std::function<void(int y, std::uint8_t* out)> makeRow)
    : total_(stride * static_cast<std::size_t>(rows)), stride_(stride), makeRow_(std::move(makeRow))
{
    window_.resize(kFillBytes + stride + 1024);
    data_ = window_.data();
}

void PixelSource::reach(std::size_t end, std::size_t keep)
{
    if (end <= end_)
        return;
    if (keep > base_) {
        std::memmove(window_.data(), window_.data() + (keep - base_), end_ - keep);
        base_ = keep;
    }
    while (end_ < end || (end_ - base_ < kFillBytes && end_ < total_)) {
        if (end_ - base_ + stride_ > window_.size())
            window_.resize(2 * window_.size());
        makeRow_(nextRow_++, window_.data() + (end_ - base_));
        end_ += stride_;
    }
    data_ = window_.data();
}

CompressedOutput::CompressedOutput(std::function<void(std::span<const std::uint8_t>)> flush, std::size_t piece)
    : flush_(std::move(flush)), piece_(piece)
{
    buffer_.reserve(piece + 1024);
}

void CompressedOutput::pass()
{
    flush_(buffer_);
    passed_ += buffer_.size();
    buffer_.clear();
}

void CompressedOutput::finish()
{
    if (flush_ && !buffer_.empty())
        pass();
}

namespace {

// The readable part of a source, held in locals for the scanning loops.
class Window {
public:
    explicit Window(PixelSource& source) : source_(source) { refresh(); }
    // Makes bytes [keep, end) readable.
    void need(std::size_t end, std::size_t keep)
    {
        if (end > end_) {
            source_.reach(end, keep);
            refresh();
        }
    }
    const std::uint8_t* at(std::size_t offset) const { return data_ + (offset - base_); }
    std::size_t end() const { return end_; }

private:
    void refresh()
    {
        data_ = source_.data();
        base_ = source_.base();
        end_ = source_.end();
    }
    PixelSource& source_;
    const std::uint8_t* data_ = nullptr;
    std::size_t base_ = 0, end_ = 0;
};

template <std::size_t Width>
inline std::uint32_t Load(const std::uint8_t* p)
{
    if constexpr (Width == 1)
        return p[0];
    else if constexpr (Width == 2)
        return LoadU16(p);
    else if constexpr (Width == 3)
        return LoadU16(p) | (std::uint32_t{p[2]} << 16);
    else
        return LoadU32(p);
}

// Eight bytes, the first in the lowest bits (the scans count bytes from the bottom).
static_assert(std::endian::native == std::endian::little);
inline std::uint64_t Load64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The scans below read values v_0 .. v_{count-1} that lie `Step` bytes apart from p and are
// compared on their first `Width` bytes, several at a time with 8-byte loads that stay inside
// the values.

// How many values from v_0 on equal v_{-1}, the value just before p.
template <std::size_t Step, std::size_t Width>
std::size_t SameAsBefore(const std::uint8_t* p, std::size_t count)
{
    // Values are equal when their bytes are: compare each byte with the one a value earlier
    // (the fourth byte of a 32-bit colour pixel does not count).
    constexpr std::uint64_t kCounted = Step == Width ? ~std::uint64_t{0} : 0x00FFFFFF00FFFFFFull;
    const std::size_t bytes = count * Step;
    std::size_t j = 0;
    for (; j + 8 <= bytes; j += 8)
        if (const std::uint64_t x = (Load64(p + j) ^ Load64(p + j - Step)) & kCounted; x != 0)
            return (j + static_cast<std::size_t>(std::countr_zero(x)) / 8) / Step;
    for (std::size_t k = j / Step; k < count; ++k)
        if (Load<Width>(p + k * Step) != Load<Width>(p - Step))
            return k;
    return count;
}

// Lane masks for the neighbour pairs that one 8-byte load covers, `Width` bytes every `Step`
// bytes: each lane without its top bit, and its top bit.
template <std::size_t Step, std::size_t Width>
constexpr std::uint64_t LaneMask(bool top)
{
    std::uint64_t mask = 0;
    for (std::size_t m = 0; m < 8 / Step; ++m) {
        const std::uint64_t lane = std::uint64_t{1} << (8 * Width - 1);
        mask |= (top ? lane : lane - 1) << (8 * Step * m);
    }
    return mask;
}

// The first k with v_{k+1} == v_k, or count - 1 when no two neighbours are equal (count >= 1).
template <std::size_t Step, std::size_t Width>
std::size_t FirstRepeat(const std::uint8_t* p, std::size_t count)
{
    constexpr std::size_t kPerLoad = 8 / Step; // neighbour pairs one pair of loads compares
    constexpr std::uint64_t kLow = LaneMask<Step, Width>(false), kTop = LaneMask<Step, Width>(true);
    std::size_t k = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: which bytes equal the byte one value on, and of those the runs
    // of `Width` that start a value.
    constexpr std::size_t kPerBlock = 16 / Step;
    constexpr unsigned kStarts = [] {
        unsigned starts = 0;
        for (std::size_t m = 0; m < kPerBlock; ++m)
            starts |= 1u << (m * Step);
        return starts;
    }();
    for (; (k + 1) * Step + 16 <= count * Step; k += kPerBlock) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k * Step));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + (k + 1) * Step));
        const auto same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        unsigned equal = same & kStarts;
        for (std::size_t w = 1; w < Width; ++w)
            equal &= same >> w;
        if (equal != 0)
            return k + static_cast<std::size_t>(std::countr_zero(equal)) / Step;
    }
#endif
    // Both loads end inside the values: (k + 1) * Step + 8 <= count * Step.
    for (; (k + 1) * Step + 8 <= count * Step; k += kPerLoad) {
        const std::uint64_t x = Load64(p + k * Step) ^ Load64(p + (k + 1) * Step);
        // The top bit of each lane of x that is zero, that is of each pair that is equal (no
        // carry leaves a lane).
        const std::uint64_t equal = ~(((x & kLow) + kLow) | x | kLow) & kTop;
        if (equal != 0)
            return k + static_cast<std::size_t>(std::countr_zero(equal)) / (8 * Step);
    }
    for (; k + 1 < count; ++k)
        if (Load<Width>(p + k * Step) == Load<Width>(p + (k + 1) * Step))
            return k;
    return count - 1;
}

// Output that is only counted.
class CountingOutput {
public:
    std::uint64_t size() const { return size_; }
    void put(std::uint8_t) { ++size_; }
    void put(const std::uint8_t*, std::size_t n) { size_ += n; }
    void packetDone() {}

private:
    std::uint64_t size_ = 0;
};

// Runs and literals of `Width`-byte values taken every `Step` bytes of the stream.
template <std::size_t Step, std::size_t Width, class Out>
class Packets {
public:
    Packets(Window& in, Out& out) : in_(in), out_(out) {}

    // n copies of the value v, 128 to a packet.
    void run(std::uint32_t v, std::size_t n)
    {
        for (; n > 0; n -= std::min<std::size_t>(n, 128)) {
            out_.put(static_cast<std::uint8_t>(std::min<std::size_t>(n, 128) - 1));
            for (std::size_t k = 0; k < Width; ++k)
                out_.put(static_cast<std::uint8_t>(v >> (8 * k)));
            out_.packetDone();
        }
    }

    // Values first .. end - 1, which must be readable, 128 to a packet.
    void literal(std::size_t first, std::size_t end)
    {
        while (first < end) {
            const std::size_t n = std::min<std::size_t>(end - first, 128);
            out_.put(static_cast<std::uint8_t>(256 - n));
            if constexpr (std::is_same_v<Out, CountingOutput> || Step == Width) {
                out_.put(in_.at(first * Step), n * Width);
            } else {
                for (std::size_t i = first; i < first + n; ++i)
                    out_.put(in_.at(i * Step), Width);
            }
            out_.packetDone();
            first += n;
        }
    }

private:
    Window& in_;
    Out& out_;
};

// The 16-, 24- and 32-bit schemes share the run branch; their literal scanners differ at the
// end of the stream: the 16-bit one leaves the last pixel as a literal of its own, the others
// let the literal run to the end.
//
// A literal of more than 128 values is written 128 at a time as soon as it is known to be that
// long, from its start, which is how a long literal is split anyway; so only its last values
// must be held when it ends. A run needs only its value.
template <std::size_t Step, std::size_t Width, bool LastPixelApart, class Out>
bool CompressPixels(PixelSource& source, Out& out)
{
    Window in(source);
    Packets<Step, Width, Out> w(in, out);
    const std::size_t n = source.size() / Step;
    const std::uint64_t cutoff = 7 * static_cast<std::uint64_t>(source.size()) / 8;
    // True when the output cannot stay within the cutoff with `left` values still to write.
    auto cannotPay = [&](std::size_t left) { return out.size() + (left + 127) / 128 * (1 + Width) > cutoff; };
    // Values wholly readable now, and making value i readable while keeping those from `keep`.
    auto readable = [&] { return std::min(n, in.end() / Step); };
    auto need = [&](std::size_t i, std::size_t keep) { in.need((i + 1) * Step, keep * Step); };

    std::size_t i = 0;
    while (i + 1 < n) {
        std::size_t s = i;
        need(s + 1, s);
        const std::uint32_t first = Load<Width>(in.at(s * Step));
        if (Load<Width>(in.at((s + 1) * Step)) == first) {
            for (i = s + 2; i < n; need(i, i - 1)) {
                const std::size_t avail = readable();
                i += SameAsBefore<Step, Width>(in.at(i * Step), avail - i);
                if (i < avail || i == n)
                    break;
            }
            w.run(first, i - s);
        } else {
            // The literal ends before the first value that equals its successor (the 16-bit
            // scanner never takes in the last value).
            std::size_t k = s + 1;
            for (;;) {
                const std::size_t avail = readable();
                k += FirstRepeat<Step, Width>(in.at(k * Step), avail - k);
                // Known now: the literal holds at least the values s .. k - 1.
                for (; k - s > 128; s += 128) {
                    w.literal(s, s + 128);
                    if (cannotPay(n - s - 128))
                        return false;
                }
                if (k + 1 < avail || k + 1 >= n)
                    break;
                need(k + 1, s);
            }
            i = LastPixelApart || k + 1 < n ? k : n;
            w.literal(s, i);
        }
        if (cannotPay(n - i))
            return false;
    }
    if (i < n) {
        need(i, i);
        w.literal(i, n);
    }
    return out.size() <= cutoff;
}

template <class Out>
bool CompressByteRle(PixelSource& source, Out& out)
{
    Window in(source);
    Packets<1, 1, Out> w(in, out);
    const std::size_t size = source.size();
    const std::size_t margin = std::max<std::size_t>(size / 64, 4);
    const std::size_t limit = size > margin ? size - margin : 0;
    const std::size_t cutoff = size / 2 + size / 4;
    // The main part ends at `limit` or up to two bytes after it (a run of three started just
    // before); the tail after it counts its bytes without their lead bytes.
    auto cannotPay = [&](std::size_t p) {
        const std::size_t main = p < limit ? (limit - p + 127) / 128 * 2 : 0;
        const std::size_t tail = size - std::max(p, limit);
        return out.size() + main + (tail > 2 ? tail - 2 : 0) > cutoff;
    };
    auto byte = [&](std::size_t q) { return *in.at(q); };
    // Three equal bytes at q start a run; q + 2 < size holds for every q < limit.
    auto runStarts = [&](std::size_t q) { return byte(q + 1) == byte(q) && byte(q + 2) == byte(q); };
    std::size_t p = 0;
    while (p < limit) {
        in.need(p + 3, p);
        std::size_t q = p;
        if (runStarts(p)) {
            const std::uint8_t v = byte(p);
            for (q = p + 3; q < limit; ++q) {
                in.need(q + 1, q);
                if (byte(q) != v)
                    break;
            }
            w.run(v, q - p);
        } else {
            for (; q < limit; ++q) {
                in.need(q + 3, p);
                if (runStarts(q))
                    break;
                if (q - p > 128) {
                    w.literal(p, p + 128);
                    p += 128;
                    if (cannotPay(p))
                        return false;
                }
            }
            w.literal(p, q);
        }
        p = q;
        if (cannotPay(p))
            return false;
    }
    if (p < size) {
        // The check leaves out the literal's lead bytes, as the converter's does.
        if (out.size() + (size - p) > cutoff)
            return false;
        for (; p < size; p += 128) {
            const std::size_t end = std::min(size, p + 128);
            in.need(end, p);
            w.literal(p, end);
        }
    }
    return true;
}

template <class Out>
void CompressRle12(PixelSource& source, Out& out)
{
    Window in(source);
    const std::size_t n = source.size() / 2;
    auto word = [&](std::size_t i) {
        in.need(2 * i + 2, 2 * i);
        return Load<2>(in.at(2 * i));
    };
    auto put = [&out](unsigned w) {
        out.put(static_cast<std::uint8_t>(w));
        out.put(static_cast<std::uint8_t>(w >> 8));
        out.packetDone();
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
}

template <class Out>
bool Run(Compression compression, PixelSource& source, Out& out)
{
    switch (compression) {
    case Compression::ByteRle: return CompressByteRle(source, out);
    case Compression::Rle12: CompressRle12(source, out); return true;
    case Compression::Rle16: return CompressPixels<2, 2, true>(source, out);
    case Compression::Rle24: return CompressPixels<3, 3, false>(source, out);
    case Compression::Rle32U: return CompressPixels<4, 3, false>(source, out);
    case Compression::Rle32A: return CompressPixels<4, 4, false>(source, out);
    case Compression::None: break;
    }
    return false;
}

} // namespace

bool Compress(Compression compression, PixelSource& source, CompressedOutput& out)
{
    if (!Run(compression, source, out))
        return false;
    out.finish();
    return true;
}

bool WouldPay(Compression compression, PixelSource& source)
{
    CountingOutput out;
    return Run(compression, source, out);
}

std::optional<Stream> Compress(Compression compression, std::span<const std::uint8_t> buffer)
{
    PixelSource source(buffer);
    CompressedOutput out;
    if (!Compress(compression, source, out))
        return std::nullopt;
    return out.take();
}

std::optional<Stream> CompressByteRle(std::span<const std::uint8_t> buffer)
{
    return Compress(Compression::ByteRle, buffer);
}
Stream CompressRle12(std::span<const std::uint8_t> buffer) { return *Compress(Compression::Rle12, buffer); }
std::optional<Stream> CompressRle16(std::span<const std::uint8_t> buffer)
{
    return Compress(Compression::Rle16, buffer);
}
std::optional<Stream> CompressRle24(std::span<const std::uint8_t> buffer)
{
    return Compress(Compression::Rle24, buffer);
}
std::optional<Stream> CompressRle32U(std::span<const std::uint8_t> buffer)
{
    return Compress(Compression::Rle32U, buffer);
}
std::optional<Stream> CompressRle32A(std::span<const std::uint8_t> buffer)
{
    return Compress(Compression::Rle32A, buffer);
}

} // namespace vexaro::mbm
