#include "cli/Batch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <system_error>
#include <thread>

#include "base/Error.h"
#include "cli/ThemeSheet.h"
#include "import/ThemeInspect.h"
#include "preview/PreviewExport.h"
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
    ThemeOutcome failed;
    try {
        return runner(theme);
    } catch (const std::exception& e) {
        AppendLines(failed.problems, e.what());
    } catch (...) {
        failed.problems.push_back("The conversion failed");
    }
    return failed;
}

void Report(const BatchStreams& streams, const BatchTheme& theme, const ThemeOutcome& outcome)
{
    streams.out << (SummaryLine(theme, outcome) + "\n") << std::flush;
    if (streams.notes != nullptr)
        for (const std::string& note : outcome.notes)
            *streams.notes << (VisibleText(theme.file) + ": " + note + "\n") << std::flush;
    if (outcome.status != ThemeStatus::Failed)
        return;
    std::string text = VisibleText(theme.file) + ":";
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
    std::vector<bool> finished(themes.size(), false);
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t next = 0, done = 0, reported = 0;
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
            finished[i] = true;
            progress.clear();
            for (; reported < themes.size() && finished[reported]; ++reported)
                Report(streams, themes[reported], outcomes[reported]);
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
            files.append(" ").append(NativePath(kSiemensFileNames[i]).string());
    if (outcome.preview)
        files += std::string(" ") + kConvertPreviewName;
    if (outcome.sheet)
        files += std::string(" ") + kSheetName;
    std::string line = StatusWord(outcome.status);
    line.resize(std::max<std::size_t>(line.size() + 1, 10), ' ');
    line += VisibleText(theme.file);
    if (outcome.status == ThemeStatus::Failed && files.empty())
        return line;
    line += " -> " + VisibleText(theme.folder.string()) + ":" + files;
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
    return Tally(outcomes, " into " + VisibleText(outFolder.string()));
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
    std::string name = VisibleText(current);
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

ThemeRunner ConversionRunner(const std::string& typeOption, const FieldTexts& fields)
{
    return [=](const BatchTheme& theme) {
        return theme.input ? ConvertThemeBytes(theme.input->bytes, kStandardInputName, theme.input->type,
                                               theme.fullFolder, fields)
                           : ConvertThemeFile(theme.fullFile, typeOption, theme.fullFolder, fields);
    };
}

ThemeRunner WithContactSheets(ThemeRunner inner, const std::string& typeOption, const FieldTexts& fields)
{
    return [=](const BatchTheme& theme) {
        ThemeOutcome outcome = inner(theme);
        try {
            const ThemeBytes bytes = theme.input
                                         ? InputThemeBytes(*theme.input)
                                         : ReadThemeFile(theme.fullFile, ThemeTypeOf(theme.fullFile, typeOption));
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

} // namespace vexaro::cli
