#include "siemens/ThemeCompose.h"

#include <algorithm>
#include <cstdlib>

#include "resize/AverageResize.h"

namespace vexaro {

namespace {

// The 8-bit colour table of a compile none of whose sources is 8-bit colour: never read.
constexpr mbm::InverseTable256 kNoInverse256{};

// Loads the area of field `n` and resizes it to the size it takes on the Siemens screen. False
// when the theme has none.
bool LoadArea(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load, int n)
{
    if (!load(n, bitmaps.loader))
        return false;
    const PixelSize drawn = ThemeFieldOf(n).drawn;
    AverageResize(bitmaps.loader, bitmaps.resized, drawn.width, drawn.height);
    return true;
}

// "Siemens\Menu_Folders.mbm" -> "Menu_Folders.mbm"
std::string ShortName(const std::string& file) { return file.substr(file.find_last_of('\\') + 1); }

std::string MissingText(const std::vector<MissingBitmap>& missing)
{
    std::string absent, empty;
    for (const MissingBitmap& m : missing) {
        if (m.text.empty()) {
            empty += (empty.empty() ? "field " : ", ") + std::to_string(m.field);
        } else {
            absent += (absent.empty() ? "no bitmap " : ", ") + m.text + " (field " + std::to_string(m.field) + ")";
        }
    }
    if (!empty.empty())
        empty += empty.find(',') == std::string::npos ? " is empty" : " are empty";
    return absent + (!absent.empty() && !empty.empty() ? "; " : "") + empty;
}

} // namespace

std::array<SiemensFile, 3> SiemensFiles()
{
    constexpr mbm::DepthOption c24{24, true, false}, c16{16, true, false}, mono{1, false, false};
    SiemensFile background{kSiemensFileNames[0],
                           {{c24, "Siemens\\Backgroundimage.bmp"}, {mono, "Siemens\\BBackgroundimage.bmp"}}};
    SiemensFile idle{kSiemensFileNames[1], {{c16, "Siemens\\EidPicTop.bmp"}}};
    idle.sources.insert(idle.sources.end(), 4, {c24, "Siemens\\EidPic.bmp"});
    SiemensFile menu{kSiemensFileNames[2], {}};
    for (int index = 0; index < 24; ++index)
        menu.sources.push_back({index % 2 == 0 ? c24 : mono, "Siemens\\menu" + std::to_string(index) + ".bmp"});
    return {std::move(background), std::move(idle), std::move(menu)};
}

std::string CommandLineOf(const SiemensSource& source)
{
    std::string line = source.depth.colour ? "/c" : "/";
    line.append(std::to_string(source.depth.bitsPerPixel)).append(source.file);
    return line;
}

void ComposeBackgroundMask(WorkingBitmaps& bitmaps)
{
    bitmaps.canvas.setWidth(1);
    bitmaps.canvas.setHeight(1);
}

void ComposeBackgroundPicture(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load)
{
    bitmaps.canvas.setWidth(176);
    bitmaps.canvas.setHeight(132);
    if (LoadArea(bitmaps, load, kMainAreaField))
        Draw(bitmaps.canvas, bitmaps.resized, 0, -18);
}

void ComposeIdlePicture(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load)
{
    // The canvas keeps its top 68 rows: rows 0 to 67 of the background picture.
    bitmaps.canvas.setWidth(176);
    bitmaps.canvas.setHeight(68);
    if (LoadArea(bitmaps, load, kStatusAreaField))
        Draw(bitmaps.canvas, bitmaps.resized, 0, 0);
    if (LoadArea(bitmaps, load, kMainAreaField))
        Draw(bitmaps.canvas, bitmaps.resized, 0, ThemeFieldOf(kStatusAreaField).drawn.height);
}

bool ComposeMenuIcon(WorkingBitmaps& bitmaps, const FieldBitmapLoader& load, int field)
{
    if (!load(field, bitmaps.loader))
        return false;
    // Every icon gets its true mask, the Camera first form included.
    bitmaps.canvas = IconMask(bitmaps.loader);
    return true;
}

int MenuIconIndex(const ThemeField& icon) { return 4 * icon.column + (icon.form == 1 ? 0 : 2); }

Bitmap StripPicture()
{
    Bitmap strip;
    strip.reset(176, 12, PixelFormat::Bits24);
    strip.fill(Rgb{222, 222, 238});
    for (int k = 0; k < 5; ++k)
        for (int y = 2; y <= 10; ++y)
            strip.setPixel(5 + 5 * k + (4 - std::abs(y - 6)), y, kBlack);
    return strip;
}

Bitmap IconMask(const Bitmap& icon)
{
    Bitmap mask;
    mask.reset(icon.width(), icon.height(), PixelFormat::Pal1, {kBlack, kWhite});
    if (icon.empty())
        return mask;
    const Rgb key = icon.pixel(0, 0);
    for (int y = 0; y < icon.height(); ++y) {
        std::uint8_t* row = mask.row(y);
        for (int x = 0; x < icon.width(); ++x)
            if (icon.pixel(x, y) == key)
                row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80u >> (x & 7)));
    }
    return mask;
}

bool SaveOutcome::complete() const
{
    return std::all_of(targets.begin(), targets.end(),
                       [](const TargetOutcome& t) { return t.built && t.missing.empty(); });
}

std::string SaveOutcome::problems() const
{
    std::string text;
    for (const TargetOutcome& t : targets) {
        std::string line;
        if (!t.missing.empty())
            line = MissingText(t.missing);
        else if (!t.built)
            line = "not built: " + t.converterMessages;
        if (line.empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += ShortName(t.file) + ": " + line;
    }
    return text;
}

std::vector<std::uint8_t> CompileSiemensFile(const SiemensFile& file, std::span<const Bitmap* const> pictures)
{
    const bool needs256 = std::any_of(file.sources.begin(), file.sources.end(), [](const SiemensSource& s) {
        return s.depth.colour && s.depth.bitsPerPixel == 8;
    });
    const mbm::InverseTable256& inverse256 = needs256 ? mbm::StandardInverse256() : kNoInverse256;
    mbm::MbmMemorySink sink;
    mbm::MbmFileWriter writer(sink, file.sources.size(), mbm::MbmWriteOptions{});
    for (std::size_t i = 0; i < file.sources.size(); ++i) {
        // The BMP files the builds write carry no resolution.
        mbm::RowReducer reducer(pictures[i]->rows(), file.sources[i].depth, inverse256);
        mbm::AddReducedBitmap(writer, reducer, 0, 0);
    }
    writer.finish();
    return sink.take();
}

} // namespace vexaro
