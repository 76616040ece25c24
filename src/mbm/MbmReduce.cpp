#include "mbm/MbmReduce.h"

#include <bit>
#include <cstring>
#include <string>

#include "base/Bytes.h"
#include "base/Error.h"

namespace vexaro::mbm {

namespace {

// round(v * 255 / max), the value of an n-bit channel in 8 bits (see Bitmap.h).
std::uint8_t Scale(std::uint64_t v, std::uint64_t max)
{
    return static_cast<std::uint8_t>((v * 255 * 2 + max) / (2 * max));
}

// The remap, on a colour held as blue, green, red.
inline void Remap(std::uint8_t& b, std::uint8_t& g, std::uint8_t& r)
{
    if (b == g && g == r && (r == 128 || r == 192))
        b = g = r = r == 128 ? 127 : 187;
}

// A channel too wide for a table, from its word.
std::uint8_t Wide(std::uint32_t word, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    return Scale((word & mask) >> shift, mask >> shift);
}

// The remap on a row of w blue, green, red pixels. A colour it changes has three bytes of 0x80
// or 0xC0 (b & 0xBF == 0x80): eight pixels are looked at only where their 24 bytes hold one.
void RemapRow(std::uint8_t* bgr, int w)
{
    auto anyCandidate = [](const std::uint8_t* p) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        const std::uint64_t x = (v & 0xBFBFBFBFBFBFBFBFull) ^ 0x8080808080808080ull;
        return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0; // a zero byte in x
    };
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        std::uint8_t* p = bgr + 3 * x;
        if (!anyCandidate(p) && !anyCandidate(p + 8) && !anyCandidate(p + 16))
            continue;
        for (int k = 0; k < 8; ++k, p += 3)
            Remap(p[0], p[1], p[2]);
    }
    for (std::uint8_t* p = bgr + 3 * x; x < w; ++x, p += 3)
        Remap(p[0], p[1], p[2]);
}

inline unsigned Grey(unsigned r, unsigned g, unsigned b) { return (2u * r + 5u * g + b) >> 3; }

// Calls f(x, r, g, b) for every pixel of a blue, green, red row, after the remap.
template <class F>
inline void ForEachColour(const std::uint8_t* bgr, int w, F f)
{
    for (int x = 0; x < w; ++x, bgr += 3) {
        std::uint8_t b = bgr[0], g = bgr[1], r = bgr[2];
        Remap(b, g, r);
        f(x, r, g, b);
    }
}

// Packs values of `bits` bits (1, 2 or 4), the leftmost pixel in the lowest bits, from
// value(x) for x < w; bits after the last pixel stay 1.
template <class V>
inline void Pack(std::uint8_t* out, int w, int bits, V value)
{
    const int perByte = 8 / bits;
    int x = 0;
    for (; x + perByte <= w; x += perByte, ++out) {
        unsigned acc = 0;
        for (int k = 0; k < perByte; ++k)
            acc |= value(x + k) << (k * bits);
        *out = static_cast<std::uint8_t>(acc);
    }
    if (x < w) {
        unsigned acc = 0xFFu << ((w - x) * bits);
        for (int k = 0; x + k < w; ++k)
            acc |= value(x + k) << (k * bits);
        *out = static_cast<std::uint8_t>(acc);
    }
}

inline void PutWord(std::uint8_t* p, unsigned v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

} // namespace

bool IsValidDepthOption(const DepthOption& option)
{
    if (option.alpha)
        return option.colour && option.bitsPerPixel == 32;
    switch (option.bitsPerPixel) {
    case 1:
    case 2: return !option.colour;
    case 4:
    case 8: return true;
    case 12:
    case 16:
    case 24:
    case 32: return option.colour;
    default: return false;
    }
}

Rgb RemapGrey(Rgb c)
{
    Remap(c.b, c.g, c.r);
    return c;
}

namespace {

void CheckAlphaPicture(const PixelRows& source, const DepthOption& option, const PixelRows* alpha)
{
    if (!option.alpha)
        return;
    if (alpha == nullptr)
        throw Error("no alpha picture for a 32-bit alpha bitmap");
    if (alpha->format != PixelFormat::Pal8)
        throw Error("the alpha picture has " + std::to_string(BitsPerPixel(alpha->format)) + " bits per pixel, not 8");
    if (alpha->width != source.width || alpha->height != source.height)
        throw Error("the alpha picture is " + std::to_string(alpha->width) + "x" + std::to_string(alpha->height) +
                    ", the picture " + std::to_string(source.width) + "x" + std::to_string(source.height));
}

} // namespace

RowReducer::RowReducer(const PixelRows& source, const DepthOption& option, const InverseTable256& inverse256,
                       const PixelRows* alpha)
    : source_(source), option_(option), inverse256_(inverse256), alpha_(option.alpha ? alpha : nullptr)
{
    if (!IsValidDepthOption(option))
        throw Error("invalid bitmap depth " + std::string(option.colour ? "c" : "") +
                    std::to_string(option.bitsPerPixel) + (option.alpha ? "a" : ""));
    CheckAlphaPicture(source, option, alpha);
    stride_ = StrideBytes(option.bitsPerPixel, source.width);
    if (source.format != PixelFormat::Bits24)
        bgr_.resize(static_cast<std::size_t>(source.width) * 3);
    if (IsPaletted(source.format)) {
        // Indices the palette does not reach read as black.
        for (std::size_t i = 0; i < source.palette.size() && i < paletteBgr_.size(); ++i)
            paletteBgr_[i] = {source.palette[i].b, source.palette[i].g, source.palette[i].r};
        return;
    }
    if (source.format == PixelFormat::Bits24)
        return;
    buildChannelTables();
    copy16_ = source.format == PixelFormat::Bits16 && source.masks == kMasks565 && option.colour &&
              option.bitsPerPixel == 16 && wordsAreTheTargets();
}

void RowReducer::buildChannelTables()
{
    const std::uint32_t masks[3] = {source_.masks.r, source_.masks.g, source_.masks.b};
    tabled_ = true;
    for (int c = 0; c < 3; ++c) {
        Channel& ch = channels_[static_cast<std::size_t>(c)];
        ch.mask = masks[c];
        ch.shift = masks[c] == 0 ? 0 : std::countr_zero(masks[c]);
        const std::uint32_t max = masks[c] >> ch.shift;
        if (max > 0xFFFF) {
            tabled_ = false; // wider than any table we make: computed per pixel
            continue;
        }
        ch.table.resize(std::size_t{max} + 1);
        for (std::uint32_t v = 0; v <= max; ++v)
            ch.table[v] = max == 0 ? 0 : Scale(v, max);
    }
}

// A 5-6-5 source compiled at 16 bits: when every channel goes to 8 bits and back to itself,
// and no colour of it is one the remap changes, its words are copied.
bool RowReducer::wordsAreTheTargets() const
{
    bool same = true;
    for (std::uint32_t v = 0; v < 32; ++v)
        same = same && (channels_[0].table[v] >> 3) == v && (channels_[2].table[v] >> 3) == v;
    for (std::uint32_t v = 0; v < 64; ++v)
        same = same && (channels_[1].table[v] >> 2) == v;
    bool remapped = false;
    for (std::uint8_t grey : {std::uint8_t{128}, std::uint8_t{192}}) {
        bool all = true;
        for (const Channel& ch : channels_) {
            bool any = false;
            for (std::uint8_t v : ch.table)
                any = any || v == grey;
            all = all && any;
        }
        remapped = remapped || all;
    }
    return same && !remapped;
}

const std::uint8_t* RowReducer::sourceBgr(int y)
{
    const std::uint8_t* in = source_.row(y);
    const int w = source_.width;
    std::uint8_t* out = bgr_.data();
    switch (source_.format) {
    case PixelFormat::Bits24: return in;
    case PixelFormat::Pal8:
        for (int x = 0; x < w; ++x, out += 3)
            std::memcpy(out, paletteBgr_[in[x]].data(), 3);
        break;
    case PixelFormat::Pal4:
        for (int x = 0; x < w; ++x, out += 3)
            std::memcpy(out, paletteBgr_[(x & 1) ? (in[x >> 1] & 0x0Fu) : (in[x >> 1] >> 4)].data(), 3);
        break;
    case PixelFormat::Pal1:
        for (int x = 0; x < w; ++x, out += 3)
            std::memcpy(out, paletteBgr_[(in[x >> 3] >> (7 - (x & 7))) & 1u].data(), 3);
        break;
    case PixelFormat::Bits16:
    case PixelFormat::Bits32: {
        const int bytes = source_.format == PixelFormat::Bits16 ? 2 : 4;
        const Channel &r = channels_[0], &g = channels_[1], &b = channels_[2];
        for (int x = 0; x < w; ++x, in += bytes, out += 3) {
            const std::uint32_t word = bytes == 2 ? std::uint32_t{in[0]} | (std::uint32_t{in[1]} << 8) : LoadU32(in);
            if (tabled_) {
                out[0] = b.table[(word & b.mask) >> b.shift];
                out[1] = g.table[(word & g.mask) >> g.shift];
                out[2] = r.table[(word & r.mask) >> r.shift];
            } else {
                out[0] = Wide(word, b.mask);
                out[1] = Wide(word, g.mask);
                out[2] = Wide(word, r.mask);
            }
        }
        break;
    }
    }
    return bgr_.data();
}

void RowReducer::row(int y, std::uint8_t* out)
{
    if (stride_ == 0)
        return; // no pixels
    const int w = source_.width;
    const int bits = option_.bitsPerPixel;
    const std::size_t used = (static_cast<std::size_t>(w) * static_cast<std::size_t>(bits == 12 ? 16 : bits) + 7) / 8;
    // Padding bytes are 0xFF; the packed depths set the spare bits of their last byte.
    std::memset(out + used, 0xFF, stride_ - used);
    if (copy16_) {
        std::memcpy(out, source_.row(y), used);
        return;
    }
    const std::uint8_t* bgr = sourceBgr(y);
    if (bits <= 8)
        indexedRow(bgr, out);
    else
        colourRow(bgr, y, out);
}

// Depths 1, 2, 4 and 8: grey levels, or indices into the colour palettes.
void RowReducer::indexedRow(const std::uint8_t* bgr, std::uint8_t* out) const
{
    const int w = source_.width;
    const int bits = option_.bitsPerPixel;
    if (bits == 8) {
        if (option_.colour)
            ForEachColour(bgr, w, [&](int x, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
                out[x] = NearestIndex256(inverse256_, Rgb{r, g, b});
            });
        else
            ForEachColour(bgr, w, [&](int x, unsigned r, unsigned g, unsigned b) {
                out[x] = static_cast<std::uint8_t>(Grey(r, g, b));
            });
        return;
    }
    if (option_.colour) { // colour 4
        const InverseTable16& inverse16 = StandardInverse16();
        Pack(out, w, 4, [&](int x) {
            const std::uint8_t* p = bgr + 3 * x;
            std::uint8_t b = p[0], g = p[1], r = p[2];
            Remap(b, g, r);
            return unsigned{NearestIndex16(inverse16, Rgb{r, g, b})};
        });
        return;
    }
    const int drop = 8 - bits;
    Pack(out, w, bits, [&](int x) {
        const std::uint8_t* p = bgr + 3 * x;
        std::uint8_t b = p[0], g = p[1], r = p[2];
        Remap(b, g, r);
        return Grey(r, g, b) >> drop;
    });
}

// Depths 12, 16, 24 and 32 (with or without alpha).
void RowReducer::colourRow(const std::uint8_t* bgr, int y, std::uint8_t* out) const
{
    const int w = source_.width;
    switch (option_.bitsPerPixel) {
    case 12:
        ForEachColour(bgr, w, [&](int x, unsigned r, unsigned g, unsigned b) {
            PutWord(out + 2 * x, ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
        });
        return;
    case 16:
        ForEachColour(bgr, w, [&](int x, unsigned r, unsigned g, unsigned b) {
            PutWord(out + 2 * x, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        });
        return;
    case 24:
        std::memcpy(out, bgr, static_cast<std::size_t>(w) * 3);
        RemapRow(out, w);
        return;
    default: {
        const std::uint8_t* alpha = alpha_ != nullptr ? alpha_->row(y) : nullptr;
        ForEachColour(bgr, w, [&](int x, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
            std::uint8_t* p = out + 4 * x;
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = alpha != nullptr ? alpha[x] : 0;
        });
        return;
    }
    }
}

MbmImage ReduceBitmap(const Bitmap& source, const DepthOption& option, const InverseTable256& inverse256,
                      const Bitmap* alpha)
{
    const PixelRows alphaRows = alpha != nullptr ? alpha->rows() : PixelRows{};
    RowReducer reducer(source.rows(), option, inverse256, alpha != nullptr ? &alphaRows : nullptr);
    MbmImage image;
    image.width = reducer.width();
    image.height = reducer.height();
    image.bitsPerPixel = reducer.bitsPerPixel();
    image.colourMode = reducer.colourMode();
    image.pixels.resize(reducer.stride() * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        reducer.row(y, image.row(y));
    return image;
}

int TwipsFor(int pixels, std::int32_t pixelsPerMetre)
{
    if (pixelsPerMetre <= 0 || pixels <= 0)
        return 0;
    const std::int64_t perMetre = std::int64_t{pixels} * 1440000 / 254;
    return static_cast<int>(perMetre / pixelsPerMetre);
}

void AddReducedBitmap(MbmFileWriter& writer, RowReducer& reducer, std::int32_t ppmX, std::int32_t ppmY)
{
    MbmBitmapHeader shape;
    shape.width = reducer.width();
    shape.height = reducer.height();
    shape.twipsWidth = TwipsFor(shape.width, ppmX);
    shape.twipsHeight = TwipsFor(shape.height, ppmY);
    shape.bitsPerPixel = reducer.bitsPerPixel();
    shape.colourMode = reducer.colourMode();
    writer.add(shape, [&reducer](int y, std::uint8_t* out) { reducer.row(y, out); });
}

} // namespace vexaro::mbm
