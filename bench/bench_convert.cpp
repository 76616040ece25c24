// The conversion in memory of one whole theme, from the package's bytes to the three Siemens
// files and the preview JPEG: the sample theme and the corpus's synthetic theme of 170 bitmaps,
// with the default field texts. The package is read into memory once, outside the timing.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/ThemeConversion.h"

namespace {

std::vector<std::uint8_t> ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

vexaro::FieldTexts DefaultFields()
{
    vexaro::FieldTexts texts;
    for (int n = 1; n <= vexaro::kFieldCount; ++n)
        texts[static_cast<std::size_t>(n - 1)] = vexaro::FieldDefault(n);
    return texts;
}

void ConvertPackage(benchmark::State& state, const std::filesystem::path& package)
{
    if (!std::filesystem::exists(package)) {
        state.SkipWithError(("absent: " + package.string()).c_str());
        return;
    }
    const std::vector<std::uint8_t> bytes = ReadWhole(package);
    const vexaro::ByteSource theme{std::span<const std::uint8_t>(bytes)};
    const vexaro::FieldTexts fields = DefaultFields();
    vexaro::ThemeStatus status = vexaro::ThemeStatus::Failed;
    for (auto _ : state) {
        vexaro::ThemeConversion conversion =
            vexaro::ConvertTheme(theme, vexaro::ThemeFileType::Package, package.filename().string(), fields);
        status = conversion.outcome.status;
        benchmark::DoNotOptimize(conversion.previewJpeg.data());
    }
    if (status == vexaro::ThemeStatus::Failed)
        state.SkipWithError("the theme failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_ConvertSample(benchmark::State& state) { ConvertPackage(state, VEXARO_SAMPLE_THEME); }

void BM_ConvertSyntheticTheme(benchmark::State& state)
{
    ConvertPackage(state, std::filesystem::path(VEXARO_CORPUS_DIR) / "sis" / "synth_er6_theme.sis");
}

} // namespace

BENCHMARK(BM_ConvertSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertSyntheticTheme)->Unit(benchmark::kMillisecond);
