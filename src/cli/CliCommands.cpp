#include "cli/CliCommands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <set>
#include <system_error>

#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "tool/FileHelpers.h"
#include "preview/PreviewExport.h"
#include "tool/ProfileFile.h"
#include "preview/TargetPreview.h"
#include "siemens/ThemeBuild.h"
#include "cli/Workers.h"
#include "base/Unicode.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kControlAreaField = 3;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "Theme.SIS" -> "sis"; "" when the name has no extension.
std::string LowerExtension(const std::string& file)
{
    const std::string ext = PathFromUtf8(file).extension().string();
    return ext.empty() ? ext : Lower(ext.substr(1));
}

// Makes the workspace folder where it is missing. Throws Error("Cannot create folder "PATH".
// REASON") with the system's reason (a read-only file system, no permission).
void MakeWorkspaceFolder(const Workspace& workspace)
{
    std::error_code ec;
    fs::create_directories(workspace.folder(), ec);
    if (ec)
        throw Error("Cannot create folder " + Quoted(workspace.folder().string()) + ". " + ec.message());
}

} // namespace

FieldOverride ParseFieldOverride(const std::string& text)
{
    const std::size_t eq = text.find('=');
    const std::string number = text.substr(0, eq);
    int n = 0;
    const bool digits = !number.empty() && number.size() <= 2 &&
                        std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
    if (digits)
        n = std::stoi(number);
    if (eq == std::string::npos || !digits || n < 1 || n > kFieldCount)
        throw Error("--set needs N=TEXT with N from 1 to " + std::to_string(kFieldCount) + ": " + Quoted(text));
    return {n, text.substr(eq + 1)};
}

FieldTexts LoadFieldTexts(const fs::path& settingsFolder, const std::vector<FieldOverride>& overrides)
{
    const ProfileValues settings = ProfileFile(settingsFolder / "Settings.ini").load();
    FieldTexts texts;
    for (int n = 1; n <= kFieldCount; ++n)
        texts[static_cast<std::size_t>(n - 1)] =
            settings.read(kFieldSettingsSection, std::to_string(n), FieldDefault(n));
    for (const auto& [n, text] : overrides)
        texts[static_cast<std::size_t>(n - 1)] = text;
    return texts;
}

ThemeFileType ThemeTypeOf(const std::string& file, const std::string& typeOption)
{
    const std::string type = typeOption.empty() ? LowerExtension(file) : typeOption;
    if (type == "sis")
        return ThemeFileType::Package;
    if (type == "mbm")
        return ThemeFileType::MultiBitmap;
    if (!typeOption.empty())
        throw Error("Unknown theme type " + Quoted(typeOption) + ": use sis or mbm");
    throw Error("Cannot tell the type of " + Quoted(file) + " from its name: give --type sis or --type mbm");
}

PreviewFileType PreviewTypeOf(const std::string& file, const std::string& typeOption)
{
    const std::string type = typeOption.empty() ? LowerExtension(file) : typeOption;
    if (type == "jpg" || type == "jpeg")
        return PreviewFileType::Jpeg;
    if (type == "bmp")
        return PreviewFileType::Bmp;
    if (!typeOption.empty())
        throw Error("Unknown picture type " + Quoted(typeOption) + ": use jpeg or bmp");
    throw Error("Cannot tell the picture type of " + Quoted(file) + " from its name: give --type jpeg or --type bmp");
}

bool ConverterBesideProgram()
{
    std::error_code ec;
    const fs::path self = ProgramFile();
    return !self.empty() && fs::is_regular_file(self.parent_path() / kConverterFileName, ec);
}

OpenOutcome OpenCommand(const Workspace& workspace, const std::string& file, ThemeFileType type, ConsoleWindow& window)
{
    // The commands make the workspace the current directory: hold the theme by its full name.
    std::error_code ec;
    const fs::path theme = fs::absolute(PathFromUtf8(file), ec);
    MakeWorkspaceFolder(workspace);
    if (!ConverterBesideProgram())
        InstallConverter(workspace.folder());

    window.setActivity("open");
    const OpenOutcome outcome = OpenTheme(workspace, theme.string(), type, window, [] {});
    window.endProgress();
    if (!window.messages().empty())
        throw Error(window.messages().front());
    return outcome;
}

const char* StatusWord(ThemeStatus status)
{
    switch (status) {
    case ThemeStatus::Converted: return "converted";
    case ThemeStatus::Partial: return "partial";
    case ThemeStatus::Failed: break;
    }
    return "failed";
}

int ExitStatus(ThemeStatus status)
{
    switch (status) {
    case ThemeStatus::Converted: return kExitDone;
    case ThemeStatus::Partial: return kExitPartial;
    case ThemeStatus::Failed: break;
    }
    return kExitFailed;
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

ThemeOutcome SaveCommand(const Workspace& workspace, ConsoleWindow& window)
{
    if (!ThemeIsOpen(workspace))
        throw Error(NoThemeOpenMessage(workspace));
    MakeWorkspaceFolder(workspace);
    if (!ConverterBesideProgram())
        InstallConverter(workspace.folder());
    window.setActivity("save");
    const SaveOutcome outcome = SaveTheme(workspace, window);
    window.endProgress();
    return JudgeSave(outcome);
}

std::string PreviewCommand(const Workspace& workspace, ConsoleWindow& window, const std::string& name,
                           PreviewFileType type)
{
    Bitmap image1;
    DrawTargetPreview(workspace, window, image1);
    return ExportPreview(image1, name, type);
}

void ClearCommand(const Workspace& workspace)
{
    ClearTheme(workspace, [] {});
}

namespace {

// A conversion starts from an empty theme folder: nothing of an earlier one may pass for its own.
void RemoveEarlierResults(const Workspace& workspace)
{
    std::error_code ec;
    ClearFolder(workspace.target());
    fs::remove(workspace.folder() / kConvertPreviewName, ec);
}

bool IsTargetName(const std::string& name)
{
    return std::any_of(std::begin(kTargetFiles), std::end(kTargetFiles),
                       [&](const char* target) { return NativePath(target).filename().string() == name; });
}

// Leaves in the theme folder only what the conversion is for: the Siemens files and the
// preview. The unpacked theme, the builds' pictures and command file, and a converter that
// was installed for the run (or by an earlier version of this program) go.
void TidyThemeFolder(const Workspace& workspace, ThemeOutcome& outcome)
{
    std::error_code ec;
    try {
        ClearTheme(workspace, [] {});
    } catch (const Error& e) {
        AppendLines(outcome.problems, e.what());
    }
    std::vector<fs::path> intermediate;
    for (fs::directory_iterator it(workspace.target(), ec), end; !ec && it != end; it.increment(ec))
        if (!IsTargetName(it->path().filename().string()))
            intermediate.push_back(it->path());
    for (const fs::path& path : intermediate)
        fs::remove(path, ec);
    fs::remove(workspace.target(), ec); // goes only when empty: when nothing was built
    fs::remove(workspace.folder() / kConverterFileName, ec);
    for (std::size_t i = 0; i < outcome.built.size(); ++i)
        outcome.built[i] = FileSizeOf(workspace.folder() / NativePath(kTargetFiles[i])) > 0;
    outcome.preview = FileSizeOf(workspace.folder() / kConvertPreviewName) > 0;
    // A theme that left nothing leaves no folder (the commands made it the current directory).
    fs::current_path(workspace.folder().parent_path(), ec);
    fs::remove(workspace.folder(), ec);
}

} // namespace

ThemeOutcome ConvertTheme(const std::string& file, const std::string& typeOption, const fs::path& themeFolder,
                          const FieldTexts& fields, std::ostream* progress)
{
    std::error_code ec;
    const Workspace workspace(fs::absolute(themeFolder, ec));
    ThemeOutcome outcome;
    try {
        const ThemeFileType type = ThemeTypeOf(file, typeOption);
        MakeWorkspaceFolder(workspace);
        RemoveEarlierResults(workspace);
        ConsoleWindow window(fields, progress);
        const OpenOutcome open = OpenCommand(workspace, file, type, window);
        if (open.unpacked == 0)
            throw Error(open.problems().empty() ? Quoted(PathFromUtf8(file).filename().string()) + " holds no bitmaps"
                                                : open.problems());
        outcome = SaveCommand(workspace, window);
        std::vector<std::string> lost;
        AppendLines(lost, open.problems());
        outcome.problems.insert(outcome.problems.begin(), lost.begin(), lost.end());
        if (!open.complete() && outcome.status == ThemeStatus::Converted)
            outcome.status = ThemeStatus::Partial;
        PreviewCommand(workspace, window, (workspace.folder() / kConvertPreviewName).string(), PreviewFileType::Jpeg);
    } catch (const std::exception& e) {
        outcome.status = ThemeStatus::Failed;
        AppendLines(outcome.problems, e.what());
    }
    TidyThemeFolder(workspace, outcome);
    return outcome;
}

std::vector<fs::path> ThemeFolders(const std::vector<std::string>& files, const fs::path& outFolder)
{
    std::vector<fs::path> folders;
    // The report page keeps its name: a theme called "index.html.sis" goes to "index.html-2".
    std::set<std::string> seen{"index.html"};
    for (const std::string& file : files) {
        std::string name = PathFromUtf8(file).stem().string();
        if (name.empty() || name == "." || name == "..")
            name = "theme";
        // Folder names are compared without regard to case, as Windows does.
        std::string chosen = name;
        for (int n = 2; seen.count(Lower(chosen)); ++n)
            chosen = name + "-" + std::to_string(n);
        seen.insert(Lower(chosen));
        folders.push_back(outFolder / PathFromUtf8(chosen));
    }
    return folders;
}

} // namespace vexaro::cli
