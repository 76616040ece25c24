#include "import/ThemeFacts.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "import/SisPackage.h"
#include "mbm/MbmFormat.h"
#include "mbm/MbmReader.h"

namespace vexaro {

namespace {

// The bitmap a field's text names: the unpacking writes "NNN.bmp", three digits.
int NamedBitmap(const std::string& text)
{
    if (text.size() != 3 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return std::stoi(text);
}

// The size most icon fields of `form` show (the first such in field order on a tie).
std::optional<PixelSize> CommonIconSize(const ThemeFacts& facts, int form)
{
    std::map<std::pair<int, int>, int> counts;
    std::optional<PixelSize> best;
    int bestCount = 0;
    for (const ThemeField& field : kThemeFields) {
        const FieldFacts& f = facts.fields[static_cast<std::size_t>(field.number - 1)];
        if (field.form != form || !f.exists)
            continue;
        const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
        const int count = ++counts[{b.width, b.height}];
        if (count > bestCount) {
            bestCount = count;
            best = PixelSize{b.width, b.height};
        }
    }
    return best;
}

// The size a field's bitmap should have to be offered; nothing for an icon with no other icon
// to go by.
std::optional<PixelSize> WantedSize(const ThemeFacts& facts, const ThemeField& field)
{
    if (!field.isIcon())
        return field.size;
    if (auto own = CommonIconSize(facts, field.form))
        return own;
    return CommonIconSize(facts, field.form == 1 ? 2 : 1);
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
        f.wanted = WantedSize(facts, ThemeFieldOf(f.field));
        for (const BitmapFacts& b : facts.bitmaps) {
            const bool offered = b.fault.empty() && b.number < kMaxUnpackedBitmaps && b.colourMode != mbm::kGrey &&
                                 named.count(b.number) == 0;
            const bool sized = f.wanted ? (PixelSize{b.width, b.height} == *f.wanted)
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

std::vector<BitmapFacts> ReadNamedFacts(const ByteReader& mbm, const std::string& shown)
{
    try {
        return ReadBitmapFacts(mbm);
    } catch (const Error& e) {
        throw Error(Quoted(shown) + " is no multi-bitmap file that can be read\n" + e.what());
    }
}

} // namespace

std::vector<BitmapFacts> ReadBitmapFacts(const ByteReader& mbm)
{
    const mbm::MbmFile file = mbm::ReadMbm(mbm);
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
                (void)mbm::DecodeBitmap(mbm, record);
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
    for (const ThemeField& field : kThemeFields) {
        FieldFacts& f = facts.fields[static_cast<std::size_t>(field.number - 1)];
        f.field = field.number;
        f.text = fields[static_cast<std::size_t>(field.number - 1)];
        f.bitmap = NamedBitmap(f.text);
        f.exists = f.bitmap >= 0 && static_cast<std::size_t>(f.bitmap) < facts.bitmaps.size() &&
                   facts.bitmaps[static_cast<std::size_t>(f.bitmap)].fault.empty();
        if (!field.isIcon())
            f.expected = field.size;
        if (f.exists) {
            const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
            f.fits = !f.expected || *f.expected == PixelSize{b.width, b.height};
        }
    }
    Suggest(facts);
    return facts;
}

ThemeFacts InspectTheme(const ByteSource& theme, ThemeFileType type, const std::string& name,
                        const std::string& fileName, const FieldTexts& fields)
{
    if (type == ThemeFileType::MultiBitmap) {
        if (theme.size() > mbm::kMaxMbmFileBytes)
            throw Error("Cannot open file " + Quoted(name) + ". " +
                        ReadFailureReason(ReadFailure::TooLarge, 0, mbm::kMaxMbmFileBytes));
        return DescribeTheme(name, ReadNamedFacts(ByteReader(theme), name), fields);
    }
    const std::optional<std::vector<std::uint8_t>> mbm = sis::ReadMultiBitmapEntry(ByteReader(theme), fileName);
    if (!mbm)
        throw Error(NoThemeBitmapsMessage(fileName));
    return DescribeTheme(name, ReadNamedFacts(ByteReader(*mbm), name), fields);
}

} // namespace vexaro
