// make_mbm_bench_data FOLDER: writes the converter's large benchmark inputs, for measuring
// bmconv.exe by hand (for instance its peak memory under /usr/bin/time -v):
//   big24.bmp, big16.bmp   one 2816 x 3328 theme picture at 24 and 16 bits
//   noise24.bmp            2816 x 3328 of random pixels (every compression attempt fails)
//   batch/                 1,000 pictures of 176 x 208 and compile.txt, which compiles them
//                          into batch/batch.mbm (run bmconv in batch/)
#include <cstdio>
#include <filesystem>

#include "MbmBenchData.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_mbm_bench_data FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    using namespace vexaro::bench;
    const fs::path folder = argv[1];
    fs::create_directories(folder / "batch");
    WriteBmp(folder / "big24.bmp", BenchPicture(2816, 3328, 24, Content::Theme));
    WriteBmp(folder / "big16.bmp", BenchPicture(2816, 3328, 16, Content::Theme));
    WriteBmp(folder / "noise24.bmp", BenchPicture(2816, 3328, 24, Content::Noise));
    WriteCompileBatch(folder / "batch", 1000, 176, 208);
    return 0;
}
