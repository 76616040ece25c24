#include "import/UnpackedTheme.h"

#include <algorithm>
#include <cctype>

#include "base/Error.h"
#include "import/SisPackage.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmFormat.h"
#include "mbm/MbmReader.h"

namespace vexaro {

namespace {

// The numbered file a field's text names: its bitmap, and whether it is the alpha companion.
struct NumberedFile {
    int number = -1;
    bool alpha = false;
};

std::optional<NumberedFile> NumberedFileOf(const std::string& fieldText)
{
    const int number = NumberedFileNumber(fieldText + ".bmp");
    if (number < 0)
        return std::nullopt;
    return NumberedFile{number, fieldText.size() > 3};
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

} // namespace

std::optional<MbmBitmapCount> ReadMbmBitmapCount(const ByteReader& mbm)
{
    try {
        const std::optional<std::uint32_t> position = mbm.u32(kMbmTablePositionOffset);
        const std::optional<std::uint32_t> count = position ? mbm.u32(*position) : std::nullopt;
        if (!count)
            return std::nullopt;
        return MbmBitmapCount{*position, static_cast<std::int32_t>(*count)};
    } catch (const Error&) {
        return std::nullopt; // a read that failed: damaged, as a file too short
    }
}

bool OpenOutcome::complete() const
{
    return !damaged && lost.empty() && announced <= kMaxUnpackedBitmaps && converterMessages.empty();
}

std::string OpenOutcome::problems() const
{
    std::string text;
    auto line = [&](const std::string& l) { text += (text.empty() ? "" : "\n") + l; };
    if (!lost.empty()) {
        std::string numbers;
        for (std::size_t i = 0; i < lost.size() && i < 20; ++i)
            numbers += (i == 0 ? "" : ", ") + BitmapNumberText(lost[i]);
        if (lost.size() > 20)
            numbers += " and " + std::to_string(lost.size() - 20) + " more";
        line(std::to_string(lost.size()) + " of " + std::to_string(std::min(announced, kMaxUnpackedBitmaps)) +
             " bitmaps could not be unpacked: " + numbers);
    }
    if (!converterMessages.empty())
        line(converterMessages);
    if (announced > kMaxUnpackedBitmaps)
        line("Bitmaps " + std::to_string(kMaxUnpackedBitmaps) + " to " + std::to_string(announced - 1) +
             " were not unpacked: numbered names stop at 999");
    return text;
}

int NumberedFileNumber(const std::string& name)
{
    const bool plain = name.size() == 7 && name.ends_with(".bmp");
    const bool alpha = name.size() == 13 && name.ends_with("-alpha.bmp");
    if ((!plain && !alpha) ||
        !std::all_of(name.begin(), name.begin() + 3, [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return (name[0] - '0') * 100 + (name[1] - '0') * 10 + (name[2] - '0');
}

std::string NoThemeBitmapsMessage(const std::string& fileName)
{
    return Quoted(fileName) + " holds no theme bitmaps\nIt has no multi-bitmap (.mbm) file";
}

UnpackedTheme::UnpackedTheme(const ByteSource& theme, ThemeFileType type, const std::string& fileName,
                             const FieldTexts& fields)
{
    if (type == ThemeFileType::MultiBitmap) {
        unpack(ByteReader(theme), fileName, fields);
        return;
    }
    std::optional<std::vector<std::uint8_t>> entry = sis::ReadMultiBitmapEntry(ByteReader(theme), fileName);
    if (!entry)
        throw Error(NoThemeBitmapsMessage(fileName));
    extracted_ = std::move(*entry);
    unpack(ByteReader(extracted_), fileName, fields);
}

// As the unpacking job and the converter's decompile go: the count read from the header names
// the files, every bitmap of the table up to that count is decoded, and each one that does not
// decode, or that the table does not hold, is told in the converter's words.
void UnpackedTheme::unpack(const ByteReader& mbm, const std::string& fileName, const FieldTexts& fields)
{
    const std::optional<MbmBitmapCount> count = ReadMbmBitmapCount(mbm);
    if (!count)
        throw Error(kDamagedMessage);
    outcome_.announced = std::max(count->count, 0);
    const int named = std::min(outcome_.announced, kMaxUnpackedBitmaps);

    std::vector<std::string> messages;
    std::size_t decodable = 0; // bitmaps of the table that get a file name
    mbm::MbmFile file;
    bool tableRead = false;
    if (mbm.size() > mbm::kMaxMbmFileBytes) {
        messages.push_back(Quoted(kUnpackSource) + " is larger than " + std::to_string(mbm::kMaxMbmFileBytes) +
                           " bytes");
    } else {
        try {
            file = mbm::ReadMbm(mbm);
            tableRead = true;
            decodable = std::min(file.bitmaps.size(), static_cast<std::size_t>(named));
        } catch (const Error& e) {
            messages.push_back(Quoted(kUnpackSource) + ": " + e.what());
        }
    }
    if (tableRead)
        mbm::CheckThemePixels(file, static_cast<std::size_t>(named), fileName);

    std::map<int, std::vector<std::string>> wanted; // bitmap number -> the field texts naming it
    for (const std::string& text : fields)
        if (const std::optional<NumberedFile> numbered = NumberedFileOf(text))
            wanted[numbered->number].push_back(text);

    for (std::size_t k = 0; k < decodable; ++k) {
        const int number = static_cast<int>(k);
        mbm::MbmImage image;
        try {
            image = mbm::DecodeBitmap(mbm, file.bitmaps[k]);
        } catch (const Error& e) {
            messages.push_back(Quoted(kUnpackSource) + ": " + e.what() + "; " +
                               Quoted(kUnpackFolder + BitmapNumberText(number) + ".bmp") + " not written");
            outcome_.lost.push_back(number);
            continue;
        }
        const auto texts = wanted.find(number);
        if (texts == wanted.end())
            continue;
        const bool pixels = image.width > 0 && image.height > 0;
        for (const std::string& text : texts->second) {
            if (!NumberedFileOf(text)->alpha)
                pictures_[text] = pixels ? std::optional<Bitmap>(mbm::ToBitmap(image)) : std::nullopt;
            else if (mbm::HasAlphaChannel(image))
                pictures_[text] = pixels ? std::optional<Bitmap>(mbm::AlphaBitmap(image)) : std::nullopt;
        }
    }
    if (tableRead && file.bitmaps.size() < static_cast<std::size_t>(named))
        messages.push_back(Quoted(kUnpackSource) + " holds " + std::to_string(file.bitmaps.size()) + " bitmaps but " +
                           std::to_string(named) + " output files are named; the last " +
                           std::to_string(static_cast<std::size_t>(named) - file.bitmaps.size()) + " were not written");
    for (int number = static_cast<int>(decodable); number < named; ++number)
        outcome_.lost.push_back(number);
    outcome_.unpacked = named - static_cast<int>(outcome_.lost.size());
    outcome_.converterMessages = Joined(messages);
}

bool UnpackedTheme::load(const std::string& fieldText, Bitmap& loader) const
{
    const auto found = pictures_.find(fieldText);
    if (found == pictures_.end())
        return false;
    if (!found->second)
        throw Error(kBitmapNotValid);
    loader = *found->second;
    return true;
}

FieldBitmapLoader UnpackedTheme::loader(const FieldTexts& fields) const
{
    return [this, fields](int n, Bitmap& loader) { return load(fields.at(static_cast<std::size_t>(n - 1)), loader); };
}

} // namespace vexaro
