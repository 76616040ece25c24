#include "cli/Batch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>

#include "base/Error.h"
#include "base/Files.h"
#include "cli/ThemeInfo.h"
#include "cli/Workers.h"
#include "tool/Workspace.h"
#include "base/Unicode.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

// A line on a terminal is no longer than this, so that a carriage return gets back to its start.
constexpr std::size_t kProgressWidth = 79;
constexpr std::size_t kProgressBarCells = 20;

class ProgressLine {
public:
    ProgressLine(std::ostream* stream, std::size_t total)
        : stream_(stream), total_(total), start_(std::chrono::steady_clock::now())
    {
    }

    void draw(std::size_t done, const std::string& current)
    {
        if (!stream_)
            return;
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        const long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
        std::string line = ProgressText(done, total_, seconds, current);
        const std::size_t width = line.size();
        if (line.size() < drawn_)
            line.append(drawn_ - line.size(), ' ');
        *stream_ << '\r' << line << std::flush;
        drawn_ = width;
    }

    void clear()
    {
        if (!stream_ || drawn_ == 0)
            return;
        *stream_ << '\r' << std::string(drawn_, ' ') << '\r' << std::flush;
        drawn_ = 0;
    }

private:
    std::ostream* stream_;
    std::size_t total_;
    std::chrono::steady_clock::time_point start_;
    std::size_t drawn_ = 0;
};

ThemeOutcome RunOne(const ThemeRunner& runner, const BatchTheme& theme)
{
    try {
        return runner(theme);
    } catch (const std::exception& e) {
        ThemeOutcome failed;
        AppendLines(failed.problems, e.what());
        return failed;
    }
}

void Report(const BatchStreams& streams, const BatchTheme& theme, const ThemeOutcome& outcome)
{
    // Copies of this program may share the streams: each line goes out in one piece.
    streams.out << (SummaryLine(theme, outcome) + "\n") << std::flush;
    if (outcome.status != ThemeStatus::Failed)
        return;
    std::string text = theme.file + ":";
    for (std::size_t k = 0; k < outcome.problems.size(); ++k)
        text += (k == 0 ? " " : "\n") + outcome.problems[k];
    streams.err << (text + "\n") << std::flush;
}

} // namespace

std::vector<BatchTheme> BatchThemes(const std::vector<std::string>& files, const fs::path& outFolder)
{
    const std::vector<fs::path> folders = ThemeFolders(files, outFolder);
    std::vector<BatchTheme> themes;
    std::error_code ec;
    for (std::size_t i = 0; i < files.size(); ++i)
        themes.push_back(
            {files[i], fs::absolute(PathFromUtf8(files[i]), ec).string(), folders[i], fs::absolute(folders[i], ec)});
    return themes;
}

std::vector<ThemeOutcome> RunBatch(const std::vector<BatchTheme>& themes, int jobs, const ThemeRunner& runner,
                                   const BatchStreams& streams)
{
    std::vector<ThemeOutcome> outcomes(themes.size());
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t next = 0, done = 0;
    std::string current;
    ProgressLine progress(streams.progress, themes.size());

    auto work = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                const std::lock_guard lock(mutex);
                if (next == themes.size())
                    return;
                i = next++;
                current = PathFromUtf8(themes[i].file).filename().string();
                progress.draw(done, current);
            }
            ThemeOutcome outcome = RunOne(runner, themes[i]);
            const std::lock_guard lock(mutex);
            outcomes[i] = std::move(outcome);
            progress.clear();
            Report(streams, themes[i], outcomes[i]);
            ++done;
            progress.draw(done, current);
            ended.notify_all();
        }
    };
    std::vector<std::thread> workers;
    const std::size_t count = std::min(themes.size(), static_cast<std::size_t>(std::max(jobs, 1)));
    for (std::size_t k = 0; k < count; ++k)
        workers.emplace_back(work);
    {
        // The elapsed time moves on while a long theme runs.
        std::unique_lock lock(mutex);
        while (done < themes.size())
            if (!ended.wait_for(lock, std::chrono::seconds(1), [&] { return done == themes.size(); }))
                progress.draw(done, current);
        progress.clear();
    }
    for (std::thread& worker : workers)
        worker.join();
    return outcomes;
}

std::string SummaryLine(const BatchTheme& theme, const ThemeOutcome& outcome)
{
    std::string files;
    for (std::size_t i = 0; i < outcome.built.size(); ++i)
        if (outcome.built[i])
            files.append(" ").append(NativePath(kTargetFiles[i]).string());
    if (outcome.preview)
        files += std::string(" ") + kConvertPreviewName;
    if (outcome.sheet)
        files += std::string(" ") + kSheetName;
    std::string line = StatusWord(outcome.status);
    line.resize(std::max<std::size_t>(line.size() + 1, 10), ' ');
    line += theme.file;
    if (outcome.status == ThemeStatus::Failed && files.empty())
        return line;
    line += " -> " + theme.folder.string() + ":" + files;
    if (outcome.status == ThemeStatus::Partial)
        for (const std::string& problem : outcome.problems)
            line += "; " + problem;
    return line;
}

namespace {

std::string Tally(const std::vector<ThemeOutcome>& outcomes, const std::string& where)
{
    auto count = [&](ThemeStatus status) {
        return std::count_if(outcomes.begin(), outcomes.end(),
                             [&](const ThemeOutcome& o) { return o.status == status; });
    };
    std::string line = std::to_string(count(ThemeStatus::Converted)) + " of " + std::to_string(outcomes.size()) +
                       " themes converted" + where;
    if (const auto partial = count(ThemeStatus::Partial))
        line += ", " + std::to_string(partial) + " partial";
    if (const auto failed = count(ThemeStatus::Failed))
        line += ", " + std::to_string(failed) + " failed";
    return line;
}

} // namespace

std::string TallyLine(const std::vector<ThemeOutcome>& outcomes, const fs::path& outFolder)
{
    return Tally(outcomes, " into " + outFolder.string());
}

std::string TallyText(const std::vector<ThemeOutcome>& outcomes) { return Tally(outcomes, ""); }

int BatchStatus(const std::vector<ThemeOutcome>& outcomes)
{
    int status = kExitDone;
    for (const ThemeOutcome& outcome : outcomes) {
        if (outcome.status == ThemeStatus::Failed)
            return kExitFailed;
        if (outcome.status == ThemeStatus::Partial)
            status = kExitPartial;
    }
    return status;
}

std::string ProgressText(std::size_t done, std::size_t total, long seconds, const std::string& current)
{
    const std::size_t filled = total == 0 ? 0 : done * kProgressBarCells / total;
    char clock[32];
    std::snprintf(clock, sizeof clock, "%ld:%02ld", seconds / 60, seconds % 60);
    std::string line = "[";
    line.append(filled, '#').append(kProgressBarCells - filled, '.');
    line += "] " + std::to_string(done) + "/" + std::to_string(total) + " " + clock + " ";
    std::string name = current;
    const std::size_t room = kProgressWidth > line.size() ? kProgressWidth - line.size() : 0;
    if (name.size() > room) {
        // Cut at a character's start, never inside a UTF-8 character.
        std::size_t cut = room > 3 ? room - 3 : 0;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name = room > 3 ? name.substr(0, cut) + "..." : "";
    }
    return line + name;
}

void WriteOutcomeFile(const fs::path& file, const ThemeOutcome& outcome)
{
    std::string text = std::string("status ") + StatusWord(outcome.status) + "\nbuilt";
    for (const bool built : outcome.built)
        text += built ? " 1" : " 0";
    text += std::string("\npreview ") + (outcome.preview ? "1" : "0") + "\n";
    for (const std::string& problem : outcome.problems)
        text += "problem " + problem + "\n";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw Error("Cannot create file " + Quoted(file.string()));
}

std::optional<ThemeOutcome> ReadOutcomeFile(const fs::path& file)
{
    constexpr std::size_t kMaxOutcomeBytes = 1 << 20;
    const FileBytes bytes = ReadFileCapped(file, kMaxOutcomeBytes);
    std::istringstream in(std::string(bytes.bytes.begin(), bytes.bytes.end()));
    std::string line;
    ThemeOutcome outcome;
    bool status = false;
    while (std::getline(in, line)) {
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (key == "status") {
            status = true;
            for (const ThemeStatus s : {ThemeStatus::Converted, ThemeStatus::Partial, ThemeStatus::Failed})
                if (value == StatusWord(s))
                    outcome.status = s;
        } else if (key == "built" && value.size() == 5) {
            for (std::size_t i = 0; i < outcome.built.size(); ++i)
                outcome.built[i] = value[2 * i] == '1';
        } else if (key == "preview") {
            outcome.preview = value == "1";
        } else if (key == "problem") {
            outcome.problems.push_back(value);
        }
    }
    if (!status)
        return std::nullopt;
    return outcome;
}

ThemeRunner WithContactSheets(ThemeRunner inner, const std::string& typeOption, const FieldTexts& fields)
{
    return [=](const BatchTheme& theme) {
        ThemeOutcome outcome = inner(theme);
        try {
            const ThemeBytes bytes = ReadThemeBytes(theme.fullFile, ThemeTypeOf(theme.fullFile, typeOption));
            const ThemeFacts facts = DescribeTheme(bytes, fields);
            outcome.suggestedSet = facts.setLine;
            const Bitmap sheet = ThemeSheet(bytes, facts);
            std::error_code ec;
            fs::create_directories(theme.fullFolder, ec);
            WritePicture(sheet, (theme.fullFolder / kSheetName).string(), PreviewFileType::Jpeg, kSheetQuality);
            outcome.sheet = true;
        } catch (const std::exception&) {
            // The conversion has told what is wrong with the theme.
        }
        return outcome;
    };
}

ThemeRunner CopyRunner(const std::string& program, const std::vector<std::string>& leading,
                       const std::string& typeOption, const fs::path& outcomeFolder)
{
    return [=](const BatchTheme& theme) {
        const fs::path outcomeFile = outcomeFolder / PathFromUtf8(theme.fullFolder.filename().string() + ".txt");
        std::vector<std::string> args = leading;
        args.insert(args.end(), {"convert-one", theme.fullFile, theme.fullFolder.string(), outcomeFile.string()});
        if (!typeOption.empty())
            args.insert(args.end(), {"--type", typeOption});
        const int status = RunCopy(program, args);
        std::optional<ThemeOutcome> outcome = ReadOutcomeFile(outcomeFile);
        std::error_code ec;
        fs::remove(outcomeFile, ec);
        if (outcome)
            return *outcome;
        ThemeOutcome failed;
        failed.problems.push_back(status < 0 ? "The conversion could not be started"
                                             : "The conversion ended with status " + std::to_string(status));
        return failed;
    };
}

} // namespace vexaro::cli
