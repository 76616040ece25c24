// bmconv as a whole: the program's exit status and messages (run as a process), the
// system's own command files, corrupt inputs, failed compiles, and compile features
// (alpha, palette, header, sources the SDK's converter misreads) run in process.
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "converter/Bmconv.h"
#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "converter/FileIo.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"
#include "ExpectedCorpus.h"
#include "ProcessRunner.h"
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vexaro::converter {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::Json;

const Json& Expected() { return test::ExpectedMbmCorpus(); }

std::string ExpectedHash(const std::string& file, std::size_t index)
{
    return Expected()["files"][file]["bitmaps"][index]["unpacked_bmp_sha256"].str();
}

fs::path CorpusMbm(const std::string& name) { return test::CorpusDir() / "mbm" / name; }

// The corpus file as a path relative to `folder` (bmconv runs there).
std::string Relative(const std::string& name, const fs::path& folder)
{
    return fs::relative(CorpusMbm(name), folder).string();
}

void WriteText(const fs::path& path, const std::string& text)
{
    test::WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::set<std::string> Listing(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// A BMP of the picture with the given pixels per metre.
Bytes BmpOf(const Bitmap& bitmap, std::uint32_t ppm = 0)
{
    Bytes bytes = EncodeBmp(bitmap);
    for (std::size_t at : {38u, 42u})
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(ppm >> (8 * i));
    return bytes;
}

Bitmap Scene(int w, int h)
{
    return test::Paint(w, h, [h](int x, int y) {
        return Rgb{static_cast<std::uint8_t>(x / 8 * 9), static_cast<std::uint8_t>(y < h / 2 ? 40 : 220),
                   static_cast<std::uint8_t>(y * 3)};
    });
}

struct Decoded {
    mbm::MbmFile file;
    std::vector<mbm::MbmImage> images;
};
Decoded ReadBack(const fs::path& path)
{
    const Bytes bytes = test::ReadBytes(path);
    Decoded d{mbm::ReadMbm(bytes), {}};
    for (const auto& r : d.file.bitmaps)
        d.images.push_back(mbm::DecodeBitmap(bytes, r));
    return d;
}

// ---- the program ---------------------------------------------------------------------

TEST(BmconvProgram, NoArgumentsPrintsUsage)
{
    test::TempDir folder;
    const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {}, folder.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("/u FILE.mbm"), std::string::npos);
    EXPECT_EQ(run.err, "");
}

// Names in every script on the command line and in a command file (a byte-order mark before
// it is no name); on Windows a command file that is no UTF-8 is in the ANSI code page.
TEST(BmconvProgram, NamesInEveryScript)
{
    test::TempDir folder;
    const fs::path dir = folder / "Тёмы Θέματα";
    fs::create_directories(dir);
    test::WriteBytes(dir / PathFromUtf8("Café.bmp"), BmpOf(Scene(8, 4)));
    test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"主题.mbm", "/c24Café.bmp"}, dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    WriteText(dir / PathFromUtf8("команды.txt"), "\xEF\xBB\xBF/u 主题.mbm\r\nΕικόνα.bmp\r\n");
    run = test::RunProcess(BMCONV_EXE, {"команды.txt"}, dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Bitmap unpacked;
    LoadBmpFile((dir / PathFromUtf8("Εικόνα.bmp")).string(), unpacked);
    EXPECT_EQ(unpacked.width(), 8);
#ifdef _WIN32
    if (GetACP() == 1252) {
        WriteText(dir / "ansi.txt", "/u plain.mbm Ni\xF1o.bmp");
        fs::copy_file(dir / PathFromUtf8("主题.mbm"), dir / "plain.mbm");
        run = test::RunProcess(BMCONV_EXE, {"ansi.txt"}, dir);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(fs::exists(dir / PathFromUtf8("Niño.bmp")));
    }
#endif
}

TEST(BmconvProgram, CommandFileErrors)
{
    test::TempDir folder;
    test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"nofile.txt"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitBadCommand);
    EXPECT_EQ(run.err, "bmconv: cannot open \"nofile.txt\": No such file or directory\n");

    WriteText(folder / "mbm.txt", "t.mbm\r\n/c5x.bmp\r\n");
    run = test::RunProcess(BMCONV_EXE, {"mbm.txt"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitBadCommand);
    EXPECT_EQ(run.err, "bmconv: Invalid bitmap mode specified: \"/c5x.bmp\" (expected /1 /2 /4 /8 /c4 /c8 /c12 /c16 "
                       "/c24 /c32 or /c32a before the path)\n");
    EXPECT_FALSE(fs::exists(folder / "t.mbm"));

    WriteText(folder / "empty.txt", "// nothing\r\n");
    run = test::RunProcess(BMCONV_EXE, {"empty.txt"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitBadCommand);
    EXPECT_EQ(run.err, "bmconv: command file \"empty.txt\" holds no arguments\n");
}

TEST(BmconvProgram, UnpackCommandFileOfTheOpenCommand)
{
    VEXARO_REQUIRE_CORPUS();
    test::TempDir folder;
    fs::create_directories(folder / "Nokia" / "MBM");
    fs::copy_file(CorpusMbm("symbian-classicui/tbitmap.MBM"), folder / "Nokia" / "temp.mbm");
    // Files of an earlier, larger theme are overwritten and cut to their new length.
    test::WriteBytes(folder / "Nokia" / "MBM" / "000.bmp", std::vector<std::uint8_t>(100000, 0xAB));
    // Backslashes throughout, a palette that decompiling ignores, no line end after the last name.
    WriteText(folder / "Nokia" / "mbm.txt",
              "/u /pPalette.txt Nokia\\temp.mbm\r\nNokia\\MBM\\000.bmp\r\nNokia\\MBM\\001.bmp");
    const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"Nokia\\mbm.txt"}, folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(test::Sha256Hex(test::ReadBytes(folder / "Nokia" / "MBM" / "000.bmp")),
              ExpectedHash("symbian-classicui/tbitmap.MBM", 0));
    EXPECT_EQ(test::Sha256Hex(test::ReadBytes(folder / "Nokia" / "MBM" / "001.bmp")),
              ExpectedHash("symbian-classicui/tbitmap.MBM", 1));
}

TEST(BmconvProgram, CorruptFilesKeepTheGoodBitmaps)
{
    VEXARO_REQUIRE_CORPUS();
    const std::pair<const char*, const char*> cases[] = {
        {"00_grbmap.mbm", nullptr},
        {"01_totalstramsize.mbm", "bad bitmap size -1 (less than its 40-byte header)"},
        {"02_headersize.mbm", "bad header size -1 (must be 40)"},
        {"03_width.mbm", "negative size -1x48"},
        {"04_height.mbm", "negative size 48x-1"},
        {"05_bitsperpixel.mbm", "unsupported bits per pixel -1"},
        {"bad_bmpsize.mbm", "implausible size 131328x32772 (more than 32768 pixels on a side)"},
        {"bad_colormode.mbm", nullptr},
        {"bad_compression.mbm", "unknown compression 4294967295"},
        {"bad_paletteentries.mbm", nullptr},
    };
    const std::string intact = ExpectedHash("symbian-graphics/corrupt/00_grbmap.mbm", 1);
    for (const auto& [name, fault] : cases) {
        SCOPED_TRACE(name);
        test::TempDir folder;
        const std::string file = "symbian-graphics/corrupt/" + std::string(name);
        const std::string source = Relative(file, folder.path());
        const test::ProcessResult run =
            test::RunProcess(BMCONV_EXE, {"/u", source, "out0.bmp", "out1.bmp"}, folder.path());
        EXPECT_EQ(test::Sha256Hex(test::ReadBytes(folder / "out1.bmp")), intact);
        if (fault == nullptr) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(test::Sha256Hex(test::ReadBytes(folder / "out0.bmp")), ExpectedHash(file, 0));
        } else {
            EXPECT_EQ(run.exitCode, kExitFailed);
            EXPECT_EQ(run.err, "bmconv: \"" + source + "\": bitmap 0: " + fault + "; \"out0.bmp\" not written\n");
            EXPECT_FALSE(fs::exists(folder / "out0.bmp"));
        }
    }
}

TEST(BmconvProgram, FewerOrMoreNamesThanBitmaps)
{
    VEXARO_REQUIRE_CORPUS();
    test::TempDir folder;
    const std::string source = Relative("symbian-graphics/tfbs/tfbs.mbm", folder.path()); // 2 bitmaps
    test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"/u", source, "a.bmp"}, folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Listing(folder.path()), (std::set<std::string>{"a.bmp"}));

    run = test::RunProcess(BMCONV_EXE, {"/u", source, "b.bmp", "c.bmp", "d.bmp"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_EQ(run.err,
              "bmconv: \"" + source + "\" holds 2 bitmaps but 3 output files are named; the last 1 were not written\n");
    EXPECT_EQ(Listing(folder.path()), (std::set<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_EQ(test::Sha256Hex(test::ReadBytes(folder / "c.bmp")), ExpectedHash("symbian-graphics/tfbs/tfbs.mbm", 1));
}

TEST(BmconvProgram, NotAMultiBitmapFile)
{
    test::TempDir folder;
    WriteText(folder / "x.mbm", "this is text");
    const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"/u", "x.mbm", "a.bmp"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_EQ(run.err, "bmconv: \"x.mbm\": not a multi-bitmap file (first word 0x73696874)\n");
    EXPECT_FALSE(fs::exists(folder / "a.bmp"));
}

TEST(BmconvProgram, FailedCompileLeavesNoTarget)
{
    test::TempDir folder;
    // Pixels that do not compress, enough for the target's temporary file to be written before
    // the next source fails.
    test::WriteBytes(folder / "good.bmp", BmpOf(test::Paint(300, 300, [](int x, int y) {
                         const auto v = static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u);
                         return Rgb{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                    static_cast<std::uint8_t>(v >> 8)};
                     })));
    WriteText(folder / "t.mbm", "an older target");
    test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"t.mbm", "/c24good.bmp", "/c24missing.bmp"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_EQ(run.err, "bmconv: \"t.mbm\" not written: cannot open \"missing.bmp\": No such file or directory\n");
    EXPECT_EQ(Listing(folder.path()), (std::set<std::string>{"good.bmp"})); // nor a temporary file

    WriteText(folder / "bad.bmp", "BM not really");
    run = test::RunProcess(BMCONV_EXE, {"t.mbm", "/c24good.bmp", "/1bad.bmp"}, folder.path());
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_EQ(run.err, "bmconv: \"t.mbm\" not written: source bitmap \"bad.bmp\": Bitmap image is not valid\n");
    EXPECT_FALSE(fs::exists(folder / "t.mbm"));
}

TEST(BmconvProgram, ThemeBuildCommandFile)
{
    test::TempDir folder;
    fs::create_directories(folder / "Siemens");
    const Bitmap picture = Scene(176, 68);
    const Bitmap mask = test::Paint(176, 68, [](int x, int) { return x < 100 ? kBlack : kWhite; });
    test::WriteBytes(folder / "Siemens" / "Backgroundimage.bmp", BmpOf(picture, 3780));
    test::WriteBytes(folder / "Siemens" / "mask.bmp", BmpOf(mask));
    WriteText(folder / "Siemens" / "mbm.txt",
              "Siemens\\EidPic.mbm\r\n/c24Siemens\\Backgroundimage.bmp\r\n/1Siemens\\mask.bmp\r\n");
    const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"Siemens\\mbm.txt"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    const Decoded result = ReadBack(folder / "Siemens" / "EidPic.mbm");
    ASSERT_EQ(result.images.size(), 2u);
    EXPECT_EQ(result.file.bitmaps[0].header.compression, 4u);
    EXPECT_EQ(result.file.bitmaps[0].header.twipsWidth, 263); // 176 px at 3780 per metre
    EXPECT_EQ(result.file.bitmaps[0].header.twipsHeight, 101);
    EXPECT_EQ(result.file.bitmaps[1].header.twipsWidth, 0);
    EXPECT_EQ(result.file.bitmaps[1].header.bitsPerPixel, 1);
    EXPECT_EQ(result.file.bitmaps[1].header.colourMode, 0u);
    for (int y = 0; y < 68; y += 7)
        for (int x = 0; x < 176; x += 5) {
            ASSERT_EQ(mbm::PixelColour(result.images[0], x, y), picture.pixel(x, y));
            ASSERT_EQ(mbm::PixelColour(result.images[1], x, y), mask.pixel(x, y));
        }
}

TEST(BmconvProgram, SummaryListsTheBitmaps)
{
    VEXARO_REQUIRE_CORPUS();
    test::TempDir folder;
    const std::string source = Relative("symbian-graphics/bitgdi-tbit/16romc.mbm", folder.path());
    const test::ProcessResult run = test::RunProcess(BMCONV_EXE, {"/v", source}, folder.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("ROM image, 1 bitmaps"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("0: 600x200, 16 bpp colour, 16-bit RLE"), std::string::npos) << run.out;
}

TEST(FileAccess, CappedReadsAndNativePaths)
{
    test::TempDir folder;
    WriteText(folder / "ten.txt", "0123456789");
    const std::string path = (folder / "ten.txt").string();
    EXPECT_EQ(ReadInputFile(path, 10).size(), 10u);
    for (const bool inPieces : {false, true}) {
        try {
            if (inPieces)
                InputFile(path, 9);
            else
                ReadInputFile(path, 9);
            FAIL() << "read past the cap";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "\"" + path + "\" is larger than 9 bytes");
        }
    }
    // A file cut short after it was opened is a read error that names it as the converter does.
    {
        const InputFile file(path, 10);
        const ByteReader reader(file.source());
        std::uint8_t piece[3];
        fs::resize_file(folder / "ten.txt", 8);
        try {
            reader.read(7, piece);
            FAIL() << "read past the end";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "cannot read \"" + path + "\": The file became shorter while it was read");
        }
    }
    EXPECT_EQ(NativePath("Nokia\\MBM\\000.bmp"), fs::path("Nokia") / "MBM" / "000.bmp");
    EXPECT_EQ(NativePath("Nokia/MBM\\000.bmp"), fs::path("Nokia") / "MBM" / "000.bmp");
}

// ---- decompile and compile in process -------------------------------------------------

TEST(Decompile, AlphaCompanionHoldsTheAlphaChannel)
{
    VEXARO_REQUIRE_CORPUS();
    test::TempDir folder;
    const std::string name = "symbian-graphics/uibench/rlecompr_32abpp.mbm";
    const DecompileResult result = Decompile({CorpusMbm(name).string(), {(folder / "pic.bmp").string()}, ""});
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(result.written, 1u);
    EXPECT_EQ(test::Sha256Hex(test::ReadBytes(folder / "pic.bmp")), ExpectedHash(name, 0));
    const Bytes alpha = test::ReadBytes(folder / "pic-alpha.bmp");
    const Decoded source = ReadBack(CorpusMbm(name));
    const mbm::MbmImage& image = source.images[0];
    ASSERT_EQ(alpha.size(), 1078u + 400 * 300);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            ASSERT_EQ(alpha[1078 + static_cast<std::size_t>(image.height - 1 - y) * 400 + static_cast<std::size_t>(x)],
                      image.row(y)[4 * x + 3]);
    EXPECT_EQ(AlphaCompanionName("dir.x\\name"), "dir.x\\name-alpha");
    EXPECT_EQ(AlphaCompanionName("a.b/c.bmp"), "a.b/c-alpha.bmp");
}

TEST(Compile, SourcesTheSdkConverterMisreads)
{
    // The SDK's converter reads 16-bit BMPs as nearly black and takes every BMP as bottom-up;
    // our BMP reader gets both right, so the MBM holds the picture as shown.
    test::TempDir folder;
    Bitmap c16;
    c16.reset(5, 3, PixelFormat::Bits16, {}, kMasks565);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const unsigned v = static_cast<unsigned>(0x1234 * (x + 1) + 0x0BCD * y);
            c16.row(y)[2 * x] = static_cast<std::uint8_t>(v);
            c16.row(y)[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    test::WriteBytes(folder / "c16.bmp", BmpOf(c16));
    const Bitmap picture = Scene(6, 4);
    Bytes topDown = BmpOf(picture);
    const std::size_t stride = 20; // 6 x 3 bytes padded
    for (int i = 0; i < 4; ++i)
        topDown[22 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(-4) >> (8 * i));
    for (int y = 0; y < 4; ++y)
        std::copy_n(picture.row(y), stride, topDown.begin() + 54 + static_cast<std::ptrdiff_t>(y * stride));
    test::WriteBytes(folder / "topdown.bmp", topDown);

    CompileRequest request;
    request.target = (folder / "t.mbm").string();
    request.sources = {{{16, true, false}, (folder / "c16.bmp").string()},
                       {{24, true, false}, (folder / "topdown.bmp").string()}};
    Compile(request);
    const Decoded result = ReadBack(folder / "t.mbm");
    for (int y = 0; y < 3; ++y) // 5-6-5 words come back unchanged
        EXPECT_TRUE(std::equal(c16.row(y), c16.row(y) + 10, result.images[0].row(y)));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(mbm::PixelColour(result.images[1], x, y), mbm::RemapGrey(picture.pixel(x, y)));
}

TEST(Compile, AlphaComesFromTheCompanionBitmap)
{
    test::TempDir folder;
    test::WriteBytes(folder / "icon.bmp", BmpOf(Scene(32, 2)));
    Bitmap alpha;
    alpha.reset(32, 2, PixelFormat::Pal8, std::vector<Rgb>(256, kBlack));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 32; ++x)
            alpha.row(y)[x] = static_cast<std::uint8_t>(60 * (x / 8) + y);
    CompileRequest request;
    request.target = (folder / "t.mbm").string();
    request.sources = {{{32, true, true}, (folder / "icon.bmp").string()}};
    try {
        Compile(request);
        FAIL() << "compiled without the alpha bitmap";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "\"" + request.target + "\" not written: cannot open \"" +
                                             (folder / "icon-alpha.bmp").string() + "\": No such file or directory");
    }
    EXPECT_FALSE(fs::exists(folder / "t.mbm"));
    test::WriteBytes(folder / "icon-alpha.bmp", EncodeBmp(alpha));
    Compile(request);
    const Decoded result = ReadBack(folder / "t.mbm");
    EXPECT_EQ(result.file.bitmaps[0].header.colourMode, 2u);
    EXPECT_EQ(result.file.bitmaps[0].header.compression, 6u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 32; ++x)
            EXPECT_EQ(result.images[0].row(y)[4 * x + 3], 60 * (x / 8) + y);
    // Decompiling gives the alpha back as the companion's pixel bytes.
    const DecompileResult back = Decompile({request.target, {(folder / "out.bmp").string()}, ""});
    EXPECT_TRUE(back.errors.empty());
    Bitmap companion;
    DecodeBmp(test::ReadBytes(folder / "out-alpha.bmp"), companion);
    ASSERT_EQ(companion.format(), PixelFormat::Pal8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 32; ++x)
            EXPECT_EQ(companion.index(x, y), alpha.index(x, y));
}

TEST(Compile, PaletteFileSteersEightBitColourIndices)
{
    test::TempDir folder;
    test::WriteBytes(folder / "red.bmp", BmpOf(test::Paint(4, 1, [](int, int) { return Rgb{255, 0, 0}; })));
    // Palette: every entry grey 0x80 except entry 77, pure red.
    std::string text;
    for (int i = 0; i < 256; ++i)
        text += i == 77 ? "0x000000FF\r\n" : "0x00808080\r\n";
    WriteText(folder / "pal.txt", text);
    CompileRequest request;
    request.target = (folder / "t.mbm").string();
    request.palettePath = (folder / "pal.txt").string();
    request.sources = {{{8, true, false}, (folder / "red.bmp").string()}};
    request.store.compress = false;
    Compile(request);
    EXPECT_EQ(ReadBack(folder / "t.mbm").images[0].pixels, (Bytes{77, 77, 77, 77}));
    request.palettePath.clear();
    Compile(request);
    EXPECT_EQ(ReadBack(folder / "t.mbm").images[0].pixels, (Bytes{5, 5, 5, 5})); // standard palette

    WriteText(folder / "short.txt", "0x00112233");
    request.palettePath = (folder / "short.txt").string();
    try {
        Compile(request);
        FAIL() << "a short palette was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "\"" + request.target + "\" not written: \"" + request.palettePath +
                                             "\": Bad palette file: 1 colours where 256 are needed");
    }
    EXPECT_FALSE(fs::exists(folder / "t.mbm"));
}

TEST(Compile, HeaderFileNamesEveryBitmap)
{
    test::TempDir folder;
    test::WriteBytes(folder / "Back.bmp", BmpOf(Scene(4, 4)));
    test::WriteBytes(folder / "MASK.bmp", BmpOf(Scene(4, 4)));
    std::ostringstream out, err;
    const std::string h = (folder / "eid.mbg").string();
    const int status = RunBmconv({"/h" + h, (folder / "EidPic.mbm").string(), "/c24" + (folder / "Back.bmp").string(),
                                  "/1" + (folder / "MASK.bmp").string()},
                                 out, err);
    ASSERT_EQ(status, 0) << err.str();
    const std::string text = test::ReadText(h);
    EXPECT_NE(text.find("enum TMbmEidpic\r\n\t{\r\n\tEMbmEidpicBack,\r\n\tEMbmEidpicMask,\r\n\t};"), std::string::npos)
        << text;
}

} // namespace
} // namespace vexaro::converter
