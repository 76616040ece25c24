#include "siemens/ThemeBuild.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "resize/AverageResize.h"
#include "bitmap/BmpCodec.h"
#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "base/Folder.h"
#include "tool/FieldDefaults.h"
#include "tool/FileHelpers.h"

namespace vexaro {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCommandFile = "Siemens\\mbm.txt";

void Advance(WindowSeam& window)
{
    window.stepProgress();
    window.processMessages();
}

// A workspace path of the system's own texts ("Siemens\EidPic.bmp") on this platform.
fs::path InWorkspace(const Workspace& workspace, const std::string& systemPath)
{
    return workspace.folder() / NativePath(systemPath);
}

// Writes "Siemens\mbm.txt" anew, one line per item, each ended by CR LF. The converter runs
// only after this has written the whole file (a failure throws, and leaves no file), so it never
// meets a command file that its build did not just write. The path is taken from the workspace,
// the current directory, no link followed.
void WriteCommandFile(const Workspace& workspace, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (const std::error_code ec = WriteNewFile(NativePath(kCommandFile), bytes))
        throw Error("Cannot create file " + Quoted(InWorkspace(workspace, kCommandFile).string()) + ". " +
                    ec.message());
}

// Looks up the source bitmap named by field `n` and loads it into `loader`. False when there
// is none (the caller then skips the work that needs it), noted in `outcome`.
bool LoadSource(const Workspace& workspace, WindowSeam& window, int n, Bitmap& loader, TargetOutcome& outcome)
{
    const std::string text = window.fieldText(n);
    const std::optional<fs::path> path = workspace.findSourceBitmap(text);
    if (!path) {
        outcome.missing.push_back({n, text});
        return false;
    }
    LoadBmpFile(path->string(), loader);
    return true;
}

// Loads the area of field `n` and resizes it to the size it takes on the Siemens screen. False
// when there is none, as LoadSource.
bool LoadArea(const Workspace& workspace, WindowSeam& window, int n, WorkingBitmaps& bitmaps, TargetOutcome& outcome)
{
    if (!LoadSource(workspace, window, n, bitmaps.loader, outcome))
        return false;
    const PixelSize drawn = ThemeFieldOf(n).drawn;
    AverageResize(bitmaps.loader, bitmaps.resized, drawn.width, drawn.height);
    return true;
}

void Save(const Bitmap& picture, const Workspace& workspace, const std::string& systemPath)
{
    SaveBmpFile(picture, InWorkspace(workspace, systemPath).string());
}

// Runs the converter on the build's command file and notes whether it built the target.
void Compile(const Workspace& workspace, TargetOutcome& outcome)
{
    const ChildResult run = RunConverter(kCommandFile);
    outcome.built = run.succeeded() && FileSizeOf(InWorkspace(workspace, outcome.file)) > 0;
    if (!outcome.built)
        outcome.converterMessages = ConverterMessages(run);
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

TargetOutcome BuildBackgroundImage(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps)
{
    TargetOutcome outcome{"Siemens\\Backgroundimage.mbm", false, {}, {}};
    WriteCommandFile(workspace, {"Siemens\\Backgroundimage.mbm", "/c24Siemens\\Backgroundimage.bmp",
                                 "/1Siemens\\BBackgroundimage.bmp"});
    Advance(window);

    // Mask: one white pixel, made by growing the empty canvas.
    bitmaps.canvas.setWidth(1);
    bitmaps.canvas.setHeight(1);
    Save(bitmaps.canvas, workspace, "Siemens\\BBackgroundimage.bmp");
    Advance(window);

    // Picture: rows 18 to 149 of the main area resized to 176 x 150, on white.
    bitmaps.canvas.setWidth(176);
    bitmaps.canvas.setHeight(132);
    if (LoadArea(workspace, window, kMainAreaField, bitmaps, outcome))
        Draw(bitmaps.canvas, bitmaps.resized, 0, -18);
    Save(bitmaps.canvas, workspace, "Siemens\\Backgroundimage.bmp");
    Advance(window);

    Compile(workspace, outcome);
    Advance(window);
    return outcome;
}

TargetOutcome BuildIdlePicture(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps)
{
    TargetOutcome outcome{"Siemens\\EidPic.mbm", false, {}, {}};
    WriteCommandFile(workspace, {"Siemens\\EidPic.mbm", "/c16Siemens\\EidPicTop.bmp", "/c24Siemens\\EidPic.bmp",
                                 "/c24Siemens\\EidPic.bmp", "/c24Siemens\\EidPic.bmp", "/c24Siemens\\EidPic.bmp"});
    Advance(window);

    // The canvas keeps its top 68 rows: rows 0 to 67 of the background picture.
    bitmaps.canvas.setWidth(176);
    bitmaps.canvas.setHeight(68);
    if (LoadArea(workspace, window, kStatusAreaField, bitmaps, outcome))
        Draw(bitmaps.canvas, bitmaps.resized, 0, 0);
    if (LoadArea(workspace, window, kMainAreaField, bitmaps, outcome))
        Draw(bitmaps.canvas, bitmaps.resized, 0, ThemeFieldOf(kStatusAreaField).drawn.height);
    Save(bitmaps.canvas, workspace, "Siemens\\EidPic.bmp");
    Advance(window);

    std::error_code ec;
    if (!fs::exists(InWorkspace(workspace, "Siemens\\EidPicTop.bmp"), ec)) {
        bitmaps.canvas = StripPicture();
        Save(bitmaps.canvas, workspace, "Siemens\\EidPicTop.bmp");
    }

    Compile(workspace, outcome);
    Advance(window);
    return outcome;
}

TargetOutcome BuildMenuFolderIcons(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps)
{
    TargetOutcome outcome{"Siemens\\Menu_Folders.mbm", false, {}, {}};
    std::vector<std::string> lines{"Siemens\\Menu_Folders.mbm"};
    for (int index = 0; index < 24; ++index)
        lines.push_back((index % 2 == 0 ? "/c24Siemens\\menu" : "/1Siemens\\menu") + std::to_string(index) + ".bmp");
    WriteCommandFile(workspace, lines);
    Advance(window);

    // The icon of column c goes to indices 4c and 4c + 1 in its first form, 4c + 2 and 4c + 3 in
    // its second; the icons are taken in field order.
    for (const ThemeField& icon : kThemeFields) {
        if (!icon.isIcon())
            continue;
        const int colourIndex = 4 * icon.column + (icon.form == 1 ? 0 : 2);
        if (LoadSource(workspace, window, icon.number, bitmaps.loader, outcome)) {
            // Every icon gets its true mask, the Camera first form included.
            bitmaps.canvas = IconMask(bitmaps.loader);
            Save(bitmaps.loader, workspace, "Siemens\\menu" + std::to_string(colourIndex) + ".bmp");
            Save(bitmaps.canvas, workspace, "Siemens\\menu" + std::to_string(colourIndex + 1) + ".bmp");
        }
        if (icon.number < kFieldCount)
            Advance(window);
    }

    Compile(workspace, outcome);
    Advance(window);
    return outcome;
}

SaveOutcome SaveTheme(const Workspace& workspace, WindowSeam& window)
{
    // Without a theme a save would only replace the user's last Siemens files with blank ones.
    if (!ThemeIsOpen(workspace))
        throw Error(NoThemeOpenMessage(workspace));
    struct ProgressAtRest {
        WindowSeam& window;
        ~ProgressAtRest() { window.setProgressPosition(0); }
    } atRest{window};
    window.setProgressMax(100);
    window.setProgressStep(5);

    ClearFolder(workspace.target());
    EnsureRealFolder(workspace.target());
    MakeCurrentFolder(workspace.folder());

    std::error_code ec;
    SaveOutcome outcome;
    {
        WorkingBitmaps bitmaps;
        outcome.targets[0] = BuildBackgroundImage(workspace, window, bitmaps);
        outcome.targets[1] = BuildIdlePicture(workspace, window, bitmaps);
        outcome.targets[2] = BuildMenuFolderIcons(workspace, window, bitmaps);

        for (const char* target :
             {"Siemens\\EidPic.mbm", "Siemens\\Menu_Folders.mbm", "Siemens\\Backgroundimage.mbm"}) {
            const fs::path path = InWorkspace(workspace, target);
            if (FileSizeOf(path) == 0)
                fs::remove(path, ec);
        }
    }
    return outcome;
}

} // namespace vexaro
