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
#include "target/ThemeBuild.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "Theme.SIS" -> "sis"; "" when the name has no extension.
std::string LowerExtension(const std::string& file)
{
    const std::string ext = fs::path(file).extension().string();
    return ext.empty() ? ext : Lower(ext.substr(1));
}

int CountBitmaps(const fs::path& folder)
{
    std::error_code ec;
    int count = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (LowerExtension(it->path().filename().string()) == "bmp")
            ++count;
    return count;
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
    const ProfileFile settings(settingsFolder / "Settings.ini");
    FieldTexts texts;
    for (int n = 1; n <= kFieldCount; ++n)
        texts[static_cast<std::size_t>(n - 1)] = settings.read(kFieldSettingsSection, std::to_string(n), FieldDefault(n));
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

int OpenCommand(const Workspace& workspace, const std::string& file, ThemeFileType type, ConsoleWindow& window)
{
    // The commands make the workspace the current directory: hold the theme by its full name.
    std::error_code ec;
    const fs::path theme = fs::absolute(fs::path(file), ec);
    fs::create_directories(workspace.folder(), ec);
    InstallConverter(workspace.folder());

    window.setActivity("open");
    const OpenOutcome outcome = OpenTheme(workspace, theme.string(), type, window, [] {});
    window.endProgress();
    if (!window.messages().empty())
        throw Error(window.messages().front());
    if (!outcome.complete())
        throw Error(outcome.problems());
    return outcome.unpacked;
}

void SaveCommand(const Workspace& workspace, ConsoleWindow& window)
{
    std::error_code ec;
    if (CountBitmaps(workspace.unpacked()) == 0)
        throw Error("No theme is open in " + Quoted(workspace.folder().string()) + ": open one first");
    fs::create_directories(workspace.folder(), ec);
    InstallConverter(workspace.folder());
    window.setActivity("save");
    const SaveOutcome outcome = SaveTheme(workspace, window);
    window.endProgress();
    std::string missing;
    for (const TargetOutcome& target : outcome.targets)
        if (!target.built)
            missing += (missing.empty() ? "" : ", ") + Quoted(target.file);
    if (!missing.empty())
        throw Error("The converter did not build " + missing + "\n" + outcome.problems());
}

std::string PreviewCommand(const Workspace& workspace, ConsoleWindow& window, const std::string& name, PreviewFileType type)
{
    Bitmap image1;
    DrawTargetPreview(workspace, window, image1);
    return ExportPreview(image1, name, type);
}

void ClearCommand(const Workspace& workspace) { ClearTheme(workspace, [] {}); }

ConvertOutcome ConvertTheme(const std::string& file, const std::string& typeOption, const fs::path& themeFolder,
                            const FieldTexts& fields, std::ostream* progress)
{
    ConvertOutcome outcome;
    try {
        const ThemeFileType type = ThemeTypeOf(file, typeOption);
        std::error_code ec;
        const Workspace workspace(fs::absolute(themeFolder, ec));
        ConsoleWindow window(fields, progress);
        OpenCommand(workspace, file, type, window);
        SaveCommand(workspace, window);
        PreviewCommand(workspace, window, (workspace.folder() / kConvertPreviewName).string(), PreviewFileType::Jpeg);
        outcome.ok = true;
    } catch (const std::exception& e) {
        outcome.message = e.what();
    }
    return outcome;
}

std::string ConvertSummary(const std::string& file, const fs::path& themeFolder, const ConvertOutcome& outcome)
{
    if (!outcome.ok)
        return "failed    " + file;
    std::string line = "converted " + file + " -> " + themeFolder.string() + ":";
    for (const char* target : kTargetFiles)
        line += " " + NativePath(target).string();
    return line + " " + kConvertPreviewName;
}

std::vector<fs::path> ThemeFolders(const std::vector<std::string>& files, const fs::path& outFolder)
{
    std::vector<fs::path> folders;
    std::set<std::string> seen;
    for (const std::string& file : files) {
        std::string name = fs::path(file).stem().string();
        if (name.empty() || name == "." || name == "..")
            name = "theme";
        // Folder names are compared without regard to case, as Windows does.
        std::string chosen = name;
        for (int n = 2; seen.count(Lower(chosen)); ++n)
            chosen = name + "-" + std::to_string(n);
        seen.insert(Lower(chosen));
        folders.push_back(outFolder / chosen);
    }
    return folders;
}

} // namespace vexaro::cli
