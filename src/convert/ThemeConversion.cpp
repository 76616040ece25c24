#include "convert/ThemeConversion.h"

#include <exception>
#include <set>

#include "base/Elapsed.h"
#include "base/Error.h"
#include "preview/JpegEncoder.h"
#include "preview/PreviewPicture.h"
#include "preview/RasterFont.h"

namespace vexaro {

namespace {

// A theme's bitmaps as a build takes them: a field without a bitmap noted in `outcome`.
FieldBitmapLoader BuildLoader(const UnpackedTheme& theme, const FieldTexts& fields, TargetOutcome& outcome)
{
    return [&theme, &fields, &outcome](int n, Bitmap& loader) {
        const std::string& text = fields.at(static_cast<std::size_t>(n - 1));
        if (theme.load(text, loader))
            return true;
        outcome.missing.push_back({n, text});
        return false;
    };
}

// Compiles one Siemens file into `bytes`; a compile that fails leaves the file unbuilt with the
// converter's message, as the converter would have said it.
void Compile(const SiemensFile& file, std::span<const Bitmap* const> pictures, TargetOutcome& outcome,
             std::vector<std::uint8_t>& bytes)
{
    try {
        bytes = CompileSiemensFile(file, pictures);
        outcome.built = true;
    } catch (const Error& e) {
        outcome.converterMessages = Quoted(file.file) + " not written: " + e.what();
    }
}

// The three Siemens files of `theme`, built in the order and with the working bitmaps the save
// command builds them with. A file built before a build throws stays in `files`.
SaveOutcome BuildSiemensFiles(const UnpackedTheme& theme, const FieldTexts& fields,
                              std::array<std::vector<std::uint8_t>, 3>& files)
{
    const std::array<SiemensFile, 3> targets = SiemensFiles();
    SaveOutcome save;
    for (std::size_t i = 0; i < targets.size(); ++i)
        save.targets[i].file = targets[i].file;
    WorkingBitmaps bitmaps;

    ComposeBackgroundMask(bitmaps);
    const Bitmap mask = bitmaps.canvas;
    ComposeBackgroundPicture(bitmaps, BuildLoader(theme, fields, save.targets[0]));
    const std::array<const Bitmap*, 2> background{&bitmaps.canvas, &mask};
    Compile(targets[0], background, save.targets[0], files[0]);

    ComposeIdlePicture(bitmaps, BuildLoader(theme, fields, save.targets[1]));
    const Bitmap idle = bitmaps.canvas;
    bitmaps.canvas = StripPicture();
    const std::array<const Bitmap*, 5> idlePictures{&bitmaps.canvas, &idle, &idle, &idle, &idle};
    Compile(targets[1], idlePictures, save.targets[1], files[1]);

    // The converter compiles the icons only when every one of their files is there.
    std::array<Bitmap, 24> icons;
    bool allIcons = true;
    const FieldBitmapLoader load = BuildLoader(theme, fields, save.targets[2]);
    for (const ThemeField& icon : kThemeFields) {
        if (!icon.isIcon())
            continue;
        const auto index = static_cast<std::size_t>(MenuIconIndex(icon));
        if (ComposeMenuIcon(bitmaps, load, icon.number)) {
            icons[index] = bitmaps.loader;
            icons[index + 1] = bitmaps.canvas;
        } else {
            allIcons = false;
        }
    }
    if (allIcons) {
        std::array<const Bitmap*, 24> pictures{};
        for (std::size_t i = 0; i < icons.size(); ++i)
            pictures[i] = &icons[i];
        Compile(targets[2], pictures, save.targets[2], files[2]);
    }
    return save;
}

} // namespace

const char* StatusWord(ThemeStatus status)
{
    switch (status) {
    case ThemeStatus::Converted: return "converted";
    case ThemeStatus::Partial: return "partial";
    case ThemeStatus::Failed: break;
    }
    return "failed";
}

void AppendLines(std::vector<std::string>& lines, const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

ThemeOutcome JudgeSave(const SaveOutcome& save)
{
    ThemeOutcome outcome;
    std::set<int> missingFields;
    bool anyBuilt = false;
    bool unexplained = false; // a target the converter did not build though it had every bitmap
    for (std::size_t i = 0; i < save.targets.size(); ++i) {
        const TargetOutcome& target = save.targets[i];
        for (const MissingBitmap& m : target.missing)
            missingFields.insert(m.field);
        outcome.built[i] = target.built;
        anyBuilt = anyBuilt || target.built;
        unexplained = unexplained || (!target.built && target.missing.empty());
    }
    // The save reads every field but the control area's (3), which only the preview shows.
    bool noneNamed = true;
    for (int field = 1; field <= kFieldCount; ++field)
        noneNamed = noneNamed && (field == kControlAreaField || missingFields.count(field) != 0);
    if (noneNamed)
        outcome.problems.push_back("No bitmap number field names a bitmap of this theme");
    AppendLines(outcome.problems, save.problems());
    if (!anyBuilt || unexplained || noneNamed)
        outcome.status = ThemeStatus::Failed;
    else
        outcome.status = save.complete() ? ThemeStatus::Converted : ThemeStatus::Partial;
    return outcome;
}

ThemeConversion ConvertTheme(const ByteSource& theme, ThemeFileType type, const std::string& fileName,
                             const FieldTexts& fields)
{
    ThemeConversion result;
    ThemeOutcome& outcome = result.outcome;
    Stopwatch clock;
    const char* step = "open";
    const auto done = [&](const char* next) {
        result.steps.emplace_back(step, clock.lap());
        step = next;
    };
    try {
        const UnpackedTheme unpacked(theme, type, fileName, fields);
        const OpenOutcome& open = unpacked.outcome();
        if (open.unpacked == 0)
            throw Error(open.problems().empty() ? Quoted(fileName) + " holds no bitmaps" : open.problems());
        done("build");
        outcome = JudgeSave(BuildSiemensFiles(unpacked, fields, result.files));
        std::vector<std::string> lost;
        AppendLines(lost, open.problems());
        outcome.problems.insert(outcome.problems.begin(), lost.begin(), lost.end());
        if (!open.complete() && outcome.status == ThemeStatus::Converted)
            outcome.status = ThemeStatus::Partial;
        done("preview");
        ComposeTargetPreview(unpacked.loader(fields), DrawCaption, result.preview);
        result.previewJpeg = EncodeJpeg(result.preview, kPreviewJpegQuality);
        done(nullptr);
    } catch (const std::exception& e) {
        outcome.status = ThemeStatus::Failed;
        AppendLines(outcome.problems, e.what());
        if (step != nullptr)
            done(nullptr);
    }
    for (std::size_t i = 0; i < result.files.size(); ++i)
        outcome.built[i] = !result.files[i].empty();
    outcome.preview = !result.previewJpeg.empty();
    return result;
}

} // namespace vexaro
