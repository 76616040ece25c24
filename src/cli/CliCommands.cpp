#include "cli/CliCommands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <set>
#include <system_error>

#include "tool/ConverterInstall.h"
#include "base/Elapsed.h"
#include "base/Error.h"
#include "tool/FileHelpers.h"
#include "preview/PreviewExport.h"
#include "tool/ProfileFile.h"
#include "preview/TargetPreview.h"
#include "siemens/ThemeBuild.h"
#include "base/Files.h"
#include "base/Unicode.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

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

namespace {

// Runs `open` as the Open command: in a workspace made where missing, with a converter to run,
// the window's message becoming the error.
OpenOutcome OpenInWorkspace(const Workspace& workspace, ConsoleWindow& window, const std::function<OpenOutcome()>& open)
{
    MakeWorkspaceFolder(workspace);
    if (!ConverterBesideProgram())
        InstallConverter(workspace.folder());
    window.setActivity("open");
    const OpenOutcome outcome = open();
    window.endProgress();
    if (!window.messages().empty())
        throw Error(window.messages().front());
    return outcome;
}

} // namespace

OpenOutcome OpenCommand(const Workspace& workspace, const std::string& file, ThemeFileType type, ConsoleWindow& window)
{
    // The commands make the workspace the current directory: hold the theme by its full name.
    std::error_code ec;
    const fs::path theme = fs::absolute(PathFromUtf8(file), ec);
    return OpenInWorkspace(workspace, window,
                           [&] { return OpenTheme(workspace, theme.string(), type, window, [] {}); });
}

OpenOutcome OpenCommand(const Workspace& workspace, std::span<const std::uint8_t> bytes, const std::string& name,
                        ThemeFileType type, ConsoleWindow& window)
{
    return OpenInWorkspace(workspace, window,
                           [&] { return OpenThemeBytes(workspace, bytes, name, type, window, [] {}); });
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

// The four files a conversion writes into its folder, in the order of ThemeOutcome: the three
// Siemens files, then the preview.
std::array<fs::path, 4> ConversionFiles(const fs::path& folder)
{
    return {folder / NativePath(kSiemensFileNames[0]), folder / NativePath(kSiemensFileNames[1]),
            folder / NativePath(kSiemensFileNames[2]), folder / kConvertPreviewName};
}

// Removes `folder` when it is a real folder (not a link) and empty.
void RemoveEmptyFolder(const fs::path& folder)
{
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(folder, ec)) && fs::is_empty(folder, ec) && !ec)
        fs::remove(folder, ec);
}

// Writes what `conversion` made into `folder` and removes a file of the same names that it did
// not make (a folder of such a name stays). `outcome` then tells what is there.
void WriteConversion(const fs::path& folder, const ThemeConversion& conversion, ThemeOutcome& outcome)
{
    const std::array<fs::path, 4> paths = ConversionFiles(folder);
    const std::array<const std::vector<std::uint8_t>*, 4> bytes{&conversion.files[0], &conversion.files[1],
                                                                &conversion.files[2], &conversion.previewJpeg};
    outcome.built = {};
    outcome.preview = false;
    std::error_code ec;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!bytes[i]->empty())
            continue;
        if (fs::is_regular_file(fs::symlink_status(paths[i], ec)) || IsLink(paths[i]))
            fs::remove(paths[i], ec);
    }
    const bool anySiemens = !bytes[0]->empty() || !bytes[1]->empty() || !bytes[2]->empty();
    if (anySiemens)
        EnsureRealFolder(folder / "Siemens");
    else if (!bytes[3]->empty())
        EnsureRealFolder(folder);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (bytes[i]->empty())
            continue;
        WriteFileReplacing(paths[i], *bytes[i]);
        if (i < outcome.built.size())
            outcome.built[i] = true;
        else
            outcome.preview = true;
    }
    // A folder left empty goes, as it would not have been made.
    RemoveEmptyFolder(folder / "Siemens");
    RemoveEmptyFolder(folder);
}

ThemeConversion ConvertFile(const std::string& file, const std::string& typeOption, const FieldTexts& fields)
{
    const ThemeFileType type = ThemeTypeOf(file, typeOption);
    const fs::path path = PathFromUtf8(file);
    PositionedFile theme;
    int error = 0;
    if (const ReadFailure failure = theme.open(path, error); failure != ReadFailure::None)
        throw Error("Cannot open file " + Quoted(file) + ". " + ReadFailureReason(failure, error, 0));
    return ConvertTheme(ByteSource(theme, "Cannot read file " + Quoted(file) + ". "), type, path.filename().string(),
                        fields);
}

// Writes what was made, and notes how long each step took.
ThemeOutcome Written(ThemeConversion& conversion, const fs::path& themeFolder)
{
    ThemeOutcome outcome = std::move(conversion.outcome);
    Stopwatch clock;
    try {
        WriteConversion(themeFolder, conversion, outcome);
    } catch (const std::exception& e) {
        outcome.status = ThemeStatus::Failed;
        AppendLines(outcome.problems, e.what());
    }
    // Writing is a step of every theme: it also takes away the files an earlier run left.
    conversion.steps.emplace_back("write", clock.lap());
    std::string note;
    for (const auto& [step, took] : conversion.steps)
        note += (note.empty() ? "" : ", ") + step + " " + MillisecondsText(took);
    outcome.notes.push_back(note);
    return outcome;
}

} // namespace

ThemeOutcome ConvertThemeFile(const std::string& file, const std::string& typeOption, const fs::path& themeFolder,
                              const FieldTexts& fields)
{
    ThemeConversion conversion;
    try {
        conversion = ConvertFile(file, typeOption, fields);
    } catch (const std::exception& e) {
        AppendLines(conversion.outcome.problems, e.what());
    }
    return Written(conversion, themeFolder);
}

ThemeOutcome ConvertThemeBytes(std::span<const std::uint8_t> bytes, const std::string& name, ThemeFileType type,
                               const fs::path& themeFolder, const FieldTexts& fields)
{
    ThemeConversion conversion = ConvertTheme(ByteSource(bytes), type, name, fields);
    return Written(conversion, themeFolder);
}

std::vector<fs::path> ThemeFolders(const std::vector<std::string>& files, const fs::path& outFolder)
{
    std::vector<fs::path> folders;
    // The report page keeps its name: a theme called "index.html.sis" goes to "index.html-2".
    std::set<std::string> seen{"index.html"};
    for (const std::string& file : files) {
        std::string name = file == "-" ? "stdin" : PathFromUtf8(file).stem().string();
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
