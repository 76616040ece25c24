// vexaro-cli: the window's commands on a workspace folder, a look inside a theme, and whole
// themes converted in one go. One function per sub-command; the work is in the command layer.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Elapsed.h"
#include "base/Error.h"
#include "cli/Batch.h"
#include "cli/BatchReport.h"
#include "cli/CliCommands.h"
#include "cli/PrefixedLines.h"
#include "cli/StandardInput.h"
#include "cli/ThemeSheet.h"
#include "import/ThemeInfo.h"
#include "cli/Wildcards.h"
#include "import/ThemeInspect.h"
#include "base/Unicode.h"

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

// Everything the command line can be given; each sub-command reads its part.
struct Arguments {
    const char* argv0 = nullptr;
    std::string workspace = ".";
    std::vector<std::string> sets;
    std::string file, type;               // open, info, convert
    std::string previewFile, previewType; // preview
    bool json = false;                    // info
    std::string sheet;                    // info --sheet
    std::vector<std::string> files;       // convert
    std::string out = "out";
    int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string report; // convert --report[=FILE]
    bool reportWanted = false;
    bool quiet = false;
    bool verbose = false;
};

// What every sub-command works with, once the arguments are read.
struct Context {
    Workspace workspace;
    FieldTexts fields;
};

using Command = int (*)(const Arguments&, const Context&);

constexpr const char* kProgramName = "vexaro-cli";

// The most themes converted at once.
constexpr int kMaxJobs = 256;

// -q: nothing but errors (and what info was asked for).
bool quietRun = false;
// -v: what the commands ran and how long they took, on standard error.
bool verboseRun = false;

constexpr const char* kExitStatuses =
    "Exit status: 0 done (every theme converted); 3 partial (at least one theme lacks bitmaps or\n"
    "Siemens files, what could be built was kept; none failed); 1 failed (a theme gave nothing\n"
    "usable, the converter failed, or a command could not be done); 2 bad arguments.";

// Progress is for people watching a terminal; logs and pipes get none.
std::ostream* ProgressStream() { return VEXARO_ISATTY(2) && !quietRun ? &std::cerr : nullptr; }

std::ostream* NotesStream() { return verboseRun ? &std::cerr : nullptr; }

// The time a whole command took, noted when it ends.
class CommandClock {
public:
    explicit CommandClock(std::string name) : name_(std::move(name)) {}
    ~CommandClock()
    {
        if (std::ostream* notes = NotesStream())
            *notes << name_ << " took " << MillisecondsText(clock_.lap()) << std::endl;
    }
    CommandClock(const CommandClock&) = delete;
    CommandClock& operator=(const CommandClock&) = delete;

private:
    std::string name_;
    Stopwatch clock_;
};

int OpenMain(const Arguments& a, const Context& c)
{
    ConsoleWindow window(c.fields, ProgressStream(), NotesStream());
    OpenOutcome outcome;
    if (a.file == "-") {
        const InputTheme input = ReadInputTheme(stdin, a.type);
        outcome = OpenCommand(c.workspace, input.bytes, kStandardInputName, input.type, window);
    } else {
        outcome = OpenCommand(c.workspace, a.file, ThemeTypeOf(a.file, a.type), window);
    }
    std::cout << "Opened " << VisibleText(a.file == "-" ? kStandardInputName : a.file) << ": " << outcome.unpacked
              << " bitmaps in " << VisibleText(c.workspace.unpacked().string()) << std::endl;
    for (const std::string& warning : outcome.warnings)
        std::cerr << warning << "\n";
    if (outcome.complete())
        return kExitDone;
    std::cerr << outcome.problems() << std::endl;
    return kExitFailed;
}

int SaveMain(const Arguments&, const Context& c)
{
    ConsoleWindow window(c.fields, ProgressStream(), NotesStream());
    const ThemeOutcome outcome = SaveCommand(c.workspace, window);
    for (std::size_t i = 0; i < outcome.built.size(); ++i)
        if (outcome.built[i])
            std::cout << VisibleText((c.workspace.folder() / NativePath(kSiemensFileNames[i])).string()) << "\n";
    std::cout << std::flush;
    for (const std::string& line : outcome.problems)
        std::cerr << line << "\n";
    return ExitStatus(outcome.status);
}

int PreviewMain(const Arguments& a, const Context& c)
{
    ConsoleWindow window(c.fields, nullptr);
    std::cout << PreviewCommand(c.workspace, window, a.previewFile, PreviewTypeOf(a.previewFile, a.previewType))
              << std::endl;
    return kExitDone;
}

int ClearMain(const Arguments&, const Context& c)
{
    ClearCommand(c.workspace);
    return kExitDone;
}

int InfoMain(const Arguments& a, const Context& c)
{
    const ThemeBytes theme = a.file.empty()  ? ReadWorkspaceTheme(c.workspace)
                             : a.file == "-" ? InputThemeBytes(ReadInputTheme(stdin, a.type))
                                             : ReadThemeFile(a.file, ThemeTypeOf(a.file, a.type));
    const ThemeFacts facts = DescribeTheme(theme, c.fields);
    std::cout << (a.json ? FactsJson(facts) : FactsText(facts)) << std::flush;
    if (!a.sheet.empty()) {
        WritePicture(ThemeSheet(theme, facts), a.sheet, PreviewTypeOf(a.sheet, ""), kSheetQuality);
        if (!a.json)
            std::cout << "\nContact sheet: " << VisibleText(a.sheet) << std::endl;
    }
    return kExitDone;
}

int ConvertMain(const Arguments& a, const Context& c)
{
    std::vector<BatchTheme> themes = BatchThemes(a.files, PathFromUtf8(a.out));
    // Standard input is read once, before any theme is converted.
    std::optional<InputTheme> input;
    for (BatchTheme& theme : themes)
        if (theme.file == "-") {
            input.emplace(ReadInputTheme(stdin, a.type));
            theme.input = &*input;
        }
    const fs::path shownReport =
        a.report == "true" || a.report.empty() ? PathFromUtf8(a.out) / "index.html" : PathFromUtf8(a.report);
    const fs::path report = a.reportWanted ? fs::absolute(shownReport) : fs::path();
    const bool one = themes.size() == 1;
    ThemeRunner runner = ConversionRunner(a.type, c.fields);
    if (a.reportWanted)
        runner = WithContactSheets(runner, a.type, c.fields);
    std::cout << std::flush;
    const std::vector<ThemeOutcome> results = RunBatch(
        themes, a.jobs, runner, BatchStreams{std::cout, std::cerr, one ? nullptr : ProgressStream(), NotesStream()});
    if (a.reportWanted) {
        WriteBatchReport(report, themes, results);
        std::cout << "Report: " << VisibleText(shownReport.string()) << "\n";
    }
    std::cout << TallyLine(results, PathFromUtf8(a.out)) << std::endl;
    return BatchStatus(results);
}

CLI::Option* AddThemeType(CLI::App* command, Arguments& a, const std::string& what)
{
    return command->add_option("--type", a.type, "sis or mbm" + what)->check(CLI::IsMember({"sis", "mbm"}));
}

void AddWorkspaceCommands(CLI::App& app, Arguments& a, std::vector<std::pair<CLI::App*, Command>>& commands)
{
    auto* open = app.add_subcommand("open", "Open a theme: unpack its multi-bitmap file into Nokia\\MBM\\");
    open->add_option("FILE", a.file, "Theme package (.sis) or multi-bitmap file (.mbm), - for standard input")
        ->required();
    AddThemeType(open, a, " (default: from the extension)");
    commands.emplace_back(open, OpenMain);

    auto* save = app.add_subcommand("save", "Build Siemens\\Backgroundimage.mbm, EidPic.mbm and Menu_Folders.mbm");
    commands.emplace_back(save, SaveMain);

    auto* preview = app.add_subcommand("preview", "Export the preview of the Siemens screen");
    preview->add_option("OUT", a.previewFile, "Picture to write (.jpg or .bmp)")->required();
    preview->add_option("--type", a.previewType, "jpeg or bmp (default: from the extension)")
        ->check(CLI::IsMember({"jpeg", "bmp"}));
    commands.emplace_back(preview, PreviewMain);

    commands.emplace_back(app.add_subcommand("clear", "Throw the opened theme away (Nokia\\)"), ClearMain);

    auto* info = app.add_subcommand(
        "info", "List a theme's bitmaps and the bitmap each number field names, with the numbers that would fit");
    info->add_option(
        "FILE", a.file,
        "Theme package or multi-bitmap file, - for standard input (default: the theme opened in the workspace)");
    AddThemeType(info, a, " (default: from the extension)");
    info->add_flag("--json", a.json, "Print one JSON object instead of the tables");
    info->add_option("--sheet", a.sheet, "Also write a picture of every bitmap with its number, size and depth")
        ->type_name("FILE.jpg|FILE.bmp")
        ->check(CLI::Validator(
            [](const std::string& name) {
                try {
                    (void)PreviewTypeOf(name, "");
                    return std::string();
                } catch (const Error&) {
                    return "the sheet's name must end in .jpg, .jpeg or .bmp: " + Quoted(name);
                }
            },
            ""));
    commands.emplace_back(info, InfoMain);
}

void AddConvertCommands(CLI::App& app, Arguments& a, std::vector<std::pair<CLI::App*, Command>>& commands)
{
    auto* convert =
        app.add_subcommand("convert", "Open, save and preview each theme in its own folder under the output folder");
    convert->add_option("FILE", a.files, "Themes to convert, - for standard input (converted into stdin)")->required();
    convert->add_option("--out", a.out, "Output folder")->capture_default_str();
    AddThemeType(convert, a, " for every FILE (default: from each extension)");
    convert->add_option("--jobs", a.jobs, "Themes converted at once (default: the number of cores)")
        ->check(CLI::Range(1, kMaxJobs));
    // A flag that takes a value only with "=", so that it never swallows the theme after it.
    // Given bare it reads "true" (a report named so is asked for as --report=./true).
    convert
        ->add_flag("--report", a.report, "Write an HTML page of the results: index.html in the output folder, or FILE")
        ->option_text("[=FILE]");
    commands.emplace_back(convert, ConvertMain);
}

// A failure: its message on standard error, and for info --json also as JSON on standard output,
// so that a script reading the output always reads one JSON object.
void ReportError(bool json, const std::string& text)
{
    if (json)
        std::cout << ErrorJson(text) << std::flush;
    std::cerr << text << std::endl;
}

// A mistake on the command line: what is wrong, and where to look.
std::string FailureMessage(const CLI::App* app, const CLI::Error& e)
{
    std::string command = kProgramName;
    for (const CLI::App* sub : app->get_subcommands())
        command += " " + sub->get_name();
    return std::string(e.what()) + "\ntry '" + command + " --help'\n";
}

// Words the parser did not take: an option no command knows, or a word too many.
void CheckNothingLeft(const CLI::App& app)
{
    const std::vector<std::string> left = app.remaining(true);
    if (!left.empty()) {
        const std::string& word = left.front();
        throw CLI::ExtrasError(word.size() > 1 && word[0] == '-' ? "unknown option " + word
                                                                 : "unexpected argument " + Quoted(word),
                               CLI::ExitCodes::ExtrasError);
    }
    if (app.get_subcommands().empty())
        throw CLI::RequiredError("a command is required: open, save, preview, clear, info or convert",
                                 CLI::ExitCodes::RequiredError);
}

// "--out o convert F" reads as "convert --out o F": a command's options given before the
// command go after it. Options of the program itself stay where they are.
std::vector<std::string> OptionsAfterCommand(const CLI::App& app, std::vector<std::string> words)
{
    const std::vector<const CLI::App*> commands = app.get_subcommands([](const CLI::App*) { return true; });
    auto commandOption = [&](const std::string& name) -> const CLI::Option* {
        for (const CLI::App* command : commands)
            if (const CLI::Option* option = command->get_option_no_throw(name))
                return option;
        return nullptr;
    };
    std::vector<std::string> moved;
    std::vector<std::string> kept{words.front()};
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        const auto command =
            std::find_if(commands.begin(), commands.end(), [&](const CLI::App* c) { return c->get_name() == word; });
        if (word == "--" || command != commands.end()) {
            kept.push_back(word);
            kept.insert(kept.end(), moved.begin(), moved.end());
            kept.insert(kept.end(), words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
            return kept;
        }
        const std::string name = word.substr(0, word.find('='));
        const bool joined = name.size() < word.size();
        const CLI::Option* own = word.size() > 1 && word[0] == '-' ? app.get_option_no_throw(name) : nullptr;
        const CLI::Option* other = word.size() > 1 && word[0] == '-' && !own ? commandOption(name) : nullptr;
        std::vector<std::string>& to = other ? moved : kept;
        to.push_back(word);
        const CLI::Option* option = own ? own : other;
        if (option && !joined && option->get_items_expected_max() > 0 && i + 1 < words.size())
            to.push_back(words[++i]);
    }
    kept.insert(kept.end(), moved.begin(), moved.end());
    return kept;
}

// The options of the program itself, which may stand before or after the command.
void AddCommonOptions(CLI::App& app, Arguments& a)
{
    app.add_option("--workspace", a.workspace, "Workspace folder (Nokia\\, Nokia\\MBM\\, Siemens\\, Settings.ini)")
        ->capture_default_str();
    app.add_option("--set", a.sets, "Use TEXT as bitmap number N (1 to 15) for this run; may be repeated")
        ->type_name("N=TEXT")
        ->allow_extra_args(false)
        ->check(CLI::Validator(
            [](const std::string& text) {
                try {
                    (void)ParseFieldOverride(text);
                    return std::string();
                } catch (const Error& e) {
                    const std::string message = e.what(); // the parser names the option itself
                    return message.rfind("--set ", 0) == 0 ? message.substr(6) : message;
                }
            },
            ""));
    app.add_flag("-q,--quiet", a.quiet, "Print errors only (info still prints what it is asked for)");
    app.add_flag("-v,--verbose", a.verbose, "Also tell what the converter was run with and said, and each step's time");
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Vexaro: turns Nokia phone themes (.sis packages, .mbm files) into Siemens theme files.\n"
                 "The bitmap numbers come from Settings.ini in the workspace, else the defaults.",
                 "vexaro-cli"};
    app.require_subcommand(0, 1);
    app.fallthrough();
    app.allow_extras();
    app.footer(kExitStatuses);
    app.set_version_flag("--version", "vexaro-cli (Vexaro) " VEXARO_VERSION);
    app.failure_message(FailureMessage);

    Arguments a;
    a.argv0 = argc > 0 ? argv[0] : nullptr;
    UseUtf8Console();
    // Every line on standard error starts with the program's name, whoever writes it.
    std::streambuf* const errorTarget = std::cerr.rdbuf();
    PrefixedLines errors(errorTarget, std::string(kProgramName) + ": ");
    std::cerr.rdbuf(&errors);
    struct RestoreErrors {
        std::streambuf* target;
        ~RestoreErrors() { std::cerr.rdbuf(target); }
    } restoreErrors{errorTarget};
    AddCommonOptions(app, a);
    std::vector<std::pair<CLI::App*, Command>> commands;
    AddWorkspaceCommands(app, a, commands);
    AddConvertCommands(app, a, commands);

    // The arguments as UTF-8 text, on Windows too, where the program expands the wildcards of
    // theme names itself.
    std::vector<std::string> words = ProgramArguments(argc, argv);
    words.insert(words.begin(), a.argv0 != nullptr ? a.argv0 : "vexaro-cli");
    words = OptionsAfterCommand(app, std::move(words));
    std::vector<const char*> pointers;
    for (const std::string& w : words)
        pointers.push_back(w.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
        CheckNothingLeft(app);
        if (a.quiet && a.verbose)
            throw CLI::ValidationError("--quiet and --verbose exclude each other");
        if (std::count(a.files.begin(), a.files.end(), "-") > 1)
            throw CLI::ValidationError("FILE", "standard input can be read only once: give - once");
#ifdef _WIN32
        a.files = ExpandWildcards(a.files);
        if (!a.file.empty() && a.file != "-") {
            const std::vector<std::string> matches = ExpandWildcards({a.file});
            if (matches.size() != 1)
                throw CLI::ValidationError("FILE", Quoted(a.file) + " names " + std::to_string(matches.size()) +
                                                       " files; give one");
            a.file = matches.front();
        }
#endif
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e) == 0 ? kExitDone : kExitBadArguments;
        if (std::find(words.begin(), words.end(), "--json") != words.end())
            std::cout << ErrorJson(e.what()) << std::flush;
        app.exit(e);
        return kExitBadArguments;
    }
    // -q: standard output says nothing but what info was asked for.
    quietRun = a.quiet;
    verboseRun = a.verbose;
    if (a.quiet && !app.got_subcommand("info"))
        std::cout.rdbuf(nullptr);
    try {
        std::vector<FieldOverride> overrides;
        for (const std::string& s : a.sets)
            overrides.push_back(ParseFieldOverride(s));
        const Workspace workspace(fs::absolute(PathFromUtf8(a.workspace)));
        const Context context{workspace, LoadFieldTexts(workspace.folder(), overrides)};
        a.reportWanted = app.get_subcommand("convert")->count("--report") > 0;
        for (const auto& [command, run] : commands)
            if (command->parsed()) {
                const CommandClock clock(command->get_name());
                return run(a, context);
            }
    } catch (const std::exception& e) {
        ReportError(a.json, e.what());
        return kExitFailed;
    }
    return kExitDone;
}
