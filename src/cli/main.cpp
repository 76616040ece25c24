// vexaro-cli: the window's commands on a workspace folder, and whole themes converted in one go.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliCommands.h"
#include "base/Error.h"
#include "cli/Workers.h"

#ifdef _WIN32
#include <io.h>
#define VEXARO_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define VEXARO_ISATTY(fd) isatty(fd)
#endif

namespace fs = std::filesystem;
using namespace vexaro;
using namespace vexaro::cli;

namespace {

// Progress is for people watching a terminal; logs and pipes get none.
std::ostream* ProgressStream() { return VEXARO_ISATTY(2) ? &std::cerr : nullptr; }

std::vector<FieldOverride> Overrides(const std::vector<std::string>& sets)
{
    std::vector<FieldOverride> overrides;
    for (const std::string& s : sets)
        overrides.push_back(ParseFieldOverride(s));
    return overrides;
}

// Copies of this program share standard output and error: each line goes out in one piece.
void WriteLine(std::ostream& out, const std::string& text)
{
    out << (text + "\n") << std::flush;
}

int ReportConversion(const std::string& file, const fs::path& folder, const ConvertOutcome& outcome)
{
    WriteLine(std::cout, ConvertSummary(file, folder, outcome));
    if (!outcome.ok)
        WriteLine(std::cerr, file + ": " + outcome.message);
    return outcome.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Vexaro: turns Nokia phone themes (.sis packages, .mbm files) into Siemens theme files.\n"
                 "The bitmap numbers come from Settings.ini in the workspace, else the defaults.",
                 "vexaro-cli"};
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", "vexaro-cli (Vexaro) " VEXARO_VERSION);

    std::string workspaceDir = ".";
    std::vector<std::string> sets;
    app.add_option("--workspace", workspaceDir, "Workspace folder (Nokia\\, Nokia\\MBM\\, Siemens\\, Settings.ini)")
        ->capture_default_str();
    app.add_option("--set", sets, "Use TEXT as bitmap number N (1 to 15) for this run; may be repeated")
        ->type_name("N=TEXT");

    std::string themeFile, themeType;
    auto* open = app.add_subcommand("open", "Open a theme: unpack its multi-bitmap file into Nokia\\MBM\\");
    open->add_option("FILE", themeFile, "Theme package (.sis) or multi-bitmap file (.mbm)")->required();
    open->add_option("--type", themeType, "sis or mbm (default: from the extension)")
        ->check(CLI::IsMember({"sis", "mbm"}));

    auto* save = app.add_subcommand("save", "Build Siemens\\Backgroundimage.mbm, EidPic.mbm and Menu_Folders.mbm");

    std::string previewFile, previewType;
    auto* preview = app.add_subcommand("preview", "Export the preview of the Siemens screen");
    preview->add_option("OUT", previewFile, "Picture to write (.jpg or .bmp)")->required();
    preview->add_option("--type", previewType, "jpeg or bmp (default: from the extension)")
        ->check(CLI::IsMember({"jpeg", "bmp"}));

    auto* clear = app.add_subcommand("clear", "Throw the opened theme away (Nokia\\)");

    std::vector<std::string> convertFiles;
    std::string outDir = "out";
    int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    auto* convert = app.add_subcommand(
        "convert", "Open, save and preview each theme in its own folder under the output folder");
    convert->add_option("FILE", convertFiles, "Themes to convert")->required();
    convert->add_option("--out", outDir, "Output folder")->capture_default_str();
    convert->add_option("--type", themeType, "sis or mbm for every FILE (default: from each extension)")
        ->check(CLI::IsMember({"sis", "mbm"}));
    convert->add_option("--jobs", jobs, "Themes converted at once (default: the number of cores)")
        ->check(CLI::PositiveNumber);

    // One theme of a conversion, run as a copy of this program.
    // NAME and FOLDER as the user gave them, for the summary; FILE and FOLDER in full, for the work.
    std::string oneName, oneFolder, oneShown;
    auto* convertOne = app.add_subcommand("convert-one", "")->group("");
    convertOne->add_option("NAME", oneName)->required();
    convertOne->add_option("FILE", themeFile)->required();
    convertOne->add_option("FOLDER", oneFolder)->required();
    convertOne->add_option("SHOWN", oneShown)->required();
    convertOne->add_option("--type", themeType);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    try {
        const std::vector<FieldOverride> overrides = Overrides(sets);
        const Workspace workspace(fs::absolute(fs::path(workspaceDir)));
        const FieldTexts fields = LoadFieldTexts(workspace.folder(), overrides);

        if (open->parsed()) {
            ConsoleWindow window(fields, ProgressStream());
            const int bitmaps = OpenCommand(workspace, themeFile, ThemeTypeOf(themeFile, themeType), window);
            std::cout << "Opened " << themeFile << ": " << bitmaps << " bitmaps in "
                      << workspace.unpacked().string() << std::endl;
        } else if (save->parsed()) {
            ConsoleWindow window(fields, ProgressStream());
            SaveCommand(workspace, window);
            for (const char* target : kTargetFiles)
                std::cout << (workspace.folder() / NativePath(target)).string() << "\n";
        } else if (preview->parsed()) {
            ConsoleWindow window(fields, nullptr);
            std::cout << PreviewCommand(workspace, window, previewFile, PreviewTypeOf(previewFile, previewType))
                      << std::endl;
        } else if (clear->parsed()) {
            ClearCommand(workspace);
        } else if (convertOne->parsed()) {
            return ReportConversion(oneName, oneShown, ConvertTheme(themeFile, themeType, oneFolder, fields, nullptr));
        } else if (convert->parsed()) {
            // The commands change the current directory: hold every name in full from here on.
            const std::vector<fs::path> shown = ThemeFolders(convertFiles, outDir);
            std::vector<fs::path> folders;
            std::vector<std::string> themes;
            for (std::size_t i = 0; i < convertFiles.size(); ++i) {
                folders.push_back(fs::absolute(shown[i]));
                themes.push_back(fs::absolute(fs::path(convertFiles[i])).string());
            }
            int failed = 0;
            if (jobs == 1 || convertFiles.size() == 1) {
                for (std::size_t i = 0; i < convertFiles.size(); ++i)
                    failed += ReportConversion(convertFiles[i], shown[i],
                                               ConvertTheme(themes[i], themeType, folders[i], fields, ProgressStream()));
            } else {
                std::vector<std::vector<std::string>> runs;
                for (std::size_t i = 0; i < convertFiles.size(); ++i) {
                    std::vector<std::string> args{"--workspace", workspace.folder().string()};
                    for (const std::string& s : sets)
                        args.insert(args.end(), {"--set", s});
                    args.insert(args.end(), {"convert-one", convertFiles[i], themes[i], folders[i].string(),
                                             shown[i].string()});
                    if (!themeType.empty())
                        args.insert(args.end(), {"--type", themeType});
                    runs.push_back(std::move(args));
                }
                std::cout << std::flush;
                const std::vector<int> statuses = RunWorkers(ThisProgram(argv[0]), runs, jobs);
                for (std::size_t i = 0; i < statuses.size(); ++i) {
                    if (statuses[i] == 0)
                        continue;
                    ++failed;
                    if (statuses[i] != 1)   // the copy could not report for itself
                        std::cerr << convertFiles[i] << ": the conversion ended with status " << statuses[i] << std::endl;
                }
            }
            std::cout << convertFiles.size() - static_cast<std::size_t>(failed) << " of " << convertFiles.size()
                      << " themes converted into " << fs::path(outDir).string() << std::endl;
            return failed == 0 ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    return 0;
}
