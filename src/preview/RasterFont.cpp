#include "preview/RasterFont.h"

#include <algorithm>

#include "base/ByteReader.h"
#include "base/Error.h"

namespace vexaro {

extern const unsigned char kCaptionFontImage[];
extern const std::size_t kCaptionFontImageSize;

namespace {

constexpr std::uint16_t kFontResourceType = 0x8008;
constexpr std::uint32_t kVersion2TableOffset = 0x76, kVersion3TableOffset = 0x94;
constexpr int kMaxGlyphWidth = 256, kMaxStrikeHeight = 256;
// A face holds a handful of strikes of a few kilobytes each. The caps keep a damaged or made-up
// file from asking for thousands of strikes or megabytes of glyph pixels.
constexpr std::size_t kMaxStrikes = 32;
constexpr std::uint64_t kMaxFontPixels = std::uint64_t{4} << 20;

// A FONT resource as the executable's resource table places it.
struct ResourceSpan {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The FNT header fields the captions use (see RasterStrike).
struct FntHeader {
    std::uint16_t version = 0;
    std::uint16_t ascent = 0;
    std::uint16_t weight = 0;
    std::uint16_t pixelHeight = 0;
    std::uint8_t firstChar = 0;
    std::uint8_t lastChar = 0;
    std::uint8_t defaultChar = 0;
};

class FontError {
public:
    explicit FontError(std::string name) : name_(std::move(name)) {}
    [[noreturn]] void fail(const std::string& what) const { throw Error("Font \"" + name_ + "\" is damaged: " + what); }

private:
    std::string name_;
};

template <typename T>
T Need(const std::optional<T>& value, const FontError& error, const std::string& what)
{
    if (!value)
        error.fail(what + " lies outside the file");
    return *value;
}

// "MZ" header -> "NE" header -> resource table -> the FONT resources.
std::vector<ResourceSpan> FontResources(const ByteReader& file, const FontError& error)
{
    if (Need(file.u16(0), error, "the executable header") != 0x5A4D)
        error.fail("no executable header");
    const std::uint64_t ne = Need(file.u32(0x3C), error, "the executable header");
    if (Need(file.u16(ne), error, "the NE header") != 0x454E)
        error.fail("no NE header");
    const std::uint64_t table = ne + Need(file.u16(ne + 0x24), error, "the NE header");
    const unsigned shift = Need(file.u16(table), error, "the resource table");
    if (shift > 16)
        error.fail("resource alignment shift " + std::to_string(shift));

    std::vector<ResourceSpan> fonts;
    std::uint64_t at = table + 2;
    for (int types = 0;; ++types) {
        const std::uint16_t type = Need(file.u16(at), error, "the resource table");
        if (type == 0)
            break;
        if (types > 64)
            error.fail("resource table without an end");
        const std::uint16_t count = Need(file.u16(at + 2), error, "the resource table");
        at += 8;
        for (std::uint16_t i = 0; i < count; ++i, at += 12) {
            const std::uint64_t offset = std::uint64_t{Need(file.u16(at), error, "the resource table")} << shift;
            const std::uint64_t length = std::uint64_t{Need(file.u16(at + 2), error, "the resource table")} << shift;
            if (type != kFontResourceType)
                continue;
            if (fonts.size() == kMaxStrikes)
                error.fail("more than " + std::to_string(kMaxStrikes) + " strikes");
            fonts.push_back({offset, length});
        }
    }
    if (fonts.empty())
        error.fail("no FONT resources");
    return fonts;
}

FntHeader ReadFntHeader(const ByteReader& fnt, const FontError& error)
{
    FntHeader h;
    h.version = Need(fnt.u16(0), error, "the font header");
    h.ascent = Need(fnt.u16(0x4A), error, "the font header");
    h.weight = Need(fnt.u16(0x53), error, "the font header");
    h.pixelHeight = Need(fnt.u16(0x58), error, "the font header");
    const auto chars = Need(fnt.bytes(0x5F, 3), error, "the font header");
    h.firstChar = chars[0];
    h.lastChar = chars[1];
    h.defaultChar = chars[2];
    return h;
}

void CheckFntHeader(const FntHeader& h, const FontError& error)
{
    if (h.version != 0x200 && h.version != 0x300)
        error.fail("font version " + std::to_string(h.version));
    if (h.pixelHeight == 0 || h.pixelHeight > kMaxStrikeHeight)
        error.fail("glyph height " + std::to_string(h.pixelHeight));
    if (h.ascent > h.pixelHeight)
        error.fail("ascent " + std::to_string(h.ascent) + " above the glyph height");
    if (h.lastChar < h.firstChar)
        error.fail("last character before the first");
    if (h.defaultChar > h.lastChar - h.firstChar)
        error.fail("default character outside the font");
}

RasterStrike ReadStrike(const ByteReader& file, const ResourceSpan& span, int index, std::uint64_t& pixels,
                        const FontError& fileError)
{
    const auto resource = file.bytes(span.offset, span.length);
    const std::string where = "strike " + std::to_string(index);
    if (!resource)
        fileError.fail(where + " lies outside the file");
    const ByteReader fnt(*resource);
    const FontError error(fileError);
    const FntHeader h = ReadFntHeader(fnt, error);
    CheckFntHeader(h, error);

    RasterStrike strike;
    strike.height = h.pixelHeight;
    strike.ascent = h.ascent;
    strike.weight = h.weight;
    strike.firstChar = h.firstChar;
    strike.defaultChar = h.defaultChar;
    const bool version3 = h.version == 0x300;
    const std::uint64_t entrySize = version3 ? 6 : 4;
    std::uint64_t entry = version3 ? kVersion3TableOffset : kVersion2TableOffset;
    for (int c = h.firstChar; c <= h.lastChar; ++c, entry += entrySize) {
        const std::string glyphName = where + ": glyph " + std::to_string(c);
        RasterGlyph glyph;
        glyph.width = Need(fnt.u16(entry), error, glyphName + " entry");
        const std::uint64_t offset = version3 ? std::uint64_t{Need(fnt.u32(entry + 2), error, glyphName + " entry")}
                                              : std::uint64_t{Need(fnt.u16(entry + 2), error, glyphName + " entry")};
        if (glyph.width > kMaxGlyphWidth)
            error.fail(glyphName + " is " + std::to_string(glyph.width) + " pixels wide");
        pixels += static_cast<std::uint64_t>(glyph.width) * static_cast<std::uint64_t>(strike.height);
        if (pixels > kMaxFontPixels)
            error.fail("more than " + std::to_string(kMaxFontPixels) + " glyph pixels in all");
        const std::uint64_t columns = (static_cast<std::uint64_t>(glyph.width) + 7) / 8;
        const auto bits = fnt.bytes(offset, columns * strike.height);
        if (!bits)
            error.fail(glyphName + " lies outside the resource");
        glyph.rows.assign(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(strike.height), 0);
        for (int y = 0; y < strike.height; ++y)
            for (int x = 0; x < glyph.width; ++x) {
                const std::uint8_t byte =
                    (*bits)[static_cast<std::size_t>(x / 8) * static_cast<std::size_t>(strike.height) +
                            static_cast<std::size_t>(y)];
                glyph.rows[static_cast<std::size_t>(y * glyph.width + x)] = (byte >> (7 - x % 8)) & 1;
            }
        strike.glyphs.push_back(std::move(glyph));
    }
    return strike;
}

bool DoubleStrike(const RasterStrike& strike, const CaptionStyle& style) { return style.bold && strike.weight < 600; }

} // namespace

const RasterGlyph& RasterStrike::glyph(unsigned char c) const
{
    const int index = c - firstChar;
    if (index < 0 || index >= static_cast<int>(glyphs.size()))
        return glyphs[static_cast<std::size_t>(defaultChar)];
    return glyphs[static_cast<std::size_t>(index)];
}

const RasterStrike& RasterFont::strikeFor(int cellHeight) const
{
    const RasterStrike* best = nullptr;
    const RasterStrike* shortest = &strikes.front();
    for (const RasterStrike& s : strikes) {
        if (s.height <= cellHeight && (!best || s.height > best->height))
            best = &s;
        if (s.height < shortest->height)
            shortest = &s;
    }
    return best ? *best : *shortest;
}

RasterFont ReadRasterFont(std::span<const std::uint8_t> bytes, const std::string& name)
{
    const ByteReader file(bytes);
    const FontError error(name);
    RasterFont font;
    int index = 0;
    std::uint64_t pixels = 0;
    for (const ResourceSpan& span : FontResources(file, error))
        font.strikes.push_back(ReadStrike(file, span, ++index, pixels, error));
    return font;
}

std::span<const std::uint8_t> CaptionFontFile() { return {kCaptionFontImage, kCaptionFontImageSize}; }

const RasterFont& CaptionFont()
{
    static const RasterFont font = ReadRasterFont(CaptionFontFile(), "sserife.fon");
    return font;
}

int CaptionWidth(const std::string& text, const CaptionStyle& style)
{
    const RasterStrike& strike = CaptionFont().strikeFor(style.cellHeight);
    const int extra = DoubleStrike(strike, style) ? 1 : 0;
    int width = 0;
    for (const char c : text)
        width += strike.glyph(static_cast<unsigned char>(c)).width + extra;
    return width;
}

void DrawCaption(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style)
{
    const RasterStrike& strike = CaptionFont().strikeFor(style.cellHeight);
    const bool twice = DoubleStrike(strike, style);
    const int width = CaptionWidth(text, style);
    const int height = style.cellHeight;
    const int left = std::max(x, 0), right = std::min(x + width, picture.width());
    const int top = std::max(y, 0), bottom = std::min(y + height, picture.height());
    for (int py = top; py < bottom; ++py)
        for (int px = left; px < right; ++px)
            picture.setPixel(px, py, style.background);

    const int rows = std::min(strike.height, height);
    int pen = x;
    for (const char c : text) {
        const RasterGlyph& g = strike.glyph(static_cast<unsigned char>(c));
        for (int gy = 0; gy < rows; ++gy) {
            const int py = y + gy;
            if (py < top || py >= bottom)
                continue;
            for (int gx = 0; gx < g.width; ++gx) {
                if (!g.rows[static_cast<std::size_t>(gy * g.width + gx)])
                    continue;
                for (int copy = 0; copy <= (twice ? 1 : 0); ++copy) {
                    const int px = pen + gx + copy;
                    if (px >= left && px < right)
                        picture.setPixel(px, py, style.text);
                }
            }
        }
        pen += g.width + (twice ? 1 : 0);
    }
}

} // namespace vexaro
