// vexaro-cli as a user starts it: convert of 20 copies of the sample theme (the time per theme,
// with one and with two themes at a time), and open of a theme of 672 bitmaps into a workspace
// that already holds it, on disk and on tmpfs.
//
// VEXARO_BENCH_CLI names another vexaro-cli to measure (an earlier build, for comparison).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string& Program()
{
    static const std::string program = [] {
        const char* other = std::getenv("VEXARO_BENCH_CLI");
        return std::string(other && *other ? other : VEXARO_CLI);
    }();
    return program;
}

constexpr int kThemes = 20;

void BM_ConvertTwentyThemes(benchmark::State& state)
{
    const int jobs = static_cast<int>(state.range(0));
    const fs::path folder = fs::temp_directory_path() / ("vexaro-bench-cli-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "in");
    std::string command =
        "\"" + Program() + "\" convert --jobs " + std::to_string(jobs) + " --out \"" + (folder / "out").string() + "\"";
    for (int i = 0; i < kThemes; ++i) {
        const fs::path copy = folder / "in" / ("Theme" + std::to_string(i) + ".sis");
        fs::copy_file(VEXARO_SAMPLE_THEME, copy);
        command += " \"" + copy.string() + "\"";
    }
    command += " >/dev/null";

    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder / "out");
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("vexaro-cli convert failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kThemes);
    // Seconds per theme: the inverse of the themes' rate.
    state.counters["per_theme"] = benchmark::Counter(static_cast<double>(state.iterations() * kThemes),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    fs::remove_all(folder);
}
BENCHMARK(BM_ConvertTwentyThemes)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("jobs")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);

// The largest theme of the corpus: 672 bitmaps, each a numbered file of the workspace.
const fs::path kLargeTheme = fs::path(VEXARO_CORPUS_DIR) / "mbm" / "symbian-classicui" / "AVKON_LEGACY.MBM";

// Open of the same theme again into the workspace that holds it: every numbered file is there
// already. Arg 0: a folder beside this program (on disk); arg 1: /dev/shm (tmpfs).
void BM_ReopenLargeTheme(benchmark::State& state)
{
    if (!fs::exists(kLargeTheme)) {
        state.SkipWithError("the corpus is absent");
        return;
    }
    std::error_code ec;
    const fs::path base =
        state.range(0) == 0 ? fs::read_symlink("/proc/self/exe", ec).parent_path() : fs::path("/dev/shm");
    const fs::path workspace = base / ("vexaro-bench-reopen-" + std::to_string(::getpid()));
    fs::remove_all(workspace, ec);
    const std::string command = "\"" + Program() + "\" --workspace \"" + workspace.string() + "\" open \"" +
                                kLargeTheme.string() + "\" >/dev/null";
    if (std::system(command.c_str()) != 0) { // the first open
        state.SkipWithError("vexaro-cli open failed");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("vexaro-cli open failed");
            break;
        }
    }
    fs::remove_all(workspace, ec);
}
BENCHMARK(BM_ReopenLargeTheme)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("tmpfs")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);

} // namespace
