// The redraw of the source panel (with the target preview) from a generated theme of fifteen
// numbered BMP files, and the preview export. Goals: redraw under 5 ms, JPEG export under 1 ms.
#include <filesystem>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "tool/FieldDefaults.h"
#include "preview/PreviewExport.h"
#include "preview/PreviewPictures.h"
#include "preview/SourcePanel.h"
#include "preview/TargetPreview.h"
#include "BenchSupport.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace {

namespace fs = std::filesystem;
using vexaro::QuietWindow;
using vexaro::bench::BenchWorkspace;

void BM_DrawSourcePanel(benchmark::State& state)
{
    BenchWorkspace bench("preview");
    QuietWindow window;
    vexaro::PreviewPictures pictures;
    for (auto _ : state) {
        vexaro::DrawSourcePanel(bench.workspace(), window, pictures);
        benchmark::DoNotOptimize(pictures.image1.pixelBytes().data());
    }
}

void BM_DrawTargetPreview(benchmark::State& state)
{
    BenchWorkspace bench("preview");
    QuietWindow window;
    vexaro::PreviewPictures pictures;
    for (auto _ : state) {
        vexaro::DrawTargetPreview(bench.workspace(), window, pictures.image1);
        benchmark::DoNotOptimize(pictures.image1.pixelBytes().data());
    }
}

vexaro::Bitmap DrawnPreview(const BenchWorkspace& bench)
{
    QuietWindow window;
    vexaro::PreviewPictures pictures;
    vexaro::DrawTargetPreview(bench.workspace(), window, pictures.image1);
    return pictures.image1;
}

void BM_EncodeJpeg(benchmark::State& state)
{
    BenchWorkspace bench("preview");
    const vexaro::Bitmap preview = DrawnPreview(bench);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto jpeg = vexaro::EncodeJpeg(preview, 100);
        bytes = jpeg.size();
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void Export(benchmark::State& state, vexaro::PreviewFileType type)
{
    BenchWorkspace bench("preview");
    const vexaro::Bitmap preview = DrawnPreview(bench);
    const std::string name = (bench.folder() / "preview").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(vexaro::ExportPreview(preview, name, type));
}

void BM_ExportPreviewJpeg(benchmark::State& state) { Export(state, vexaro::PreviewFileType::Jpeg); }
void BM_ExportPreviewBmp(benchmark::State& state) { Export(state, vexaro::PreviewFileType::Bmp); }

} // namespace

BENCHMARK(BM_DrawSourcePanel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawTargetPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPreviewJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPreviewBmp)->Unit(benchmark::kMillisecond);
