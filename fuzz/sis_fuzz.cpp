// Fuzz target of the package reader: the input is written to a file and extracted into a fresh
// folder; afterwards that folder may hold plain files only, no more bytes than one package may
// unpack, and the folders above it nothing new.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "bitmap/Bitmap.h"
#include "base/Error.h"
#include "import/PackageExtract.h"
#include "tool/QuietWindow.h"

namespace {

namespace fs = std::filesystem;
using vexaro::QuietWindow;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "sis_fuzz: %s\n", what.c_str());
    std::abort();
}

// <tmp>/sis_fuzz.<pid>/ holds the input file and work/, and work/ holds only Nokia/.
struct Folders {
    fs::path base = fs::temp_directory_path() / ("sis_fuzz." + std::to_string(::getpid()));
    fs::path input = base / "input.sis";
    fs::path work = base / "work";
    fs::path source = work / "Nokia";
    Folders() { fs::create_directories(work); }
    ~Folders()
    {
        std::error_code ec;
        fs::remove_all(base, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Folders folders;
    {
        std::ofstream out(folders.input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(folders.source);

    QuietWindow window;
    try {
        vexaro::ExtractSisPackage(folders.input.string(), folders.source.string() + "/", window);
    } catch (const vexaro::Error&) {
        // refused or damaged packages are expected
    }

    for (const auto& entry : fs::directory_iterator(folders.base))
        if (entry.path() != folders.input && entry.path() != folders.work)
            Fail("written outside the source folder: " + entry.path().string());
    for (const auto& entry : fs::directory_iterator(folders.work))
        if (entry.path() != folders.source)
            Fail("written outside the source folder: " + entry.path().string());
    std::uintmax_t unpacked = 0;
    for (const auto& entry : fs::directory_iterator(folders.source)) {
        if (!entry.is_regular_file())
            Fail("not a plain file in the source folder: " + entry.path().string());
        unpacked += entry.file_size();
    }
    if (unpacked > vexaro::sis::kMaxUnpackedBytes)
        Fail("unpacked " + std::to_string(unpacked) + " bytes");
    fs::remove_all(folders.source);
    return 0;
}
