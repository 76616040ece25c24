#pragma once
// The command line's commands: the window's buttons on a workspace folder, and the conversion
// of whole themes. Each throws vexaro::Error with the message to show when it fails.
#include <array>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "cli/ConsoleWindow.h"
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

// How a theme came out, from the user's side:
//   Converted  all three Siemens files were built from every bitmap their fields name;
//   Partial    what could be built was, and `problems` says what is missing and why;
//   Failed     nothing usable came out of the theme (it could not be opened, holds no bitmap
//              that a field names, or no Siemens file was built), or the converter failed for
//              a reason other than missing bitmaps.
enum class ThemeStatus { Converted, Partial, Failed };

// "converted", "partial", "failed".
const char* StatusWord(ThemeStatus status);

// Exit statuses of the program: every theme converted (or a command done), at least one
// partial and none failed, any failure, bad arguments.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitPartial = 3;

// kExitDone, kExitPartial or kExitFailed.
int ExitStatus(ThemeStatus status);

// The three files a save builds, as the system names them, and the preview a conversion writes.
inline constexpr const char* kTargetFiles[] = {"Siemens\\Backgroundimage.mbm", "Siemens\\EidPic.mbm",
                                               "Siemens\\Menu_Folders.mbm"};
inline constexpr const char* kConvertPreviewName = "preview.jpg";
// The contact sheet a conversion with a report writes beside the preview.
inline constexpr const char* kSheetName = "sheet.jpg";

struct ThemeOutcome {
    ThemeStatus status = ThemeStatus::Failed;
    std::array<bool, 3> built{};       // kTargetFiles that are there
    bool preview = false;              // kConvertPreviewName is there
    std::vector<std::string> problems; // one line each: lost bitmaps, missing fields, errors
    bool sheet = false;                // kSheetName is there
    std::string suggestedSet;          // the --set line a look inside the theme suggests, if any
};

// The lines of `text` that are not empty, added to `lines`.
void AppendLines(std::vector<std::string>& lines, const std::string& text);

// How a save came out: Failed when no file was built, when no field named a bitmap of the
// theme, or when the converter did not build a file whose bitmaps were all there; else Partial
// when a field's bitmap was missing; else Converted. `built` as the save tells, the problems
// one line per target (SaveOutcome::problems), `preview` false.
ThemeOutcome JudgeSave(const SaveOutcome& save);

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

// Open, save and preview of one theme in its own folder `themeFolder`, which then holds only
// the Siemens files that were built and the preview: the unpacked theme, the builds'
// intermediate pictures and a converter installed for the run are removed again, and so are
// the results of an earlier conversion into the same folder. Never throws. Relative names are
// taken from the current directory, which the commands change: give full names when
// converting more than one theme in a process.
ThemeOutcome ConvertTheme(const std::string& file, const std::string& typeOption,
                          const std::filesystem::path& themeFolder, const FieldTexts& fields, std::ostream* progress);

// A folder under `outFolder` for each theme, named after it ("Theme.sis" -> "Theme"); a name
// that repeats gets "-2", "-3", ... .
std::vector<std::filesystem::path> ThemeFolders(const std::vector<std::string>& files,
                                                const std::filesystem::path& outFolder);

} // namespace vexaro::cli
