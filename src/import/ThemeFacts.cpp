#include "import/ThemeFacts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "import/SisPackage.h"
#include "mbm/MbmColours.h"
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

bool OnlyBlackAndWhite(const mbm::MbmImage& image)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (const Rgb c = mbm::PixelColour(image, x, y); c != kBlack && c != kWhite)
                return false;
    return true;
}

bool SameSize(const BitmapFacts& a, const BitmapFacts& b) { return a.width == b.width && a.height == b.height; }

bool IsColour(const BitmapFacts& b) { return b.colourMode != mbm::kGrey; }

std::vector<BitmapFacts> FactsOf(const mbm::MbmFile& file)
{
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
        if (b.fault.empty() && !IsColour(b)) {
            BitmapFacts* before = facts.empty() ? nullptr : &facts.back();
            const bool companion = before && before->fault.empty() && IsColour(*before) && SameSize(*before, b);
            if (companion)
                before->maskCompanion = b.number;
            b.mask = companion || b.bitsPerPixel == 1;
        }
        facts.push_back(std::move(b));
    }
    return facts;
}

// Decodes bitmaps when a rule needs their pixels, each at most once, and no more pixels in all
// than a theme may unpack to.
class PixelCheck {
public:
    PixelCheck(std::span<const std::uint8_t> bytes, const mbm::MbmFile& file, std::vector<BitmapFacts>& facts)
        : bytes_(bytes), file_(file), facts_(facts)
    {
    }

    const BitmapFacts& operator[](int n)
    {
        BitmapFacts& b = facts_[static_cast<std::size_t>(n)];
        const std::uint64_t pixels = static_cast<std::uint64_t>(b.width) * static_cast<std::uint64_t>(b.height);
        if (b.decoded || !b.fault.empty() || spent_ + pixels > mbm::kMaxThemePixels)
            return b;
        spent_ += pixels;
        b.decoded = true;
        try {
            b.mask = b.mask || OnlyBlackAndWhite(mbm::DecodeBitmap(bytes_, file_.bitmaps[static_cast<std::size_t>(n)]));
        } catch (const Error& e) {
            b.fault = e.what();
        }
        return b;
    }

    // A colour picture that is no mask.
    bool usable(int n)
    {
        const BitmapFacts& b = (*this)[n];
        return b.fault.empty() && IsColour(b) && !b.mask;
    }

    // The mask that follows colour bitmap `n`: grey by its header, or of its size and only
    // black and white.
    int companion(int n)
    {
        BitmapFacts& b = facts_[static_cast<std::size_t>(n)];
        const std::size_t next = static_cast<std::size_t>(n) + 1;
        if (b.maskCompanion < 0 && next < facts_.size() && IsColour(facts_[next]) && SameSize(b, facts_[next]) &&
            (*this)[static_cast<int>(next)].mask && facts_[next].fault.empty())
            b.maskCompanion = static_cast<int>(next);
        return b.maskCompanion;
    }

private:
    std::span<const std::uint8_t> bytes_;
    const mbm::MbmFile& file_;
    std::vector<BitmapFacts>& facts_;
    std::uint64_t spent_ = 0;
};

// How well a bitmap serves a field: lower is better, compared member by member.
using Fit = std::tuple<int, double, double, int>;

bool IconSized(const BitmapFacts& b) { return b.width <= kLargestIcon.width && b.height <= kLargestIcon.height; }

Fit FitOf(const FieldFacts& f, const BitmapFacts& b)
{
    const double w = b.width, h = b.height;
    if (f.expected) {
        const double aw = f.expected->width, ah = f.expected->height;
        const int tier = (2 * w >= aw && 2 * h >= ah) ? 0 : 1;
        return {tier, std::abs(std::log((w * ah) / (h * aw))), std::abs(std::log((w * h) / (aw * ah))), b.number};
    }
    const int tier = f.wanted && *f.wanted == PixelSize{b.width, b.height} ? 0 : 1;
    return {tier, 0.0, -(w * h), b.number};
}

// The size most fitting icons of `form` have (the first such in field order on a tie).
std::optional<PixelSize> CommonIconSize(const ThemeFacts& facts, int form)
{
    std::map<std::pair<int, int>, int> counts;
    std::optional<PixelSize> best;
    int bestCount = 0;
    for (const ThemeField& field : kThemeFields) {
        const FieldFacts& f = facts.fields[static_cast<std::size_t>(field.number - 1)];
        if (field.form != form || !f.fits)
            continue;
        const BitmapFacts& b = facts.bitmaps[static_cast<std::size_t>(f.bitmap)];
        if (!IconSized(b))
            continue;
        const int count = ++counts[{b.width, b.height}];
        if (count > bestCount) {
            bestCount = count;
            best = PixelSize{b.width, b.height};
        }
    }
    return best;
}

std::vector<int> RankCandidates(const ThemeFacts& facts, const FieldFacts& f, const std::set<int>& held,
                                PixelCheck& check)
{
    std::vector<Fit> ranked;
    for (const BitmapFacts& b : facts.bitmaps) {
        const bool eligible = b.fault.empty() && b.number < kMaxUnpackedBitmaps && IsColour(b) && !b.mask &&
                              b.width > 0 && b.height > 0 && (f.expected || IconSized(b)) && held.count(b.number) == 0;
        if (eligible)
            ranked.push_back(FitOf(f, b));
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<int> candidates;
    for (const Fit& fit : ranked) {
        if (candidates.size() == kMaxCandidates)
            break;
        if (const int n = std::get<3>(fit); check.usable(n))
            candidates.push_back(n);
    }
    return candidates;
}

// Each icon that does not fit takes its best candidate that no other icon holds or took, in
// field order; then each area that does not fit its best candidate that no icon holds or took.
void ChooseSetLine(ThemeFacts& facts)
{
    std::set<int> icons;
    for (const FieldFacts& f : facts.fields)
        if (f.fits && ThemeFieldOf(f.field).isIcon())
            icons.insert(f.bitmap);
    std::map<int, int> chosen; // field -> bitmap
    for (const bool icon : {true, false})
        for (const FieldFacts& f : facts.fields) {
            if (f.fits || ThemeFieldOf(f.field).isIcon() != icon)
                continue;
            const auto pick =
                std::find_if(f.candidates.begin(), f.candidates.end(), [&](int n) { return icons.count(n) == 0; });
            if (pick == f.candidates.end())
                continue;
            chosen[f.field] = *pick;
            if (icon)
                icons.insert(*pick);
        }
    for (const auto& [field, n] : chosen) {
        if (n == facts.fields[static_cast<std::size_t>(field - 1)].bitmap)
            continue;
        if (!facts.setLine.empty())
            facts.setLine += ' ';
        facts.setLine += "--set " + std::to_string(field) + "=" + BitmapNumberText(n);
    }
}

mbm::MbmFile ReadNamedMbm(const ThemeBytes& theme)
{
    try {
        return mbm::ReadMbm(theme.mbm);
    } catch (const Error& e) {
        throw Error(UnreadableMultiBitmapMessage(theme.name, e.what()));
    }
}

} // namespace

std::vector<BitmapFacts> ReadBitmapFacts(std::span<const std::uint8_t> bytes) { return FactsOf(mbm::ReadMbm(bytes)); }

ThemeFacts DescribeTheme(const ThemeBytes& theme, const FieldTexts& fields)
{
    const mbm::MbmFile file = ReadNamedMbm(theme);
    mbm::CheckThemePixels(file, static_cast<std::size_t>(kMaxUnpackedBitmaps), theme.name);
    ThemeFacts facts{theme.name, FactsOf(file), {}, {}};
    PixelCheck check(theme.mbm, file, facts.bitmaps);
    for (const ThemeField& field : kThemeFields) {
        FieldFacts& f = facts.fields[static_cast<std::size_t>(field.number - 1)];
        f.field = field.number;
        f.text = fields[static_cast<std::size_t>(field.number - 1)];
        f.bitmap = NamedBitmap(f.text);
        if (!field.isIcon())
            f.expected = f.wanted = field.size;
        if (f.bitmap < 0 || static_cast<std::size_t>(f.bitmap) >= facts.bitmaps.size())
            continue;
        const BitmapFacts& b = check[f.bitmap];
        f.exists = b.fault.empty();
        f.fits = check.usable(f.bitmap) && (!f.expected || *f.expected == PixelSize{b.width, b.height});
    }
    for (FieldFacts& f : facts.fields) {
        const ThemeField& field = ThemeFieldOf(f.field);
        if (field.isIcon())
            if (!(f.wanted = CommonIconSize(facts, field.form)))
                f.wanted = CommonIconSize(facts, field.form == 1 ? 2 : 1);
        // An area may share its picture with another area, never with an icon.
        std::set<int> held;
        for (const FieldFacts& other : facts.fields)
            if (other.fits && other.field != f.field && (field.isIcon() || ThemeFieldOf(other.field).isIcon()))
                held.insert(other.bitmap);
        f.candidates = RankCandidates(facts, f, held, check);
        if (field.isIcon())
            for (const int n : f.candidates)
                check.companion(n);
    }
    ChooseSetLine(facts);
    return facts;
}

static_assert(kMaxThemeFileBytes == mbm::kMaxMbmFileBytes);

ThemeBytes ThemeBytesInMemory(const std::string& name, std::vector<std::uint8_t> bytes, ThemeFileType type)
{
    if (type == ThemeFileType::MultiBitmap)
        return {name, std::move(bytes)};
    std::optional<std::vector<std::uint8_t>> mbm =
        sis::ReadMultiBitmapEntry(ByteReader(ByteSource(std::span<const std::uint8_t>(bytes))), name);
    if (!mbm)
        throw Error(NoMultiBitmapMessage(name));
    return {name, std::move(*mbm)};
}

ThemeBytes ReadThemeBytes(const ByteSource& theme, ThemeFileType type, const std::string& name,
                          const std::string& fileName)
{
    if (type == ThemeFileType::MultiBitmap) {
        if (theme.size() > mbm::kMaxMbmFileBytes)
            throw Error("Cannot open file " + Quoted(name) + ". " +
                        ReadFailureReason(ReadFailure::TooLarge, 0, mbm::kMaxMbmFileBytes));
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(theme.size()));
        theme.read(0, bytes);
        return {name, std::move(bytes)};
    }
    std::optional<std::vector<std::uint8_t>> mbm = sis::ReadMultiBitmapEntry(ByteReader(theme), fileName);
    if (!mbm)
        throw Error(NoMultiBitmapMessage(fileName));
    return {name, std::move(*mbm)};
}

ThemeFacts InspectTheme(const ByteSource& theme, ThemeFileType type, const std::string& name,
                        const std::string& fileName, const FieldTexts& fields)
{
    return DescribeTheme(ReadThemeBytes(theme, type, name, fileName), fields);
}

void ForEachBitmapPicture(const ThemeBytes& theme, const std::function<void(const BitmapFacts&, const Bitmap&)>& visit)
{
    const mbm::MbmFile file = ReadNamedMbm(theme);
    const std::size_t count = std::min(file.bitmaps.size(), static_cast<std::size_t>(kMaxUnpackedBitmaps));
    mbm::CheckThemePixels(file, count, theme.name);
    std::vector<BitmapFacts> facts = FactsOf(file);
    for (std::size_t i = 0; i < count; ++i) {
        BitmapFacts& b = facts[i];
        Bitmap picture;
        if (b.fault.empty()) {
            try {
                const mbm::MbmImage image = mbm::DecodeBitmap(theme.mbm, file.bitmaps[i]);
                b.mask = b.mask || OnlyBlackAndWhite(image);
                picture = mbm::ToBitmap(image);
            } catch (const Error& e) {
                b.fault = e.what();
            }
            b.decoded = true;
        }
        visit(b, picture);
    }
}

} // namespace vexaro
