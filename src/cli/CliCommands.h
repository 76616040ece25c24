#pragma once
// The command line's commands: the window's buttons on a workspace folder, and the conversion
// of whole themes. Each throws vexaro::Error with the message to show when it fails.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/ConsoleWindow.h"
#include "preview/PreviewExport.h"
#include "import/ImportCommands.h"
#include "tool/Workspace.h"

namespace vexaro::cli {

// One "--set N=TEXT": field N (1 to 15) reads TEXT for this run.
using FieldOverride = std::pair<int, std::string>;

// Reads "N=TEXT". Throws Error("--set needs N=TEXT with N from 1 to 15: \"...\"").
FieldOverride ParseFieldOverride(const std::string& text);

// The fifteen field texts: from "Settings.ini" in `settingsFolder` when it has them, else the
// defaults, then the overrides in order.
FieldTexts LoadFieldTexts(const std::filesystem::path& settingsFolder, const std::vector<FieldOverride>& overrides);

// The theme file type: `typeOption` "sis" or "mbm" when given, else by the extension (".sis",
// ".mbm", any case). Throws Error when neither tells.
ThemeFileType ThemeTypeOf(const std::string& file, const std::string& typeOption);

// The preview type: `typeOption` "jpeg" or "bmp" when given, else by the extension (".jpg",
// ".jpeg", ".bmp"). Throws Error when neither tells.
PreviewFileType PreviewTypeOf(const std::string& file, const std::string& typeOption);

// Open: brings the theme into the workspace and unpacks it, as the window's Open button does,
// after removing what an earlier theme left in "Nokia\temp.mbm" and "Nokia\MBM\", so that a
// theme that yields nothing is reported instead of passing the earlier one off as its own.
// Returns the number of bitmaps unpacked. Fails when the file cannot be read, holds no
// multi-bitmap file, or the converter unpacks nothing.
int OpenCommand(const Workspace& workspace, const std::string& file, ThemeFileType type, ConsoleWindow& window);

// Save: builds the three Siemens files as the window's Save button does. Fails when no theme is
// open, with the build's message, or naming the files that came out empty (and the bitmaps the
// fields name that the theme lacks).
void SaveCommand(const Workspace& workspace, ConsoleWindow& window);

// Preview: draws the preview picture of the target screen and exports it as the window's
// export button does. Returns the name written (its extension set by the type).
std::string PreviewCommand(const Workspace& workspace, ConsoleWindow& window, const std::string& name, PreviewFileType type);

// Clear: throws the imported theme away.
void ClearCommand(const Workspace& workspace);

// The three files a save builds, as the system names them.
inline constexpr const char* kTargetFiles[] = {"Siemens\\Backgroundimage.mbm", "Siemens\\EidPic.mbm",
                                               "Siemens\\Menu_Folders.mbm"};
// The name of the preview a conversion exports into the theme's folder.
inline constexpr const char* kConvertPreviewName = "preview.jpg";

// Open, save and preview of one theme in its own workspace folder `themeFolder`. Relative
// names are taken from the current directory, which the commands change: give full names when
// converting more than one theme in a process.
struct ConvertOutcome {
    bool ok = false;
    std::string message;   // why it failed
};
ConvertOutcome ConvertTheme(const std::string& file, const std::string& typeOption,
                            const std::filesystem::path& themeFolder, const FieldTexts& fields,
                            std::ostream* progress);

// The line a conversion reports for its theme on standard output (the message of a failure goes
// to standard error): "converted FILE -> FOLDER: Siemens/... preview.jpg" or "failed    FILE".
std::string ConvertSummary(const std::string& file, const std::filesystem::path& themeFolder,
                           const ConvertOutcome& outcome);

// A folder under `outFolder` for each theme, named after it ("Theme.sis" -> "Theme"); a name
// that repeats gets "-2", "-3", ... .
std::vector<std::filesystem::path> ThemeFolders(const std::vector<std::string>& files,
                                                const std::filesystem::path& outFolder);

} // namespace vexaro::cli
