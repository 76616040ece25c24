#include "cli/ThemeInfo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "base/Error.h"
#include "base/Files.h"
#include "cli/TemporaryFolder.h"
#include "import/SisPackage.h"
#include "mbm/MbmReader.h"
#include "tool/QuietWindow.h"
#include "base/Unicode.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

// As large a multi-bitmap file as the converter reads.
constexpr std::size_t kMaxThemeFileBytes = std::size_t{1} << 30;
// The unpacking names bitmaps 000 to 999.
constexpr int kNumberedBitmaps = 1000;
// Without an icon in the theme to go by, an icon is offered bitmaps no larger than this.
constexpr AreaSize kLargestIcon{44, 44};
// The table shows this many fitting bitmaps of a field.
constexpr std::size_t kShownSuggestions = 20;
constexpr int kFirstIconField = 4;
constexpr int kSecondFormField = 10;

const char* const kIconNames[] = {"Camera", "Organiser", "Music", "Games", "Extras", "Setup"};

std::optional<AreaSize> ExpectedSize(int field)
{
    switch (field) {
    case 1: return AreaSize{176, 44};
    case 2: return AreaSize{176, 144};
    case 3: return AreaSize{176, 20};
    default: return std::nullopt;
    }
}

std::string FieldName(int field)
{
    static const char* const areas[] = {"status area", "main area", "control area"};
    if (field < kFirstIconField)
        return areas[field - 1];
    if (field < kSecondFormField)
        return std::string(kIconNames[field - kFirstIconField]) + " icon";
    return std::string(kIconNames[field - kSecondFormField]) + " icon, second form";
}

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

// The bitmap a field's text names: the unpacking writes "NNN.bmp", three digits.
int NamedBitmap(const std::string& text)
{
    if (text.size() != 3 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return std::stoi(text);
}

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

// The size most icon fields of one form show (the first such in field order on a tie).
std::optional<AreaSize> CommonIconSize(const ThemeFacts& facts, int firstField)
{
    std::map<std::pair<int, int>, int> counts;
    std::optional<AreaSize> best;
    int bestCount = 0;
    for (int field = firstField; field < firstField + 6; ++field) {
        const FieldFacts& f = facts.fields[static_cast<std::size_t>(field - 1)];
        if (!f.exists)
            continue;
        const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
        const int count = ++counts[{b.width, b.height}];
        if (count > bestCount) {
            bestCount = count;
            best = AreaSize{b.width, b.height};
        }
    }
    return best;
}

// The size a field's bitmap should have to be offered; nothing for an icon with no other icon
// to go by.
std::optional<AreaSize> WantedSize(const ThemeFacts& facts, int field)
{
    if (field < kFirstIconField)
        return ExpectedSize(field);
    const bool first = field < kSecondFormField;
    if (auto own = CommonIconSize(facts, first ? kFirstIconField : kSecondFormField))
        return own;
    return CommonIconSize(facts, first ? kSecondFormField : kFirstIconField);
}

void Suggest(ThemeFacts& facts)
{
    std::set<int> named;
    for (const FieldFacts& f : facts.fields)
        if (f.exists)
            named.insert(f.bitmap);
    for (FieldFacts& f : facts.fields) {
        if (f.fits)
            continue;
        const std::optional<AreaSize> wanted = WantedSize(facts, f.field);
        for (const BitmapFacts& b : facts.bitmaps) {
            const bool offered = b.fault.empty() && b.number < kNumberedBitmaps && b.colourMode != mbm::kGrey &&
                                 named.count(b.number) == 0;
            const bool sized = wanted ? (AreaSize{b.width, b.height} == *wanted)
                                      : (b.width <= kLargestIcon.width && b.height <= kLargestIcon.height);
            if (offered && sized)
                f.suggestions.push_back(b.number);
        }
    }
    // One bitmap per field in the line to paste, each the first offered that no earlier field took.
    std::set<int> taken;
    for (const FieldFacts& f : facts.fields) {
        const auto pick =
            std::find_if(f.suggestions.begin(), f.suggestions.end(), [&](int n) { return taken.count(n) == 0; });
        if (pick == f.suggestions.end())
            continue;
        taken.insert(*pick);
        if (!facts.setLine.empty())
            facts.setLine += ' ';
        facts.setLine += "--set " + std::to_string(f.field) + "=" + BitmapNumberText(*pick);
    }
}

std::vector<std::uint8_t> ReadThemeBytes(const fs::path& path, const std::string& shown)
{
    FileBytes file = ReadFileCapped(path, kMaxThemeFileBytes);
    if (!file)
        throw Error("Cannot open file " + Quoted(shown) + ". " + ReadFailureReason(file, kMaxThemeFileBytes));
    return std::move(file.bytes);
}

std::vector<BitmapFacts> ReadNamedFacts(std::span<const std::uint8_t> bytes, const std::string& shown)
{
    try {
        return ReadBitmapFacts(bytes);
    } catch (const Error& e) {
        throw Error(Quoted(shown) + " is no multi-bitmap file that can be read\n" + e.what());
    }
}

std::string Padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string DepthText(const BitmapFacts& b)
{
    std::string text = std::to_string(b.bitsPerPixel);
    if (b.colourMode != mbm::kColour)
        text.append(" ").append(ModeName(b.colourMode));
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
        area += " " + SizeText(f.expected->width, f.expected->height);
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

std::string SuggestionRow(const ThemeFacts& facts, const FieldFacts& f)
{
    const std::optional<AreaSize> wanted = WantedSize(facts, f.field);
    std::string line = "  field " + std::to_string(f.field) + ", " + FieldName(f.field);
    if (!wanted)
        line += " (no icon to go by: up to " + SizeText(kLargestIcon.width, kLargestIcon.height) + "): ";
    else if (f.expected)
        line += ": ";
    else
        line += " (" + SizeText(wanted->width, wanted->height) + " like the theme's other icons): ";
    if (f.suggestions.empty())
        return line + "none";
    std::string numbers;
    for (std::size_t i = 0; i < f.suggestions.size() && i < kShownSuggestions; ++i)
        numbers += (i == 0 ? "" : ", ") + BitmapNumberText(f.suggestions[i]);
    if (f.suggestions.size() > kShownSuggestions)
        numbers += " and " + std::to_string(f.suggestions.size() - kShownSuggestions) + " more (--json lists all)";
    return line + numbers;
}

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

std::vector<BitmapFacts> ReadBitmapFacts(std::span<const std::uint8_t> bytes)
{
    const mbm::MbmFile file = mbm::ReadMbm(bytes);
    std::vector<BitmapFacts> facts;
    for (const mbm::MbmBitmapRecord& record : file.bitmaps) {
        BitmapFacts b;
        b.number = static_cast<int>(record.index);
        b.width = record.header.width;
        b.height = record.header.height;
        b.bitsPerPixel = record.header.bitsPerPixel;
        b.colourMode = record.header.colourMode;
        b.compression = record.header.compression;
        b.bytes = record.header.size;
        b.fault = record.fault;
        if (b.fault.empty()) {
            try {
                (void)mbm::DecodeBitmap(bytes, record);
            } catch (const Error& e) {
                b.fault = e.what();
            }
        }
        facts.push_back(std::move(b));
    }
    return facts;
}

ThemeFacts DescribeTheme(const std::string& name, std::vector<BitmapFacts> bitmaps, const FieldTexts& fields)
{
    ThemeFacts facts{name, std::move(bitmaps), {}, {}};
    for (int field = 1; field <= kFieldCount; ++field) {
        FieldFacts& f = facts.fields[static_cast<std::size_t>(field - 1)];
        f.field = field;
        f.text = fields[static_cast<std::size_t>(field - 1)];
        f.bitmap = NamedBitmap(f.text);
        f.exists = f.bitmap >= 0 && static_cast<std::size_t>(f.bitmap) < facts.bitmaps.size() &&
                   facts.bitmaps[static_cast<std::size_t>(f.bitmap)].fault.empty();
        f.expected = ExpectedSize(field);
        if (f.exists) {
            const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
            f.fits = !f.expected || *f.expected == AreaSize{b.width, b.height};
        }
    }
    Suggest(facts);
    return facts;
}

ThemeFacts InspectThemeFile(const std::string& file, ThemeFileType type, const FieldTexts& fields)
{
    if (type == ThemeFileType::MultiBitmap)
        return DescribeTheme(file, ReadNamedFacts(ReadThemeBytes(PathFromUtf8(file), file), file), fields);

    // The package reader passes over a file it cannot open: make sure it can be opened first.
    const FileBytes probe = ReadFileCapped(PathFromUtf8(file), 0);
    if (probe.failure == ReadFailure::CannotOpen || probe.failure == ReadFailure::NotAFile)
        throw Error("Cannot open file " + Quoted(file) + ". " + ReadFailureReason(probe, 0));
    const TemporaryFolder folder("vexaro-info");
    QuietWindow window;
    ExtractSisPackage(file, (folder.path() / "").string(), window);
    const fs::path mbm = folder.path() / "temp.mbm";
    if (!IsRegularFile(mbm))
        throw Error(Quoted(PathFromUtf8(file).filename().string()) +
                    " holds no theme bitmaps\nIt has no multi-bitmap (.mbm) file");
    return DescribeTheme(file, ReadNamedFacts(ReadThemeBytes(mbm, file + " (its multi-bitmap file)"), file), fields);
}

ThemeFacts InspectWorkspace(const Workspace& workspace, const FieldTexts& fields)
{
    const fs::path mbm = workspace.source() / "temp.mbm";
    if (!IsRegularFile(mbm))
        throw Error("No theme is open in " + Quoted(workspace.folder().string()) +
                    ": open one first, or name a theme file");
    return DescribeTheme(mbm.string(), ReadNamedFacts(ReadThemeBytes(mbm, mbm.string()), mbm.string()), fields);
}

std::string FactsText(const ThemeFacts& facts)
{
    std::string text =
        facts.name + ": " + std::to_string(facts.bitmaps.size()) + " bitmaps\n\n" + BitmapTable(facts.bitmaps);
    text += "\n" + Padded("field", 7) + Padded("area", 30) + Padded("text", 7) + "bitmap\n";
    for (const FieldFacts& f : facts.fields)
        text += FieldRow(facts, f) + "\n";
    std::string rows;
    for (const FieldFacts& f : facts.fields)
        if (!f.fits)
            rows += SuggestionRow(facts, f) + "\n";
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

} // namespace vexaro::cli
