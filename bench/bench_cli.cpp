// vexaro-cli convert of 20 copies of the sample theme, the whole process as a user starts it:
// the time per theme, with one and with two themes at a time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kThemes = 20;

void BM_ConvertTwentyThemes(benchmark::State& state)
{
    const int jobs = static_cast<int>(state.range(0));
    const fs::path folder = fs::temp_directory_path() / ("vexaro-bench-cli-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "in");
    std::string command = std::string("\"") + VEXARO_CLI + "\" convert --jobs " + std::to_string(jobs) + " --out \"" +
                          (folder / "out").string() + "\"";
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
BENCHMARK(BM_ConvertTwentyThemes)->Arg(1)->Arg(2)->ArgName("jobs")->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace
