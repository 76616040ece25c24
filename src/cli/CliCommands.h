#pragma once
// The command line's commands: the window's buttons on a workspace folder, and the conversion
// of whole themes. Each throws vexaro::Error with the message to show when it fails.
#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/ConsoleWindow.h"
#include "convert/ThemeConversion.h"
#include "import/ImportCommands.h"
#include "siemens/ThemeBuild.h"
#include "preview/PreviewExport.h"
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

// Whether the converter lies beside this program, where the commands run it from. Where it
// does not, they install the carried one into the workspace first.
bool ConverterBesideProgram();

// Open: brings the theme into the workspace and unpacks it, as the window's Open button does
// (a new theme replaces the old one). Returns what was unpacked, also when bitmaps were lost
// (OpenOutcome::problems() tells which). Throws when the file cannot be read, is damaged or
// holds no multi-bitmap file, or the converter cannot be run.
OpenOutcome OpenCommand(const Workspace& workspace, const std::string& file, ThemeFileType type, ConsoleWindow& window);

// The same for a theme file whose bytes are `bytes` (standard input), called `name` in messages.
OpenOutcome OpenCommand(const Workspace& workspace, std::span<const std::uint8_t> bytes, const std::string& name,
                        ThemeFileType type, ConsoleWindow& window);

// Exit statuses of the program: every theme converted (or a command done), at least one
// partial and none failed, any failure, bad arguments.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitPartial = 3;

// kExitDone, kExitPartial or kExitFailed.
int ExitStatus(ThemeStatus status);

// The preview a conversion writes beside its Siemens files.
inline constexpr const char* kConvertPreviewName = "preview.jpg";
// The contact sheet a conversion with a report writes beside the preview.
inline constexpr const char* kSheetName = "sheet.jpg";

// Save: builds the three Siemens files as the window's Save button does and keeps every one
// that was built. Throws when no theme is open or a build cannot go on (an unreadable bitmap,
// a file that cannot be written, a converter that cannot be run).
ThemeOutcome SaveCommand(const Workspace& workspace, ConsoleWindow& window);

// Preview: draws the preview picture of the target screen and exports it as the window's
// export button does. Returns the name written (its extension set by the type).
std::string PreviewCommand(const Workspace& workspace, ConsoleWindow& window, const std::string& name,
                           PreviewFileType type);

// Clear: throws the imported theme away.
void ClearCommand(const Workspace& workspace);

// Converts the theme file `file` into its own folder `themeFolder` (ConvertTheme in memory):
// the file is read once, where it lies, and the folder gets the Siemens files that were built
// ("Siemens\...") and the preview (kConvertPreviewName), each written to a temporary file that
// replaces it only when complete. A file of those four names that this conversion did not make
// is removed, so that nothing of an earlier conversion passes for this one's; nothing else in
// the folder is touched, and a conversion that made nothing creates no folder. Never throws: a
// file that cannot be read or written makes the theme Failed with the message. The outcome's
// notes tell how long each step took.
ThemeOutcome ConvertThemeFile(const std::string& file, const std::string& typeOption,
                              const std::filesystem::path& themeFolder, const FieldTexts& fields);

// The same for a theme file whose bytes are `bytes` (standard input), called `name` in messages.
ThemeOutcome ConvertThemeBytes(std::span<const std::uint8_t> bytes, const std::string& name, ThemeFileType type,
                               const std::filesystem::path& themeFolder, const FieldTexts& fields);

// A folder under `outFolder` for each theme, named after it ("Theme.sis" -> "Theme", standard
// input "-" -> "stdin"); a name that repeats gets "-2", "-3", ... .
std::vector<std::filesystem::path> ThemeFolders(const std::vector<std::string>& files,
                                                const std::filesystem::path& outFolder);

} // namespace vexaro::cli
