#include "siemens/ThemeBuild.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

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

// Writes "Siemens\mbm.txt" anew with the compile form of `file`: its name, then one line per
// source, each ended by CR LF. The converter runs only after this has written the whole file (a
// failure throws, and leaves no file), so it never meets a command file that its build did not
// just write. The path is taken from the workspace, the current directory, no link followed.
void WriteCommandFile(const Workspace& workspace, const SiemensFile& file)
{
    std::string text = file.file + "\r\n";
    for (const SiemensSource& source : file.sources)
        text += CommandLineOf(source) + "\r\n";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (const std::error_code ec = WriteNewFile(NativePath(kCommandFile), bytes))
        throw Error("Cannot create file " + Quoted(InWorkspace(workspace, kCommandFile).string()) + ". " +
                    ec.message());
}

// The workspace's bitmaps as a build takes them: each field's text read at the moment of use, a
// field without a bitmap noted in `outcome`.
FieldBitmapLoader SourceLoader(const Workspace& workspace, const WindowSeam& window, TargetOutcome& outcome)
{
    return [&workspace, &window, &outcome](int n, Bitmap& loader) {
        const std::string text = window.fieldText(n);
        if (workspace.loadSourceBitmap(text, loader))
            return true;
        outcome.missing.push_back({n, text});
        return false;
    };
}

void Save(const Bitmap& picture, const Workspace& workspace, const std::string& systemPath)
{
    SaveBmpFile(picture, InWorkspace(workspace, systemPath).string());
}

// Runs the converter on the build's command file and notes whether it built the target.
void Compile(const Workspace& workspace, WindowSeam& window, TargetOutcome& outcome)
{
    const ChildResult run = RunConverter(kCommandFile, window);
    outcome.built = run.succeeded() && FileSizeOf(InWorkspace(workspace, outcome.file)) > 0;
    window.note(outcome.file + (outcome.built ? " built" : " not built"));
    if (!outcome.built)
        outcome.converterMessages = ConverterMessages(run);
}

} // namespace

TargetOutcome BuildBackgroundImage(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps)
{
    const SiemensFile file = SiemensFiles()[0];
    TargetOutcome outcome{file.file, false, {}, {}};
    WriteCommandFile(workspace, file);
    Advance(window);

    ComposeBackgroundMask(bitmaps);
    Save(bitmaps.canvas, workspace, file.sources[1].file);
    Advance(window);

    ComposeBackgroundPicture(bitmaps, SourceLoader(workspace, window, outcome));
    Save(bitmaps.canvas, workspace, file.sources[0].file);
    Advance(window);

    Compile(workspace, window, outcome);
    Advance(window);
    return outcome;
}

TargetOutcome BuildIdlePicture(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps)
{
    const SiemensFile file = SiemensFiles()[1];
    TargetOutcome outcome{file.file, false, {}, {}};
    WriteCommandFile(workspace, file);
    Advance(window);

    ComposeIdlePicture(bitmaps, SourceLoader(workspace, window, outcome));
    Save(bitmaps.canvas, workspace, file.sources[1].file);
    Advance(window);

    std::error_code ec;
    if (!fs::exists(InWorkspace(workspace, file.sources[0].file), ec)) {
        bitmaps.canvas = StripPicture();
        Save(bitmaps.canvas, workspace, file.sources[0].file);
    }

    Compile(workspace, window, outcome);
    Advance(window);
    return outcome;
}

TargetOutcome BuildMenuFolderIcons(const Workspace& workspace, WindowSeam& window, WorkingBitmaps& bitmaps)
{
    const SiemensFile file = SiemensFiles()[2];
    TargetOutcome outcome{file.file, false, {}, {}};
    WriteCommandFile(workspace, file);
    Advance(window);

    // The icons are taken in field order.
    const FieldBitmapLoader load = SourceLoader(workspace, window, outcome);
    for (const ThemeField& icon : kThemeFields) {
        if (!icon.isIcon())
            continue;
        const auto index = static_cast<std::size_t>(MenuIconIndex(icon));
        if (ComposeMenuIcon(bitmaps, load, icon.number)) {
            Save(bitmaps.loader, workspace, file.sources[index].file);
            Save(bitmaps.canvas, workspace, file.sources[index + 1].file);
        }
        if (icon.number < kFieldCount)
            Advance(window);
    }

    Compile(workspace, window, outcome);
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

        // EidPic, Menu_Folders, Backgroundimage: the order the sizes are checked in.
        constexpr std::size_t kCheckOrder[] = {1, 2, 0};
        for (const std::size_t target : kCheckOrder) {
            const fs::path path = InWorkspace(workspace, outcome.targets[target].file);
            if (FileSizeOf(path) == 0)
                fs::remove(path, ec);
        }
    }
    return outcome;
}

} // namespace vexaro
