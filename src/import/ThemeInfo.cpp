#include "import/ThemeInfo.h"

#include <cstdio>

#include "tool/FieldDefaults.h"

namespace vexaro {

namespace {

// The table shows this many fitting bitmaps of a field.
constexpr std::size_t kShownSuggestions = 20;

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
    line += Padded("there", 9) + SizeText(b.width, b.height);
    if (f.expected && !f.fits)
        line += ", not " + SizeText(f.expected->width, f.expected->height);
    return line;
}

std::string SuggestionRow(const FieldFacts& f)
{
    std::string line = "  field " + std::to_string(f.field) + ", " + FieldName(f.field);
    if (!f.wanted)
        line += " (no icon to go by: up to " + SizeText(kLargestIcon.width, kLargestIcon.height) + "): ";
    else if (f.expected)
        line += ": ";
    else
        line += " (" + SizeText(f.wanted->width, f.wanted->height) + " like the theme's other icons): ";
    if (f.suggestions.empty())
        return line + "none";
    std::string numbers;
    for (std::size_t i = 0; i < f.suggestions.size() && i < kShownSuggestions; ++i)
        numbers += (i == 0 ? "" : ", ") + BitmapNumberText(f.suggestions[i]);
    if (f.suggestions.size() > kShownSuggestions)
        numbers += " and " + std::to_string(f.suggestions.size() - kShownSuggestions) + " more (--json lists all)";
    return line + numbers;
}

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

std::string BitmapJson(const BitmapFacts& b)
{
    std::string text = "{\"number\": " + std::to_string(b.number) + ", \"width\": " + std::to_string(b.width) +
                       ", \"height\": " + std::to_string(b.height) + ", \"bpp\": " + std::to_string(b.bitsPerPixel) +
                       ", \"mode\": " + JsonString(ModeName(b.colourMode)) +
                       ", \"compression\": " + JsonString(CompressionName(b.compression)) +
                       ", \"bytes\": " + std::to_string(b.bytes);
    if (!b.fault.empty())
        text += ", \"fault\": " + JsonString(b.fault);
    return text + "}";
}

std::string FieldJson(const ThemeFacts& facts, const FieldFacts& f)
{
    std::string text = "{\"field\": " + std::to_string(f.field) + ", \"name\": " + JsonString(FieldName(f.field)) +
                       ", \"text\": " + JsonString(f.text) +
                       ", \"bitmap\": " + (f.bitmap < 0 ? std::string("null") : std::to_string(f.bitmap)) +
                       ", \"exists\": " + (f.exists ? "true" : "false");
    if (f.exists) {
        const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
        text += ", \"width\": " + std::to_string(b.width) + ", \"height\": " + std::to_string(b.height);
    }
    if (f.expected)
        text += ", \"expected\": {\"width\": " + std::to_string(f.expected->width) +
                ", \"height\": " + std::to_string(f.expected->height) + "}";
    text += std::string(", \"fits\": ") + (f.fits ? "true" : "false") + ", \"suggestions\": [";
    for (std::size_t i = 0; i < f.suggestions.size(); ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(f.suggestions[i]);
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
            rows += SuggestionRow(f) + "\n";
    if (rows.empty())
        return text + "\nEvery field names a bitmap that fits.\n";
    text += "\nBitmaps that would fit:\n" + rows;
    if (!facts.setLine.empty())
        text += "\n" + facts.setLine + "\n";
    return text;
}

std::string FactsJson(const ThemeFacts& facts)
{
    std::string text = "{\n  \"file\": " + JsonString(facts.name) + ",\n  \"bitmaps\": [";
    for (std::size_t i = 0; i < facts.bitmaps.size(); ++i)
        text += (i == 0 ? "\n    " : ",\n    ") + BitmapJson(facts.bitmaps[i]);
    text += "\n  ],\n  \"fields\": [";
    for (std::size_t i = 0; i < facts.fields.size(); ++i)
        text += (i == 0 ? "\n    " : ",\n    ") + FieldJson(facts, facts.fields[i]);
    return text + "\n  ],\n  \"set\": " + JsonString(facts.setLine) + "\n}\n";
}

} // namespace vexaro
