// bmconv and the MBM library: decompiling AVKON_LEGACY.MBM (672 bitmaps) and the largest
// oracle-pair file, and compiling the largest oracle pair, both as a whole process (the way
// the window program runs bmconv.exe) and in process; compile and decompile of generated
// pictures per pixel, the compile of pixels that do not compress, and the peak memory of
// bmconv.exe on a large picture and on a file of 1,000 bitmaps.
//
// Process benchmarks report the child's peak resident memory ("peak_rss_kb", from one extra
// run under /usr/bin/time: a spawned child's own rusage would also count the pages of this
// benchmark program it was cloned from) and, for comparison, what the same bmconv.exe holds
// when it only prints its usage text.
// bmconv.exe is looked up beside the build's converter folder, or in $VEXARO_BMCONV.
// Files are written under the system's temporary folder ($TMPDIR): on a disk file system the
// 672 file creations of AVKON_LEGACY.MBM cost more than the conversion, so run it also with
// TMPDIR=/dev/shm to see the converter's own share.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "converter/Bmconv.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"
#include "MbmBenchData.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(VEXARO_CORPUS_DIR) / "mbm";
const char* const kAvkon = "symbian-classicui/AVKON_LEGACY.MBM";
const char* const kLargestPair = "symbian-graphics/bitgdi-tbit/32ram.mbm"; // 480,068 bytes
const char* const kLargestPairDir = "symbian-graphics/bitgdi-tbit";

fs::path Bmconv()
{
    if (const char* env = std::getenv("VEXARO_BMCONV"))
        return env;
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "converter" / "bmconv.exe";
}

// A scratch folder for one benchmark, removed afterwards.
struct Scratch {
    fs::path path;
    Scratch()
    {
        path = fs::temp_directory_path() / ("vexaro-bench-mbm-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// The unpack command file of the Open command for `bitmaps` bitmaps.
std::string UnpackCommands(const fs::path& mbm, std::size_t bitmaps)
{
    std::string text = "/u " + mbm.string() + "\r\n";
    for (std::size_t i = 0; i < bitmaps; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "MBM/%03zu.bmp\r\n", i);
        text += name;
    }
    return text;
}

std::size_t BitmapCount(const fs::path& mbm)
{
    std::ifstream in(mbm, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return vexaro::mbm::ReadMbm(bytes).bitmaps.size();
}

// Runs bmconv.exe with `args` in `folder` (under /usr/bin/time writing the peak RSS to
// `rssFile` when one is given); returns false when it did not exit with 0.
bool Spawn(const std::vector<std::string>& args, const fs::path& folder, const std::string& rssFile = {})
{
    const std::string bmconv = Bmconv().string();
    std::vector<std::string> words;
    if (!rssFile.empty())
        words = {"/usr/bin/time", "-f", "%M", "-o", rssFile};
    words.push_back(bmconv);
    words.insert(words.end(), args.begin(), args.end());
    const std::string program = words.front();
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Peak resident memory of one run in KiB, or -1 without /usr/bin/time.
double PeakRssKb(const std::vector<std::string>& args, const fs::path& folder)
{
    const fs::path out = folder / "rss.txt";
    if (!fs::exists("/usr/bin/time") || !Spawn(args, folder, out.string()))
        return -1;
    std::ifstream in(out);
    double kb = -1;
    in >> kb;
    fs::remove(out);
    return kb;
}

void DecompileProcess(benchmark::State& state, const char* name)
{
    Scratch scratch;
    const fs::path mbm = kCorpus / name;
    fs::create_directories(scratch.path / "MBM");
    WriteText(scratch.path / "mbm.txt", UnpackCommands(mbm, BitmapCount(mbm)));
    for (auto _ : state) {
        if (!Spawn({"mbm.txt"}, scratch.path)) {
            state.SkipWithError("bmconv.exe failed or was not found");
            return;
        }
    }
    state.counters["peak_rss_kb"] = PeakRssKb({"mbm.txt"}, scratch.path);
    state.counters["file_kb"] = static_cast<double>(fs::file_size(mbm)) / 1024.0;
}

void BM_ProcessDecompileAvkonLegacy(benchmark::State& state) { DecompileProcess(state, kAvkon); }
void BM_ProcessDecompileLargestPair(benchmark::State& state) { DecompileProcess(state, kLargestPair); }

// The floor under every process figure: bmconv.exe starting, printing its usage, ending.
void BM_ProcessStartOnly(benchmark::State& state)
{
    Scratch scratch;
    for (auto _ : state)
        Spawn({}, scratch.path);
    state.counters["peak_rss_kb"] = PeakRssKb({}, scratch.path);
}

void BM_ProcessCompileLargestPair(benchmark::State& state)
{
    Scratch scratch;
    fs::copy_file(kCorpus / kLargestPairDir / "RLETest.BMP", scratch.path / "RLETest.BMP");
    // Both the plain (/n, as 32ram.mbm was built) and the compressed form of the same source.
    const std::vector<std::string> args = state.range(0) != 0
                                              ? std::vector<std::string>{"out.mbm", "/c32RLETest.BMP"}
                                              : std::vector<std::string>{"/n", "out.mbm", "/c32RLETest.BMP"};
    for (auto _ : state) {
        if (!Spawn(args, scratch.path)) {
            state.SkipWithError("bmconv.exe failed or was not found");
            return;
        }
    }
    state.counters["peak_rss_kb"] = PeakRssKb(args, scratch.path);
}

// In process: read, decode and encode every bitmap as BMP bytes, no files written.
void DecodeInProcess(benchmark::State& state, const char* name)
{
    std::ifstream in(kCorpus / name, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t out = 0;
    for (auto _ : state) {
        const vexaro::mbm::MbmFile file = vexaro::mbm::ReadMbm(bytes);
        for (const auto& record : file.bitmaps) {
            const std::vector<std::uint8_t> bmp =
                vexaro::mbm::EncodeDecompiledBmp(vexaro::mbm::DecodeBitmap(bytes, record));
            out += bmp.size();
            benchmark::DoNotOptimize(bmp.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes.size()) * state.iterations());
    benchmark::DoNotOptimize(out);
}

void BM_InProcessDecodeAvkonLegacy(benchmark::State& state) { DecodeInProcess(state, kAvkon); }
void BM_InProcessDecodeLargestPair(benchmark::State& state) { DecodeInProcess(state, kLargestPair); }

// In process with the files: the library call the converter's decompile mode makes.
void BM_InProcessDecompileAvkonLegacyToFiles(benchmark::State& state)
{
    Scratch scratch;
    vexaro::converter::DecompileRequest request;
    request.source = (kCorpus / kAvkon).string();
    for (std::size_t i = 0, n = BitmapCount(kCorpus / kAvkon); i < n; ++i)
        request.targets.push_back((scratch.path / (std::to_string(i) + ".bmp")).string());
    for (auto _ : state) {
        const auto result = vexaro::converter::Decompile(request);
        if (!result.errors.empty()) {
            state.SkipWithError(result.errors.front().c_str());
            return;
        }
    }
}

void BM_InProcessCompileLargestPair(benchmark::State& state)
{
    Scratch scratch;
    vexaro::converter::CompileRequest request;
    request.target = (scratch.path / "out.mbm").string();
    request.store.compress = state.range(0) != 0;
    request.sources = {{{32, true, false}, (kCorpus / kLargestPairDir / "RLETest.BMP").string()}};
    for (auto _ : state)
        vexaro::converter::Compile(request);
}

// --- generated pictures ------------------------------------------------------------------
// Compile and decompile through the converter's run functions, files in $TMPDIR: a BMP of
// w x h at 16 (5-6-5) or 24 bits compiled at its own depth (compressed, the converter's
// default) into an MBM, and that MBM decompiled into a BMP. Counter s_per_px: time per pixel.

using vexaro::bench::Content;

void PerPixel(benchmark::State& state, double pixels)
{
    state.counters["s_per_px"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

vexaro::converter::CompileRequest CompileOf(const fs::path& bmp, const fs::path& mbm, int bits, bool compress)
{
    vexaro::converter::CompileRequest request;
    request.target = mbm.string();
    request.store.compress = compress;
    request.sources = {{{bits, true, false}, bmp.string()}};
    return request;
}

// Args: width, height, bits per pixel.
void BM_CompilePicture(benchmark::State& state)
{
    Scratch scratch;
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1)),
              bits = static_cast<int>(state.range(2));
    vexaro::bench::WriteBmp(scratch.path / "in.bmp", vexaro::bench::BenchPicture(w, h, bits, Content::Theme));
    const auto request = CompileOf(scratch.path / "in.bmp", scratch.path / "out.mbm", bits, true);
    for (auto _ : state)
        vexaro::converter::Compile(request);
    PerPixel(state, double(w) * h);
}

void BM_DecompilePicture(benchmark::State& state)
{
    Scratch scratch;
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1)),
              bits = static_cast<int>(state.range(2));
    vexaro::bench::WriteBmp(scratch.path / "in.bmp", vexaro::bench::BenchPicture(w, h, bits, Content::Theme));
    vexaro::converter::Compile(CompileOf(scratch.path / "in.bmp", scratch.path / "out.mbm", bits, true));
    vexaro::converter::DecompileRequest request;
    request.source = (scratch.path / "out.mbm").string();
    request.targets = {(scratch.path / "back.bmp").string()};
    for (auto _ : state) {
        const auto result = vexaro::converter::Decompile(request);
        if (!result.errors.empty()) {
            state.SkipWithError(result.errors.front().c_str());
            return;
        }
    }
    PerPixel(state, double(w) * h);
}

// Random pixels, which no compressor shortens: the compile with its compression attempt
// (which fails, so the file stores them plain) and without one (/n). Args: width, height,
// bits per pixel, compress.
void BM_CompileNoise(benchmark::State& state)
{
    Scratch scratch;
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1)),
              bits = static_cast<int>(state.range(2));
    vexaro::bench::WriteBmp(scratch.path / "in.bmp", vexaro::bench::BenchPicture(w, h, bits, Content::Noise));
    const auto request = CompileOf(scratch.path / "in.bmp", scratch.path / "out.mbm", bits, state.range(3) != 0);
    for (auto _ : state)
        vexaro::converter::Compile(request);
    PerPixel(state, double(w) * h);
}

// Peak memory of bmconv.exe (peak_rss_kb) beside the size of the largest picture it holds as
// decoded pixels (picture_kb) and of the multi-bitmap file (mbm_kb).
void MemoryCounters(benchmark::State& state, double rssKb, double pictureBytes, const fs::path& mbm)
{
    state.counters["peak_rss_kb"] = rssKb;
    state.counters["picture_kb"] = pictureBytes / 1024.0;
    state.counters["mbm_kb"] = static_cast<double>(fs::file_size(mbm)) / 1024.0;
}

// Arg: bits per pixel of the 2816 x 3328 picture, compiled at that depth.
void BM_ProcessCompileLargePicture(benchmark::State& state)
{
    Scratch scratch;
    const int bits = static_cast<int>(state.range(0));
    const vexaro::Bitmap picture = vexaro::bench::BenchPicture(2816, 3328, bits, Content::Theme);
    vexaro::bench::WriteBmp(scratch.path / "big.bmp", picture);
    const std::vector<std::string> args{"out.mbm", "/c" + std::to_string(bits) + "big.bmp"};
    for (auto _ : state) {
        if (!Spawn(args, scratch.path)) {
            state.SkipWithError("bmconv.exe failed or was not found");
            return;
        }
    }
    MemoryCounters(state, PeakRssKb(args, scratch.path), static_cast<double>(picture.pixelBytes().size()),
                   scratch.path / "out.mbm");
}

void BM_ProcessDecompileLargePicture(benchmark::State& state)
{
    Scratch scratch;
    const vexaro::Bitmap picture = vexaro::bench::BenchPicture(2816, 3328, 24, Content::Theme);
    vexaro::bench::WriteBmp(scratch.path / "big.bmp", picture);
    if (!Spawn({"out.mbm", "/c24big.bmp"}, scratch.path)) {
        state.SkipWithError("bmconv.exe failed or was not found");
        return;
    }
    fs::create_directories(scratch.path / "out");
    WriteText(scratch.path / "unpack.txt", vexaro::bench::UnpackCommands("out.mbm", 1));
    for (auto _ : state)
        Spawn({"unpack.txt"}, scratch.path);
    MemoryCounters(state, PeakRssKb({"unpack.txt"}, scratch.path), static_cast<double>(picture.pixelBytes().size()),
                   scratch.path / "out.mbm");
}

// 1,000 pictures of 176 x 208 at 24 bits into one file, and that file unpacked again.
constexpr std::size_t kBatch = 1000;
constexpr double kBatchPictureBytes = 176.0 * 208 * 3;

void BM_ProcessCompileBatch(benchmark::State& state)
{
    Scratch scratch;
    vexaro::bench::WriteCompileBatch(scratch.path, kBatch, 176, 208);
    for (auto _ : state) {
        if (!Spawn({"compile.txt"}, scratch.path)) {
            state.SkipWithError("bmconv.exe failed or was not found");
            return;
        }
    }
    MemoryCounters(state, PeakRssKb({"compile.txt"}, scratch.path), kBatchPictureBytes, scratch.path / "batch.mbm");
}

void BM_ProcessDecompileBatch(benchmark::State& state)
{
    Scratch scratch;
    vexaro::bench::WriteCompileBatch(scratch.path, kBatch, 176, 208);
    if (!Spawn({"compile.txt"}, scratch.path)) {
        state.SkipWithError("bmconv.exe failed or was not found");
        return;
    }
    fs::create_directories(scratch.path / "out");
    WriteText(scratch.path / "unpack.txt", vexaro::bench::UnpackCommands("batch.mbm", kBatch));
    for (auto _ : state)
        Spawn({"unpack.txt"}, scratch.path);
    MemoryCounters(state, PeakRssKb({"unpack.txt"}, scratch.path), kBatchPictureBytes, scratch.path / "batch.mbm");
}

void PictureSizes(benchmark::internal::Benchmark* b)
{
    for (int bits : {16, 24})
        for (int scale : {1, 4, 16})
            b->Args({176 * scale, 208 * scale, bits});
}

} // namespace

BENCHMARK(BM_CompilePicture)->Apply(PictureSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompilePicture)->Apply(PictureSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileNoise)
    ->Args({704, 832, 24, 1})
    ->Args({704, 832, 24, 0})
    ->Args({704, 832, 16, 1})
    ->Args({704, 832, 16, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCompileLargePicture)->Arg(24)->Arg(16)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessDecompileLargePicture)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCompileBatch)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessDecompileBatch)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessStartOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessDecompileAvkonLegacy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessDecompileLargestPair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCompileLargestPair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InProcessDecodeAvkonLegacy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InProcessDecodeLargestPair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InProcessDecompileAvkonLegacyToFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InProcessCompileLargestPair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
