#pragma once
// Bitmap: an in-memory picture with a width, a height, a pixel format and pixels.
//
// Pixels are held top row first, each row `stride()` bytes (rows are padded to 4 bytes),
// in the layout of the format:
//   Pal1   1 bit per pixel, most significant bit = leftmost pixel, index into palette()
//   Pal4   4 bits per pixel, high nibble = left pixel, index into palette()
//   Pal8   one index byte per pixel
//   Bits16 one little-endian 16-bit word per pixel, channels given by masks()
//   Bits24 three bytes per pixel: blue, green, red
//   Bits32 one little-endian 32-bit word per pixel, channels given by masks()
// A channel of n bits with value v reads as round(v * 255 / (2^n - 1)).
//
// A new bitmap is empty (0 x 0) and has 24 bits per pixel. Growing a bitmap keeps the
// pixels that still fit, anchored top-left, and paints the new ones white.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexaro {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

enum class PixelFormat : std::uint8_t { Pal1 = 1, Pal4 = 4, Pal8 = 8, Bits16 = 16, Bits24 = 24, Bits32 = 32 };

struct ChannelMasks {
    std::uint32_t r = 0, g = 0, b = 0;
    friend bool operator==(const ChannelMasks&, const ChannelMasks&) = default;
};

// Masks the formats use unless a file says otherwise.
inline constexpr ChannelMasks kMasks555{0x7C00, 0x03E0, 0x001F};
inline constexpr ChannelMasks kMasks565{0xF800, 0x07E0, 0x001F};
inline constexpr ChannelMasks kMasks888{0xFF0000, 0x00FF00, 0x0000FF};

// Largest picture we hold: 32768 pixels on a side and 256 MiB of pixels.
inline constexpr int kMaxSide = 32768;
inline constexpr std::size_t kMaxPixelBytes = std::size_t{256} << 20;

int BitsPerPixel(PixelFormat format);
bool IsPaletted(PixelFormat format);
// Bytes of one row of `width` pixels, padded to 4 bytes.
std::size_t RowStride(PixelFormat format, int width);

// Read-only rows of a picture in one of the layouts above, wherever they lie: in a Bitmap, or
// in place in the bytes of a BMP file (bottom-up there, so `step` may be negative). The rows
// must outlive the view; the palette is the view's own copy.
struct PixelRows {
    int width = 0, height = 0;
    PixelFormat format = PixelFormat::Bits24;
    ChannelMasks masks{};
    std::vector<Rgb> palette;
    const std::uint8_t* top = nullptr; // row 0
    std::ptrdiff_t step = 0;           // from one row to the next
    const std::uint8_t* row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * step; }
};

// Colour of pixel (x, y) of `rows`, by the rules of Bitmap::pixel.
Rgb PixelAt(const PixelRows& rows, int x, int y);

class Bitmap {
public:
    Bitmap() = default;

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    PixelFormat format() const { return format_; }
    int bitsPerPixel() const { return BitsPerPixel(format_); }
    std::size_t stride() const { return stride_; }

    const std::vector<Rgb>& palette() const { return palette_; }
    ChannelMasks masks() const { return masks_; }

    std::uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    std::vector<std::uint8_t>& pixelBytes() { return pixels_; }
    const std::vector<std::uint8_t>& pixelBytes() const { return pixels_; }

    // Replaces everything: a picture of w x h in `format`, every byte of its pixels zero.
    // Throws Error(kBitmapNotValid) for sizes beyond kMaxSide or kMaxPixelBytes.
    void reset(int w, int h, PixelFormat format, std::vector<Rgb> palette = {}, ChannelMasks masks = {});

    // Resizing keeps the pixels that fit (top-left) and paints new pixels white.
    void setWidth(int w) { setSize(w, height_); }
    void setHeight(int h) { setSize(width_, h); }
    void setSize(int w, int h);

    // Colour of pixel (x, y); the coordinates must lie inside the picture.
    Rgb pixel(int x, int y) const;
    // Paletted and 16-bit pictures are first turned into 24-bit ones, so the colour is kept exactly.
    void setPixel(int x, int y, Rgb colour);
    // Palette index of (x, y) in a paletted picture.
    unsigned index(int x, int y) const;

    // Turns the picture into 24 bits per pixel with the same colours.
    void convertTo24();
    // Every pixel as top-down R, G, B triples, no padding (width * height * 3 bytes).
    std::vector<std::uint8_t> toRgb() const;
    // Fills the whole picture with one colour (converting to 24 bits if needed).
    void fill(Rgb colour);

    // A view of the pixels (valid while the picture is not changed).
    PixelRows rows() const;

    // The colour a transparent draw leaves out: white for 1 bit per pixel, otherwise the
    // bottom-left pixel. An empty picture has none (returns white; nothing is drawn anyway).
    Rgb transparentColour() const;

private:
    void paintWhite(int x0, int y0, int x1, int y1);
    // One more than the highest palette index any pixel uses (0 for an empty picture).
    std::size_t indicesInUse() const;
    int width_ = 0, height_ = 0;
    PixelFormat format_ = PixelFormat::Bits24;
    std::size_t stride_ = 0;
    std::vector<Rgb> palette_;
    ChannelMasks masks_{};
    std::vector<std::uint8_t> pixels_;
};

// Copies `src` onto `dst` with its top-left corner at (x, y), cut off at dst's edges
// (negative offsets allowed). Transparent: pixels of src's transparentColour() are skipped.
void Draw(Bitmap& dst, const Bitmap& src, int x, int y, bool transparent = false);

} // namespace vexaro
