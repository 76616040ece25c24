#include "bitmap/Bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "base/Bytes.h"
#include "base/Error.h"

namespace vexaro {

int BitsPerPixel(PixelFormat format) { return static_cast<int>(format); }

bool IsPaletted(PixelFormat format) { return BitsPerPixel(format) <= 8; }

std::size_t RowStride(PixelFormat format, int width)
{
    const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(BitsPerPixel(format));
    return ((bits + 31) / 32) * 4;
}

namespace {

// round(v * 255 / max) for a channel value v of a mask whose maximum is max.
std::uint8_t ScaleChannel(std::uint32_t word, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const std::uint64_t max = mask >> shift;
    const std::uint64_t v = (word & mask) >> shift;
    return static_cast<std::uint8_t>((v * 255 * 2 + max) / (2 * max));
}

std::uint32_t ReadWord(const std::uint8_t* p, int bytes) { return bytes == 4 ? LoadU32(p) : LoadU16(p); }

} // namespace

void Bitmap::reset(int w, int h, PixelFormat format, std::vector<Rgb> palette, ChannelMasks masks)
{
    if (w < 0 || h < 0 || w > kMaxSide || h > kMaxSide)
        throw Error(kBitmapNotValid);
    const std::size_t stride = RowStride(format, w);
    if (h != 0 && stride > kMaxPixelBytes / static_cast<std::size_t>(h))
        throw Error(kBitmapNotValid);
    if (format == PixelFormat::Bits16 && masks == ChannelMasks{})
        masks = kMasks565;
    if (format == PixelFormat::Bits32 && masks == ChannelMasks{})
        masks = kMasks888;
    if (!IsPaletted(format))
        palette.clear();
    pixels_.assign(stride * static_cast<std::size_t>(h), 0);
    width_ = w;
    height_ = h;
    format_ = format;
    stride_ = stride;
    palette_ = std::move(palette);
    masks_ = IsPaletted(format) || format == PixelFormat::Bits24 ? ChannelMasks{} : masks;
}

void Bitmap::setSize(int w, int h)
{
    if (w == width_ && h == height_)
        return;
    if (w < 0)
        w = 0;
    if (h < 0)
        h = 0;
    Bitmap grown;
    grown.reset(w, h, format_, palette_, masks_);
    const int keepW = std::min(w, width_);
    const int keepH = std::min(h, height_);
    const std::size_t keepBits = static_cast<std::size_t>(keepW) * static_cast<std::size_t>(bitsPerPixel());
    for (int y = 0; y < keepH && keepW > 0; ++y) {
        std::memcpy(grown.row(y), row(y), keepBits / 8);
        if (keepBits % 8 != 0) {
            // Copy the leading bits of the last partly kept byte.
            const std::uint8_t keepMask = static_cast<std::uint8_t>(0xFF00u >> (keepBits % 8));
            grown.row(y)[keepBits / 8] = static_cast<std::uint8_t>(row(y)[keepBits / 8] & keepMask);
        }
    }
    *this = std::move(grown);
    // New pixels: everything right of the kept columns and below the kept rows.
    paintWhite(keepW, 0, w, keepH);
    paintWhite(0, keepH, w, h);
}

void Bitmap::paintWhite(int x0, int y0, int x1, int y1)
{
    if (x0 >= x1 || y0 >= y1)
        return;
    if (IsPaletted(format_)) {
        // New pixels must be exactly white: take the palette's white entry, or add one where
        // the palette has room and no pixel already uses that index (such pixels read black);
        // otherwise the picture goes to 24 bits.
        const int bpp = bitsPerPixel();
        const std::size_t usable = std::min(palette_.size(), std::size_t{1} << bpp);
        const auto usableEnd = palette_.begin() + static_cast<std::ptrdiff_t>(usable);
        auto best = static_cast<unsigned>(std::find(palette_.begin(), usableEnd, kWhite) - palette_.begin());
        if (best == usable) {
            if (usable < (std::size_t{1} << bpp) && usable == palette_.size() && indicesInUse() <= usable) {
                palette_.push_back(kWhite);
            } else {
                convertTo24();
                paintWhite(x0, y0, x1, y1);
                return;
            }
        }
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* r = row(y);
            for (int x = x0; x < x1; ++x) {
                const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
                const int shift = 8 - bpp - static_cast<int>(bit % 8);
                const std::uint8_t mask = static_cast<std::uint8_t>(((1u << bpp) - 1) << shift);
                r[bit / 8] = static_cast<std::uint8_t>((r[bit / 8] & ~mask) | ((best << shift) & mask));
            }
        }
        return;
    }
    const int bytes = bitsPerPixel() / 8;
    std::uint32_t white = 0xFFFFFFFF;
    if (format_ != PixelFormat::Bits24)
        white = masks_.r | masks_.g | masks_.b;
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* p = row(y) + static_cast<std::size_t>(x0) * static_cast<std::size_t>(bytes);
        for (int x = x0; x < x1; ++x)
            for (int k = 0; k < bytes; ++k)
                *p++ = static_cast<std::uint8_t>(white >> (8 * k));
    }
}

std::size_t Bitmap::indicesInUse() const
{
    unsigned most = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            most = std::max(most, index(x, y));
    return empty() ? 0 : std::size_t{most} + 1;
}

unsigned Bitmap::index(int x, int y) const
{
    const std::uint8_t* r = row(y);
    switch (format_) {
    case PixelFormat::Pal1: return (r[x >> 3] >> (7 - (x & 7))) & 1u;
    case PixelFormat::Pal4: return (x & 1) ? (r[x >> 1] & 0x0Fu) : (r[x >> 1] >> 4);
    case PixelFormat::Pal8: return r[x];
    default: return 0;
    }
}

namespace {

Rgb PixelIn(PixelFormat format, ChannelMasks masks, const std::vector<Rgb>& palette, const std::uint8_t* r, int x)
{
    unsigned i = 0;
    switch (format) {
    case PixelFormat::Pal1: i = (r[x >> 3] >> (7 - (x & 7))) & 1u; break;
    case PixelFormat::Pal4: i = (x & 1) ? (r[x >> 1] & 0x0Fu) : (r[x >> 1] >> 4); break;
    case PixelFormat::Pal8: i = r[x]; break;
    case PixelFormat::Bits24: {
        const std::uint8_t* p = r + static_cast<std::size_t>(x) * 3;
        return Rgb{p[2], p[1], p[0]};
    }
    case PixelFormat::Bits16:
    case PixelFormat::Bits32: {
        const int bytes = BitsPerPixel(format) / 8;
        const std::uint32_t w = ReadWord(r + static_cast<std::size_t>(x) * static_cast<std::size_t>(bytes), bytes);
        return Rgb{ScaleChannel(w, masks.r), ScaleChannel(w, masks.g), ScaleChannel(w, masks.b)};
    }
    }
    return i < palette.size() ? palette[i] : kBlack;
}

} // namespace

Rgb Bitmap::pixel(int x, int y) const { return PixelIn(format_, masks_, palette_, row(y), x); }

Rgb PixelAt(const PixelRows& rows, int x, int y)
{
    return PixelIn(rows.format, rows.masks, rows.palette, rows.row(y), x);
}

void Bitmap::convertTo24()
{
    if (format_ == PixelFormat::Bits24)
        return;
    Bitmap out;
    out.reset(width_, height_, PixelFormat::Bits24);
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* p = out.row(y);
        for (int x = 0; x < width_; ++x) {
            const Rgb c = pixel(x, y);
            *p++ = c.b;
            *p++ = c.g;
            *p++ = c.r;
        }
    }
    *this = std::move(out);
}

void Bitmap::setPixel(int x, int y, Rgb colour)
{
    if (format_ != PixelFormat::Bits24 && !(format_ == PixelFormat::Bits32 && masks_ == kMasks888))
        convertTo24();
    if (format_ == PixelFormat::Bits24) {
        std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 3;
        p[0] = colour.b;
        p[1] = colour.g;
        p[2] = colour.r;
    } else {
        std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 4;
        p[0] = colour.b;
        p[1] = colour.g;
        p[2] = colour.r;
    }
}

std::vector<std::uint8_t> Bitmap::toRgb() const
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3);
    std::uint8_t* o = out.data();
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* r = row(y);
        if (format_ == PixelFormat::Bits24) {
            for (int x = 0; x < width_; ++x, r += 3, o += 3) {
                o[0] = r[2];
                o[1] = r[1];
                o[2] = r[0];
            }
        } else if (format_ == PixelFormat::Pal8) {
            for (int x = 0; x < width_; ++x, o += 3) {
                const Rgb c = r[x] < palette_.size() ? palette_[r[x]] : kBlack;
                o[0] = c.r;
                o[1] = c.g;
                o[2] = c.b;
            }
        } else {
            for (int x = 0; x < width_; ++x, o += 3) {
                const Rgb c = pixel(x, y);
                o[0] = c.r;
                o[1] = c.g;
                o[2] = c.b;
            }
        }
    }
    return out;
}

void Bitmap::fill(Rgb colour)
{
    if (format_ != PixelFormat::Bits24)
        convertTo24();
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* p = row(y);
        for (int x = 0; x < width_; ++x) {
            *p++ = colour.b;
            *p++ = colour.g;
            *p++ = colour.r;
        }
    }
}

PixelRows Bitmap::rows() const
{
    PixelRows r;
    r.width = width_;
    r.height = height_;
    r.format = format_;
    r.masks = masks_;
    r.palette = palette_;
    r.top = pixels_.data();
    r.step = static_cast<std::ptrdiff_t>(stride_);
    return r;
}

Rgb Bitmap::transparentColour() const
{
    if (format_ == PixelFormat::Pal1 || empty())
        return kWhite;
    return pixel(0, height_ - 1);
}

void Draw(Bitmap& dst, const Bitmap& src, int x, int y, bool transparent)
{
    // In 64 bits, so that far-off positions cannot overflow.
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = static_cast<int>(std::min<long long>(dst.width(), static_cast<long long>(x) + src.width()));
    const int y1 = static_cast<int>(std::min<long long>(dst.height(), static_cast<long long>(y) + src.height()));
    if (x0 >= x1 || y0 >= y1)
        return;
    if (dst.format() != PixelFormat::Bits24)
        dst.convertTo24();
    const Rgb key = src.transparentColour();
    if (!transparent && src.format() == PixelFormat::Bits24) {
        for (int ty = y0; ty < y1; ++ty)
            std::memcpy(dst.row(ty) + static_cast<std::size_t>(x0) * 3,
                        src.row(ty - y) + static_cast<std::size_t>(x0 - x) * 3, static_cast<std::size_t>(x1 - x0) * 3);
        return;
    }
    for (int ty = y0; ty < y1; ++ty) {
        std::uint8_t* p = dst.row(ty) + static_cast<std::size_t>(x0) * 3;
        for (int tx = x0; tx < x1; ++tx, p += 3) {
            const Rgb c = src.pixel(tx - x, ty - y);
            if (transparent && c == key)
                continue;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
}

} // namespace vexaro
