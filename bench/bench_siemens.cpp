// Averaging resize of the two screen areas, in output pixels per second, into a target that
// already has the size and into a new one.
#include <cstdint>

#include <benchmark/benchmark.h>

#include "resize/AverageResize.h"
#include "BenchSupport.h"
#include "tool/ConverterInstall.h"
#include "siemens/ThemeBuild.h"

namespace {

vexaro::Bitmap Picture(int w, int h)
{
    vexaro::Bitmap b;
    b.reset(w, h, vexaro::PixelFormat::Bits24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y,
                       vexaro::Rgb{static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 3),
                                   static_cast<std::uint8_t>(x ^ y)});
    return b;
}

void Resize(benchmark::State& state, int sw, int sh, int tw, int th)
{
    const vexaro::Bitmap source = Picture(sw, sh);
    vexaro::Bitmap target;
    for (auto _ : state) {
        vexaro::AverageResize(source, target, tw, th);
        benchmark::DoNotOptimize(target.pixelBytes().data());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(tw) * th * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_AverageResize_MainArea(benchmark::State& state) { Resize(state, 176, 144, 176, 150); }

// Into a new target each time, as the theme build and the previews resize. Args: source width
// and height, target width and height.
void BM_AverageResize_NewTarget(benchmark::State& state)
{
    const int tw = static_cast<int>(state.range(2)), th = static_cast<int>(state.range(3));
    const vexaro::Bitmap source = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        vexaro::Bitmap target;
        vexaro::AverageResize(source, target, tw, th);
        benchmark::DoNotOptimize(target.pixelBytes().data());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(tw) * th * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
void BM_AverageResize_StatusArea(benchmark::State& state) { Resize(state, 176, 44, 176, 50); }

// The whole save command on a generated theme, the three converter runs included.
void BM_SaveTheme(benchmark::State& state)
{
    vexaro::bench::BenchWorkspace bench("save");
    vexaro::InstallConverter(bench.folder());
    vexaro::QuietWindow window;
    for (auto _ : state)
        vexaro::SaveTheme(bench.workspace(), window);
    if (!std::filesystem::exists(bench.workspace().target() / "Menu_Folders.mbm"))
        state.SkipWithError("the save command built no Menu_Folders.mbm");
}

} // namespace

BENCHMARK(BM_SaveTheme)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AverageResize_MainArea);
BENCHMARK(BM_AverageResize_StatusArea);
BENCHMARK(BM_AverageResize_NewTarget)
    ->Args({176, 144, 176, 150})
    ->Args({176, 44, 176, 50})
    ->Args({1408, 1152, 1408, 1200});
