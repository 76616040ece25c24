#include "import/ImportCommands.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Folder.h"
#include "base/Unicode.h"
#include "import/SisPackage.h"
#include "import/PackageExtract.h"
#include "import/UnpackJob.h"
#include "mbm/MbmFormat.h"
#include "mbm/MbmReader.h"
#include "tool/ConverterInstall.h"
#include "tool/FileHelpers.h"

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

[[noreturn]] void CannotOpen(const std::string& chosenPath, const std::string& reason)
{
    throw Error("Cannot open file " + Quoted(chosenPath) + ". " + reason);
}

// The theme chosen: a file by its path, or bytes in memory (standard input) under a name.
struct ChosenTheme {
    std::string path;                    // empty for bytes
    std::span<const std::uint8_t> bytes; // when `path` is empty
    std::string shown;                   // its name in messages
};

// The theme as it was read and checked, before anything was written: a package with its
// multi-bitmap file in memory, or the multi-bitmap file chosen, open for reading.
struct CheckedTheme {
    std::optional<SisExtraction> package;
    PositionedFile file;
    std::optional<ByteSource> mbmSource; // the multi-bitmap file chosen, as a file or in memory
    mbm::MbmFile mbm;
};

// Opens the chosen multi-bitmap file; nothing of it is read yet.
ByteSource OpenMultiBitmapFile(const ChosenTheme& chosen, PositionedFile& file)
{
    ByteSource source(chosen.bytes);
    if (!chosen.path.empty()) {
        int error = 0;
        if (const ReadFailure failure = file.open(PathFromUtf8(chosen.path), error); failure != ReadFailure::None)
            CannotOpen(chosen.path, ReadFailureReason(failure, error, 0));
        source = ByteSource(file, "Cannot read file " + Quoted(chosen.path) + ". ");
    }
    if (source.size() > mbm::kMaxMbmFileBytes)
        CannotOpen(chosen.path.empty() ? chosen.shown : chosen.path,
                   ReadFailureReason(ReadFailure::TooLarge, 0, mbm::kMaxMbmFileBytes));
    return source;
}

// Reads the theme's container and bitmap table and checks what unpacking it would take. False
// when the multi-bitmap file is damaged: the window has been told.
bool CheckTheme(const ChosenTheme& chosen, ThemeFileType type, WindowSeam& window, CheckedTheme& theme)
{
    const std::string& shown = chosen.shown;
    if (type == ThemeFileType::Package) {
        if (chosen.path.empty()) {
            theme.package.emplace(chosen.bytes, shown);
        } else {
            // A file that cannot be opened would read as an empty package: say why instead.
            const FileBytes probe = ReadFileCapped(PathFromUtf8(chosen.path), 0);
            if (probe.failure == ReadFailure::CannotOpen || probe.failure == ReadFailure::NotAFile)
                CannotOpen(chosen.path, ReadFailureReason(probe, 0));
            theme.package.emplace(chosen.path);
        }
        if (!theme.package->multiBitmap())
            throw Error(NoMultiBitmapMessage(shown));
    } else {
        theme.mbmSource.emplace(OpenMultiBitmapFile(chosen, theme.file));
    }
    const ByteReader reader = theme.package ? ByteReader(*theme.package->multiBitmap()) : ByteReader(*theme.mbmSource);
    try {
        theme.mbm = mbm::ReadMbm(reader);
    } catch (const Error& e) {
        window.showMessage("File " + std::string(sis::kMultiBitmapName) + " damaged !\n" +
                           UnreadableMultiBitmapMessage(shown, e.what()) + "\n" + kNothingChanged);
        return false;
    }
    if (theme.mbm.bitmaps.empty())
        throw Error(NoBitmapsMessage(shown));
    mbm::CheckThemePixels(theme.mbm, kMaxUnpackedBitmaps, shown);
    return true;
}

[[noreturn]] void CannotCreateFolder(const fs::path& path, const std::error_code& ec)
{
    throw Error("Cannot create folder " + Quoted(path.string()) + ". " + ec.message());
}

[[noreturn]] void CannotCreateFile(const fs::path& path, const std::error_code& ec)
{
    throw Error("Cannot create file " + Quoted(path.string()) + ". " + ec.message());
}

// The workspace's folder `name` inside `parent`, a real folder made when missing.
Folder RealFolder(const Folder& parent, const fs::path& name)
{
    std::error_code ec;
    Folder folder = parent.ensureSub(name, ec);
    if (ec)
        CannotCreateFolder(parent.path() / name, ec);
    return folder;
}

void RemoveFrom(const Folder& folder, const fs::path& name)
{
    if (const std::error_code ec = folder.remove(name))
        throw Error("Cannot delete file " + Quoted((folder.path() / name).string()) + ". " + ec.message());
}

// Copies the chosen multi-bitmap file as "temp.mbm", piece by piece.
void CopyMultiBitmapFile(const ByteSource& from, const Folder& nokia)
{
    const fs::path name = sis::kMultiBitmapName;
    NewFile file;
    if (const std::error_code ec = file.create(nokia, name))
        CannotCreateFile(nokia.path() / name, ec);
    const ByteReader reader(from);
    std::vector<std::uint8_t> piece(sis::kChunkBytes);
    for (std::uint64_t at = 0; at < from.size(); at += piece.size()) {
        const std::span<std::uint8_t> part =
            std::span(piece).first(std::min<std::uint64_t>(piece.size(), from.size() - at));
        reader.read(at, part);
        if (const std::error_code ec = file.writeAt(at, part))
            CannotCreateFile(nokia.path() / name, ec);
    }
    if (const std::error_code ec = file.close())
        CannotCreateFile(nokia.path() / name, ec);
}

// Removes the numbered files (and their alpha companions) numbered `keep` and above: those of
// an earlier, larger theme, or all of them when `keep` is 0. What cannot be removed (a folder
// named like a bitmap, with files in it) stays and is told in `warnings`.
void RemoveNumberedFilesFrom(const Folder& folder, int keep, std::vector<std::string>& warnings)
{
    std::error_code ec;
    for (const fs::path& name : folder.names(ec)) {
        if (NumberedFileNumber(name.string()) < keep)
            continue;
        if (const std::error_code removed = folder.remove(name))
            warnings.push_back("Cannot delete " + Quoted((folder.path() / name).string()) + ". " + removed.message());
    }
}

bool IsNumberedBitmap(const Folder& folder, int n)
{
    return folder.type(BitmapNumberText(n) + ".bmp") == EntryType::File;
}

// Runs the converter on the command file just written and settles "Nokia\MBM\": the numbered
// files of this theme, nothing else. The converter removes every file it was asked for and
// could not write, so that what stays under a number is this run's; a run that ended any other
// way than by its own judgement (a crash, a bad command) leaves nothing to trust.
void Unpack(const Folder& unpacked, WindowSeam& window, OpenOutcome& outcome)
{
    const ChildResult run = RunConverter("Nokia\\mbm.txt", window);
    const int named = std::clamp(outcome.announced, 0, kMaxUnpackedBitmaps);
    const bool judged = run.exitStatus == 0 || run.exitStatus == 1;
    RemoveNumberedFilesFrom(unpacked, judged ? named : 0, outcome.warnings);
    for (int n = 0; n < named; ++n) {
        if (IsNumberedBitmap(unpacked, n))
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

// Writes the checked theme into the workspace and unpacks it.
void WriteAndUnpack(const Workspace& workspace, const CheckedTheme& theme, WindowSeam& window, const Folder& nokia,
                    const Folder& unpacked, OpenOutcome& outcome)
{
    // The new theme replaces the old one, and the converter never meets a command file it was
    // not just given: a package can carry a "mbm.txt" of its own.
    RemoveFrom(nokia, sis::kMultiBitmapName);
    RemoveFrom(nokia, "mbm.txt");
    if (theme.package) {
        const std::vector<std::string> skipped = theme.package->writeInto(nokia, window);
        outcome.warnings.insert(outcome.warnings.end(), skipped.begin(), skipped.end());
    } else {
        CopyMultiBitmapFile(*theme.mbmSource, nokia);
    }

    window.setOpenCaption("Opening mbm file...");
    window.processMessages();
    MakeCurrentFolder(workspace.folder());
    const std::optional<MbmBitmapCount> bitmaps =
        WriteUnpackCommandFile("Nokia\\temp.mbm", "Nokia\\mbm.txt", "", "Nokia\\MBM\\", window);
    if (!bitmaps) {
        // The file changed since it was checked.
        outcome.damaged = true;
        RemoveNumberedFilesFrom(unpacked, 0, outcome.warnings);
        return;
    }
    outcome.announced = std::max(bitmaps->count, 0);
    Unpack(unpacked, window, outcome);
}

} // namespace

std::string AfterFailureLine(int unpacked, const std::string& themeName)
{
    if (unpacked == 0)
        return "No theme is open now: the one opened before was removed";
    return "Open now: the " + std::to_string(unpacked) + " bitmaps unpacked of " + Quoted(themeName);
}

namespace {

OpenOutcome OpenChosenTheme(const Workspace& workspace, const ChosenTheme& chosen, ThemeFileType type,
                            WindowSeam& window, const Redraw& redraw)
{
    const OpenAtRest atRest(window);
    const std::string& shown = chosen.shown;
    OpenOutcome outcome;
    CheckedTheme theme;
    try {
        if (!CheckTheme(chosen, type, window, theme)) {
            outcome.damaged = true;
            return outcome;
        }
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + "\n" + kNothingChanged);
    }

    std::error_code ec;
    const Folder folder = Folder::Open(workspace.folder(), ec);
    if (ec)
        throw Error("Cannot open folder " + Quoted(workspace.folder().string()) + ". " + ec.message() + "\n" +
                    kNothingChanged);
    std::optional<Folder> unpacked;
    try {
        const Folder nokia = RealFolder(folder, "Nokia");
        unpacked.emplace(RealFolder(nokia, "MBM"));
        WriteAndUnpack(workspace, theme, window, nokia, *unpacked, outcome);
    } catch (const Error& e) {
        // What the converter did not finish is not the theme: none is open then.
        if (unpacked)
            RemoveNumberedFilesFrom(*unpacked, 0, outcome.warnings);
        Redrawn(redraw);
        throw Error(std::string(e.what()) + "\n" + AfterFailureLine(0, shown));
    }
    try {
        Redrawn(redraw);
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + "\n" + AfterFailureLine(outcome.unpacked, shown));
    }
    return outcome;
}

} // namespace

OpenOutcome OpenTheme(const Workspace& workspace, const std::string& chosenPath, ThemeFileType type, WindowSeam& window,
                      const Redraw& redraw)
{
    return OpenChosenTheme(workspace, {chosenPath, {}, PathFromUtf8(chosenPath).filename().string()}, type, window,
                           redraw);
}

OpenOutcome OpenThemeBytes(const Workspace& workspace, std::span<const std::uint8_t> bytes, const std::string& name,
                           ThemeFileType type, WindowSeam& window, const Redraw& redraw)
{
    return OpenChosenTheme(workspace, {{}, bytes, name}, type, window, redraw);
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
