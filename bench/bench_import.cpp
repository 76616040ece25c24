// The whole Open command on a 170-bitmap theme package: extraction, the converter run that
// unpacks the numbered BMP files, and the (empty) redraw.
#include <filesystem>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "tool/ConverterInstall.h"
#include "import/ImportCommands.h"

namespace {

void BM_OpenThemePackage(benchmark::State& state)
{
    const std::filesystem::path package = std::filesystem::path(VEXARO_CORPUS_DIR) / "sis" / "synth_er6_theme.sis";
    if (!std::filesystem::exists(package)) {
        state.SkipWithError("the shared corpus is absent");
        return;
    }
    vexaro::bench::BenchWorkspace bench("open");
    vexaro::InstallConverter(bench.folder());
    vexaro::QuietWindow window;
    const bool fresh = state.range(0) != 0;
    for (auto _ : state) {
        if (fresh) { // into an empty workspace, as the first Open of a theme
            state.PauseTiming();
            std::filesystem::remove_all(bench.workspace().source());
            state.ResumeTiming();
        }
        vexaro::OpenTheme(bench.workspace(), package.string(), vexaro::ThemeFileType::Package, window, [] {});
    }
    if (!std::filesystem::exists(bench.workspace().unpacked() / "169.bmp"))
        state.SkipWithError("the theme was not unpacked");
}

} // namespace

// Argument 1: each run into an empty source folder; 0: over the files of the previous run.
BENCHMARK(BM_OpenThemePackage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
