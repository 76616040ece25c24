#include "import/ImportCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "import/PackageExtract.h"
#include "import/UnpackJob.h"
#include "tool/ConverterInstall.h"
#include "tool/FileHelpers.h"
#include "base/Unicode.h"

namespace vexaro {

namespace fs = std::filesystem;

namespace {

// Every path of the Open command ends with the caption "Open" and the progress bar at 0.
class OpenAtRest {
public:
    explicit OpenAtRest(WindowSeam& window) : window_(window) {}
    ~OpenAtRest()
    {
        window_.setProgressPosition(0);
        window_.setOpenCaption("Open");
    }
    OpenAtRest(const OpenAtRest&) = delete;
    OpenAtRest& operator=(const OpenAtRest&) = delete;

private:
    WindowSeam& window_;
};

// The chosen file must be there to be read before anything of the current theme goes.
void CheckThemeFile(const std::string& chosenPath)
{
    const FileBytes probe = ReadFileCapped(PathFromUtf8(chosenPath), 0);
    if (probe.failure == ReadFailure::CannotOpen || probe.failure == ReadFailure::NotAFile)
        throw Error("Cannot open file " + Quoted(chosenPath) + ". " + ReadFailureReason(probe, 0));
}

void RemoveIfThere(const fs::path& path)
{
    std::error_code ec;
    fs::remove(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw Error("Cannot delete file " + Quoted(path.string()) + ". " + ec.message());
}

// Removes the numbered files (and their alpha companions) numbered `keep` and above: those of
// an earlier, larger theme, or all of them when `keep` is 0.
void RemoveNumberedFilesFrom(const fs::path& folder, int keep)
{
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (NumberedFileNumber(it->path().filename().string()) >= keep)
            stale.push_back(it->path());
    for (const fs::path& path : stale)
        RemoveIfThere(path);
}

bool IsNumberedBitmap(const fs::path& folder, int n) { return IsRegularFile(folder / (BitmapNumberText(n) + ".bmp")); }

// Runs the converter on the command file just written and settles "Nokia\MBM\": the numbered
// files of this theme, nothing else. The converter removes every file it was asked for and
// could not write, so that what stays under a number is this run's; a run that ended any other
// way than by its own judgement (a crash, a bad command) leaves nothing to trust.
void Unpack(const Workspace& workspace, OpenOutcome& outcome)
{
    const ChildResult run = RunConverter("Nokia\\mbm.txt");
    const int named = std::clamp(outcome.announced, 0, kMaxUnpackedBitmaps);
    const bool judged = run.exitStatus == 0 || run.exitStatus == 1;
    RemoveNumberedFilesFrom(workspace.unpacked(), judged ? named : 0);
    for (int n = 0; n < named; ++n) {
        if (IsNumberedBitmap(workspace.unpacked(), n))
            ++outcome.unpacked;
        else
            outcome.lost.push_back(n);
    }
    if (!run.succeeded() || !outcome.lost.empty())
        outcome.converterMessages = ConverterMessages(run);
}

void Redrawn(const Redraw& redraw)
{
    if (redraw)
        redraw();
}

} // namespace

OpenOutcome OpenTheme(const Workspace& workspace, const std::string& chosenPath, ThemeFileType type, WindowSeam& window,
                      const Redraw& redraw)
{
    const OpenAtRest atRest(window);
    CheckThemeFile(chosenPath);

    // Folders that are links are replaced by real ones: nothing is ever written through them.
    const fs::path source = workspace.source();
    EnsureRealFolder(source);
    // The new theme replaces the old one, and the converter never meets a command file it was
    // not just given: a package can carry a "mbm.txt" of its own.
    RemoveIfThere(source / "temp.mbm");
    RemoveIfThere(source / "mbm.txt");

    if (type == ThemeFileType::Package) {
        ExtractSisPackage(chosenPath, (source / "").string(), window);
    } else {
        std::error_code ec;
        CopyFileReplacing(PathFromUtf8(chosenPath), source / "temp.mbm", ec);
        if (ec) {
            RemoveIfThere(source / "temp.mbm");
            throw Error("Cannot create file " + Quoted((source / "temp.mbm").string()) + ". " + ec.message());
        }
    }

    OpenOutcome outcome;
    EnsureRealFolder(workspace.unpacked());
    if (!IsRegularFile(source / "temp.mbm")) {
        RemoveNumberedFilesFrom(workspace.unpacked(), 0);
        Redrawn(redraw);
        throw Error(NoThemeBitmapsMessage(PathFromUtf8(chosenPath).filename().string()));
    }

    window.setOpenCaption("Opening mbm file...");
    window.processMessages();
    std::error_code ec;
    fs::current_path(workspace.folder(), ec);
    if (ec)
        ThrowIoError(ec.value());
    const std::optional<MbmBitmapCount> bitmaps =
        WriteUnpackCommandFile(kUnpackSource, "Nokia\\mbm.txt", "", kUnpackFolder, window);
    if (!bitmaps) {
        outcome.damaged = true;
        RemoveNumberedFilesFrom(workspace.unpacked(), 0);
    } else {
        outcome.announced = std::max(bitmaps->count, 0);
        try {
            Unpack(workspace, outcome);
        } catch (const Error&) {
            RemoveNumberedFilesFrom(workspace.unpacked(), 0);
            Redrawn(redraw);
            throw;
        }
    }
    Redrawn(redraw);
    return outcome;
}

void ClearTheme(const Workspace& workspace, const Redraw& redraw)
{
    const std::vector<std::string> failures = ClearFolder(workspace.source());
    Redrawn(redraw);
    if (failures.empty())
        return;
    std::string text = "Cannot delete everything in " + Quoted(workspace.source().string()) + "\n" + failures.front();
    if (failures.size() > 1)
        text += "\n(and " + std::to_string(failures.size() - 1) + " more)";
    throw Error(text);
}

} // namespace vexaro
