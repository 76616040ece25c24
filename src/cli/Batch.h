#pragma once
// Converting many themes: each in its own folder, several at a time on threads of this process,
// each theme's summary line in the order the themes were given, a progress line on a terminal,
// and the tally and exit status at the end. How one theme is converted is the caller's.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/StandardInput.h"

namespace vexaro::cli {

struct BatchTheme {
    std::string file;                  // as the user named it, for the summary lines
    std::string fullFile;              // in full, for the work
    std::filesystem::path folder;      // its folder under the output folder as the user named it
    std::filesystem::path fullFolder;  // in full
    const InputTheme* input = nullptr; // the theme read from standard input, when it is "-"
};

// The themes of `files`, each with its folder under `outFolder` (ThemeFolders).
std::vector<BatchTheme> BatchThemes(const std::vector<std::string>& files, const std::filesystem::path& outFolder);

// Converts one theme. With more than one job it is called from several threads at once. What it
// throws counts as the theme's failure.
using ThemeRunner = std::function<ThemeOutcome(const BatchTheme&)>;

struct BatchStreams {
    std::ostream& out;             // a summary line per theme
    std::ostream& err;             // the reasons of failures
    std::ostream* progress;        // the progress line, redrawn in place; nullptr for none
    std::ostream* notes = nullptr; // each theme's notes after its summary line; nullptr for none
};

// Runs `runner` over `themes` on `jobs` threads, each taking the next theme when it has ended its
// last, so that at most `jobs` themes are in hand at once, and returns their outcomes in the
// order of `themes`. A theme's summary line goes out whole once it and every theme before it
// have ended; a runner that throws fails its theme and the batch goes on.
std::vector<ThemeOutcome> RunBatch(const std::vector<BatchTheme>& themes, int jobs, const ThemeRunner& runner,
                                   const BatchStreams& streams);

// "converted FILE -> FOLDER: Siemens/Backgroundimage.mbm ... preview.jpg",
// "partial   FILE -> FOLDER: <what was built>; <problem>; <problem>", "failed    FILE -> FOLDER:
// <what it holds>" when something was written, else "failed    FILE".
std::string SummaryLine(const BatchTheme& theme, const ThemeOutcome& outcome);

// "C of N themes converted into OUT", with ", P partial" and ", F failed" where there are any.
std::string TallyLine(const std::vector<ThemeOutcome>& outcomes, const std::filesystem::path& outFolder);
// The same without " into OUT".
std::string TallyText(const std::vector<ThemeOutcome>& outcomes);

// kExitDone when every theme converted, kExitFailed when any failed, else kExitPartial.
int BatchStatus(const std::vector<ThemeOutcome>& outcomes);

// The progress line: "[#####......] 3/20 0:12 Theme4.sis", redrawn in place on `stream`.
std::string ProgressText(std::size_t done, std::size_t total, long seconds, const std::string& current);

// The runner of `convert`: each theme converted into its folder (ConvertThemeFile, or
// ConvertThemeBytes for the one read from standard input), `typeOption` "sis", "mbm" or "" (by
// each extension).
ThemeRunner ConversionRunner(const std::string& typeOption, const FieldTexts& fields);

// A runner that runs `inner`, then writes the theme's contact sheet into its folder and finds
// the --set line a look inside the theme with `fields` suggests (ThemeOutcome::sheet and
// suggestedSet). A theme that cannot be read, or decodes to too many pixels, gets neither.
ThemeRunner WithContactSheets(ThemeRunner inner, const std::string& typeOption, const FieldTexts& fields);

} // namespace vexaro::cli
