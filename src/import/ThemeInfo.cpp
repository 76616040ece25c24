#include "import/ThemeInfo.h"

#include <algorithm>
#include <cstdio>

#include "tool/FieldDefaults.h"

namespace vexaro {

namespace {

// A field's row shows this many of its candidates; --json lists them all.
constexpr std::size_t kShownCandidates = 5;

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

std::string CompressionName(std::uint32_t compression)
{
    static const char* const names[] = {"none", "byte-rle", "rle12", "rle16", "rle24", "rle32", "rle32-alpha"};
    if (compression < std::size(names))
        return names[compression];
    return "code " + std::to_string(compression);
}

std::string ModeName(std::uint32_t colourMode)
{
    static const char* const names[] = {"grey", "colour", "alpha", "premultiplied-alpha"};
    return colourMode < std::size(names) ? names[colourMode] : "mode " + std::to_string(colourMode);
}

std::string Padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

// The depth, and the colour mode when it is not the usual colour.
std::string DepthText(const BitmapFacts& b)
{
    std::string text = std::to_string(b.bitsPerPixel);
    if (const std::string mode = ModeName(b.colourMode); mode != "colour")
        text.append(" ").append(mode);
    return text;
}

std::string BitmapTable(const std::vector<BitmapFacts>& bitmaps)
{
    std::string text = "number  size        depth      compression  bytes\n";
    for (const BitmapFacts& b : bitmaps) {
        std::string line = Padded(BitmapNumberText(b.number), 8) + Padded(SizeText(b.width, b.height), 12) +
                           Padded(DepthText(b), 11) + Padded(CompressionName(b.compression), 13) +
                           std::to_string(b.bytes);
        if (!b.fault.empty())
            line += "  cannot be unpacked: " + b.fault;
        text += line + "\n";
    }
    return text;
}

// What keeps a field's bitmap from serving it.
std::string Unfit(const BitmapFacts& b)
{
    if (b.mask)
        return ", a mask";
    if (b.colourMode == 0)
        return ", grey";
    return "";
}

std::string FieldRow(const ThemeFacts& facts, const FieldFacts& f)
{
    std::string area = FieldName(f.field);
    if (f.expected)
        area.append(" ").append(SizeText(f.expected->width, f.expected->height));
    std::string line = Padded(std::to_string(f.field), 7) + Padded(area, 30) + Padded(f.text.empty() ? "-" : f.text, 7);
    if (f.bitmap < 0)
        return line + (f.text.empty() ? "empty field" : "names no numbered bitmap");
    if (!f.exists)
        return line + "missing";
    const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
    line += Padded("there", 9) + SizeText(b.width, b.height) + Unfit(b);
    if (f.expected && PixelSize{b.width, b.height} != *f.expected)
        line += ", not " + SizeText(f.expected->width, f.expected->height);
    return line;
}

// "010 176x144", "140 44x29 (mask 141)".
std::string CandidateText(const ThemeFacts& facts, int number)
{
    const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(number)];
    std::string text = BitmapNumberText(number) + " " + SizeText(b.width, b.height);
    if (b.maskCompanion >= 0)
        text += " (mask " + BitmapNumberText(b.maskCompanion) + ")";
    return text;
}

std::string CandidateRow(const ThemeFacts& facts, const FieldFacts& f)
{
    std::string line = "  field " + std::to_string(f.field) + ", " + FieldName(f.field);
    if (f.expected)
        line += " " + SizeText(f.expected->width, f.expected->height) + ": ";
    else if (f.wanted)
        line += " (" + SizeText(f.wanted->width, f.wanted->height) + " like the theme's other icons): ";
    else
        line += " (up to " + SizeText(kLargestIcon.width, kLargestIcon.height) + "): ";
    if (f.candidates.empty())
        return line + "none";
    for (std::size_t i = 0; i < f.candidates.size() && i < kShownCandidates; ++i)
        line += (i == 0 ? "" : ", ") + CandidateText(facts, f.candidates[i]);
    return line + (f.candidates.size() > kShownCandidates ? ", ..." : "");
}

// Where a byte sequence that is no UTF-8 starts in `text` at `i`: the length of the valid
// character there, or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned lead = at(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned c = at(i + k);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

bool IsUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

} // namespace

// A JSON string of `text`; bytes that are no UTF-8 become U+FFFD.
std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        const auto u = static_cast<unsigned char>(text[i]);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (u == '"' || u == '\\') {
            out += '\\';
            out += text[i];
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

namespace {

// `"key": "text"`, and when the text is no UTF-8 also `"key_hex": "its bytes"`.
std::string JsonText(const std::string& key, const std::string& text)
{
    std::string out = "\"" + key + "\": " + JsonString(text);
    if (IsUtf8(text))
        return out;
    out += ", \"" + key + "_hex\": \"";
    for (const char c : text) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
        out += hex;
    }
    return out + "\"";
}

std::string SizeJson(int width, int height)
{
    return "\"width\": " + std::to_string(width) + ", \"height\": " + std::to_string(height);
}

std::string BitmapJson(const BitmapFacts& b)
{
    std::string text =
        "{\"number\": " + std::to_string(b.number) + ", " + SizeJson(b.width, b.height) +
        ", \"bpp\": " + std::to_string(b.bitsPerPixel) + ", \"mode\": " + JsonString(ModeName(b.colourMode)) +
        ", \"compression\": " + JsonString(CompressionName(b.compression)) + ", \"bytes\": " + std::to_string(b.bytes);
    if (b.mask)
        text += ", \"mask\": true";
    if (!b.fault.empty())
        text += ", \"fault\": " + JsonString(b.fault);
    return text + "}";
}

std::string CandidateJson(const ThemeFacts& facts, int number)
{
    const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(number)];
    std::string text = "{\"number\": " + std::to_string(number) + ", " + SizeJson(b.width, b.height);
    if (b.maskCompanion >= 0)
        text += ", \"mask\": " + std::to_string(b.maskCompanion);
    return text + "}";
}

std::string FieldJson(const ThemeFacts& facts, const FieldFacts& f)
{
    std::string text = "{\"field\": " + std::to_string(f.field) + ", \"name\": " + JsonString(FieldName(f.field)) +
                       ", " + JsonText("text", f.text) +
                       ", \"bitmap\": " + (f.bitmap < 0 ? std::string("null") : std::to_string(f.bitmap)) +
                       ", \"exists\": " + (f.exists ? "true" : "false");
    if (f.exists) {
        const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
        text += ", " + SizeJson(b.width, b.height);
    }
    if (f.expected)
        text += ", \"expected\": {" + SizeJson(f.expected->width, f.expected->height) + "}";
    text += std::string(", \"fits\": ") + (f.fits ? "true" : "false") + ", \"suggestions\": [";
    if (!f.fits)
        for (std::size_t i = 0; i < f.candidates.size(); ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(f.candidates[i]);
    text += "], \"candidates\": [";
    for (std::size_t i = 0; i < f.candidates.size(); ++i)
        text += (i == 0 ? "" : ", ") + CandidateJson(facts, f.candidates[i]);
    return text + "]}";
}

} // namespace

std::string FactsText(const ThemeFacts& facts)
{
    std::string text =
        facts.name + ": " + std::to_string(facts.bitmaps.size()) + " bitmaps\n\n" + BitmapTable(facts.bitmaps);
    text.append("\n")
        .append(Padded("field", 7))
        .append(Padded("area", 30))
        .append(Padded("text", 7))
        .append("bitmap\n");
    for (const FieldFacts& f : facts.fields)
        text += FieldRow(facts, f) + "\n";
    std::string rows;
    for (const FieldFacts& f : facts.fields)
        if (!f.fits)
            rows += CandidateRow(facts, f) + "\n";
    if (rows.empty())
        return text + "\nEvery field names a bitmap that fits.\n";
    text += "\nBitmaps that would serve, best first:\n" + rows;
    if (!facts.setLine.empty())
        text += "\n" + facts.setLine + "\n";
    return text;
}

std::string FactsJson(const ThemeFacts& facts)
{
    std::string text = "{\n  \"format\": 1,\n  " + JsonText("file", facts.name) + ",\n  \"bitmaps\": [";
    for (std::size_t i = 0; i < facts.bitmaps.size(); ++i)
        text += (i == 0 ? "\n    " : ",\n    ") + BitmapJson(facts.bitmaps[i]);
    text += "\n  ],\n  \"fields\": [";
    for (std::size_t i = 0; i < facts.fields.size(); ++i)
        text += (i == 0 ? "\n    " : ",\n    ") + FieldJson(facts, facts.fields[i]);
    return text + "\n  ],\n  \"set\": " + JsonString(facts.setLine) + "\n}\n";
}

std::string SizeAndDepthText(const BitmapFacts& b) { return SizeText(b.width, b.height) + " " + DepthText(b); }

std::string ErrorJson(const std::string& message)
{
    return "{\n  \"format\": 1,\n  " + JsonText("error", message) + "\n}\n";
}

} // namespace vexaro
