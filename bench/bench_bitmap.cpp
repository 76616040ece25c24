// BMP decode and encode speed on pictures of the phone screen's size (176 x 208).
// Counters: pixels per second (kIsRate; "1.5G/s" = 1500 Mpixel/s).
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "bitmap/BmpCodec.h"

namespace {

using namespace vexaro;

constexpr int kWidth = 176;
constexpr int kHeight = 208;
constexpr double kPixels = double{kWidth} * kHeight;

Bitmap Picture24()
{
    Bitmap b;
    b.reset(kWidth, kHeight, PixelFormat::Bits24);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            b.setPixel(
                x, y,
                Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x ^ y)});
    return b;
}

Bitmap Picture8()
{
    std::vector<Rgb> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] =
            Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 7)};
    Bitmap b;
    b.reset(kWidth, kHeight, PixelFormat::Pal8, palette);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            b.row(y)[x] = static_cast<std::uint8_t>(x * 3 + y);
    return b;
}

void SetRate(benchmark::State& state)
{
    state.counters["pixels"] =
        benchmark::Counter(kPixels * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Decoding into the same picture again, as a loader bitmap that is reused does.
void DecodeInto(benchmark::State& state, const Bitmap& source)
{
    const std::vector<std::uint8_t> file = EncodeBmp(source);
    Bitmap b;
    for (auto _ : state) {
        DecodeBmp(file, b);
        benchmark::DoNotOptimize(b.pixelBytes().data());
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

void BM_Decode24(benchmark::State& state) { DecodeInto(state, Picture24()); }
void BM_Decode8Paletted(benchmark::State& state) { DecodeInto(state, Picture8()); }

// Decoding into a new picture each time: includes allocating the pixels.
void BM_Decode24FreshPicture(benchmark::State& state)
{
    const std::vector<std::uint8_t> file = EncodeBmp(Picture24());
    for (auto _ : state) {
        Bitmap b;
        DecodeBmp(file, b);
        benchmark::DoNotOptimize(b.pixelBytes().data());
    }
    SetRate(state);
}

void BM_Encode24(benchmark::State& state)
{
    const Bitmap b = Picture24();
    for (auto _ : state) {
        std::vector<std::uint8_t> file = EncodeBmp(b);
        benchmark::DoNotOptimize(file.data());
    }
    SetRate(state);
}

BENCHMARK(BM_Decode24);
BENCHMARK(BM_Decode8Paletted);
BENCHMARK(BM_Decode24FreshPicture);
BENCHMARK(BM_Encode24);

} // namespace
