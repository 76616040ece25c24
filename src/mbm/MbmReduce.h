#pragma once
// Turning a picture into the pixels of one MBM bitmap at a chosen depth, as the converter's
// compile mode does.
//
// Every source colour first goes through the converter's grey remap: exactly (128,128,128)
// becomes (127,127,127) and (192,192,192) becomes (187,187,187), at every depth. Then, with
// G = (2 r + 5 g + b) / 8 (integer division):
//   grey 1, 2, 4, 8    G / 128, G / 64, G / 16, G
//   colour 4, 8        nearest-colour table of the 16- or 256-colour palette
//   colour 12, 16      channels truncated to 4-4-4 or 5-6-5 bits
//   colour 24, 32      blue, green, red (32: then 0, or the alpha value)
// Row padding is filled with 1 bits, as the converter does.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/Bitmap.h"
#include "mbm/MbmFormat.h"
#include "mbm/MbmWriter.h"
#include "mbm/Palette.h"

namespace vexaro::mbm {

struct DepthOption {
    int bitsPerPixel = 2;
    bool colour = false;
    bool alpha = false; // 32-bit colour with an alpha channel (colour mode 2)
    friend bool operator==(const DepthOption&, const DepthOption&) = default;
};

// Grey 1, 2, 4, 8; colour 4, 8, 12, 16, 24, 32; alpha only with colour 32.
bool IsValidDepthOption(const DepthOption& option);

// The converter's grey remap (see above).
Rgb RemapGrey(Rgb colour);

// Makes the rows of one MBM bitmap from a picture one at a time, so that the bitmap can be
// encoded without being held whole. Works on the picture's own pixel layout: channels and
// palettes go through tables made once, never through a per-pixel colour lookup.
class RowReducer {
public:
    // `source` (and `alpha`) must outlive the reducer; `inverse256` picks the 8-bit colour
    // indices. With option.alpha, `alpha` must be an 8-bit paletted picture of the same size
    // whose indices are the alpha values. Throws vexaro::Error for an invalid option or a
    // missing or unfit alpha picture.
    RowReducer(const PixelRows& source, const DepthOption& option,
               const InverseTable256& inverse256 = StandardInverse256(), const PixelRows* alpha = nullptr);

    int width() const { return source_.width; }
    int height() const { return source_.height; }
    int bitsPerPixel() const { return option_.bitsPerPixel; }
    std::uint32_t colourMode() const { return option_.alpha ? kColourAlpha : option_.colour ? kColour : kGrey; }
    std::size_t stride() const { return stride_; }

    // Writes row y, stride() bytes with its padding, to `out`.
    void row(int y, std::uint8_t* out);

private:
    // The source row y as blue, green, red bytes (not yet remapped).
    const std::uint8_t* sourceBgr(int y);
    void buildChannelTables();
    bool wordsAreTheTargets() const;
    void indexedRow(const std::uint8_t* bgr, std::uint8_t* out) const;
    void colourRow(const std::uint8_t* bgr, int y, std::uint8_t* out) const;

    PixelRows source_;
    DepthOption option_;
    const InverseTable256& inverse256_;
    const PixelRows* alpha_;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> bgr_; // one converted source row
    std::array<std::array<std::uint8_t, 3>, 256> paletteBgr_{};
    // 16- and 32-bit sources: per channel, its value to 8 bits (channels up to 16 bits wide).
    struct Channel {
        std::uint32_t mask = 0;
        int shift = 0;
        std::vector<std::uint8_t> table;
    };
    std::array<Channel, 3> channels_{}; // red, green, blue
    bool tabled_ = false;
    bool copy16_ = false; // 16-bit source whose words are the target's
};

// Pixels of `source` at `option`'s depth; colour mode 0 for grey, 1 for colour, 2 for alpha.
// Twips are left 0. Throws as RowReducer does.
MbmImage ReduceBitmap(const Bitmap& source, const DepthOption& option,
                      const InverseTable256& inverse256 = StandardInverse256(), const Bitmap* alpha = nullptr);

// Twips for `pixels` at `pixelsPerMetre`: floor(floor(pixels * 1440000 / 254) / ppm), or 0
// when the resolution is not positive.
int TwipsFor(int pixels, std::int32_t pixelsPerMetre);

// Adds the bitmap `reducer` makes as the next bitmap of `writer`, as the converter's compile adds
// each source: its size, depth and colour mode, and twips for the source picture's resolution in
// pixels per metre (0 where the picture has none). Throws as MbmFileWriter::add does.
void AddReducedBitmap(MbmFileWriter& writer, RowReducer& reducer, std::int32_t ppmX, std::int32_t ppmY);

} // namespace vexaro::mbm
