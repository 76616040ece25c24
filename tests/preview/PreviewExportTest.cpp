// Saving the preview picture as JPEG or BMP.
#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <jpeglib.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "PreviewExpect.h"
#include "preview/PreviewExport.h"
#include "preview/PreviewPictures.h"
#include "RecordingWindow.h"
#include "preview/TargetPreview.h"
#include "TestSupport.h"
#include "ThemePainter.h"

namespace vexaro {
// How a test names its type parameter.
void PrintTo(PreviewFileType type, std::ostream* out) { *out << (type == PreviewFileType::Jpeg ? "Jpeg" : "Bmp"); }
} // namespace vexaro

namespace vexaro::test {
namespace {

namespace fs = std::filesystem;

// The preview of the default generated theme, with test captions.
Bitmap PreviewOfATheme()
{
    TempDir dir;
    const Workspace workspace(dir.path());
    PaintTheme(workspace);
    RecordingWindow window;
    PaintCaptionsLikeTheTestWindow(window);
    PreviewPictures pictures;
    DrawTargetPreview(workspace, window, pictures.image1);
    return pictures.image1;
}

const Bitmap& Preview()
{
    static const Bitmap preview = PreviewOfATheme();
    return preview;
}

// --- reading the JPEG back ----------------------------------------------------------------

struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<std::uint8_t> rgb;
    std::string error;
};

struct DecodeErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnDecodeError(j_common_ptr info)
{
    auto* e = reinterpret_cast<DecodeErrors*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

bool DecodeInto(const std::vector<std::uint8_t>& bytes, Decoded& out, char (&message)[JMSG_LENGTH_MAX])
{
    jpeg_decompress_struct cinfo{};
    DecodeErrors errors{};
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnDecodeError;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        std::copy(std::begin(errors.message), std::end(errors.message), std::begin(message));
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    out.components = cinfo.num_components;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row =
            out.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * static_cast<std::size_t>(out.width) * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

Decoded DecodeJpeg(const std::vector<std::uint8_t>& bytes)
{
    Decoded out;
    char message[JMSG_LENGTH_MAX] = {};
    if (!DecodeInto(bytes, out, message))
        out.error = message;
    return out;
}

// The markers before the scan: code and segment bytes (without marker and length).
struct Segment {
    int marker;
    std::vector<std::uint8_t> data;
};

std::vector<Segment> HeaderSegments(const std::vector<std::uint8_t>& b)
{
    std::vector<Segment> segments;
    if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xD8)
        return segments;
    std::size_t p = 2;
    while (p + 4 <= b.size() && b[p] == 0xFF) {
        const int marker = b[p + 1];
        const std::size_t length = static_cast<std::size_t>(b[p + 2]) << 8 | b[p + 3];
        if (length < 2 || p + 2 + length > b.size())
            break;
        segments.push_back(
            {marker, std::vector<std::uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(p + 4),
                                               b.begin() + static_cast<std::ptrdiff_t>(p + 2 + length))});
        if (marker == 0xDA)
            break;
        p += 2 + length;
    }
    return segments;
}

bool IsJpeg(const std::vector<std::uint8_t>& b) { return b.size() > 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF; }
bool IsBmp(const std::vector<std::uint8_t>& b) { return b.size() > 2 && b[0] == 'B' && b[1] == 'M'; }

// --- JPEG -------------------------------------------------------------------------------------

TEST(PreviewExport, JpegDecodesToThePreviewWithinQuality100Error)
{
    TempDir dir;
    const std::string written = ExportPreview(Preview(), (dir / "preview").string(), PreviewFileType::Jpeg);
    EXPECT_EQ(written, (dir / "preview.jpg").string());
    const Decoded d = DecodeJpeg(ReadBytes(written));
    ASSERT_EQ(d.error, "");
    ASSERT_EQ(d.width, 280);
    ASSERT_EQ(d.height, 385);
    EXPECT_EQ(d.components, 3);

    const std::vector<std::uint8_t> original = Preview().toRgb();
    ASSERT_EQ(original.size(), d.rgb.size());
    long long total = 0, totalY = 0;
    int worst = 0, worstY = 0;
    for (std::size_t i = 0; i < original.size(); ++i) {
        const int e = std::abs(int(original[i]) - int(d.rgb[i]));
        total += e;
        worst = std::max(worst, e);
    }
    for (std::size_t i = 0; i < original.size(); i += 3) {
        auto luma = [](const std::uint8_t* p) { return (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000.0; };
        const int e = static_cast<int>(std::lround(std::abs(luma(&original[i]) - luma(&d.rgb[i]))));
        totalY += e;
        worstY = std::max(worstY, e);
    }
    const double mean = static_cast<double>(total) / static_cast<double>(original.size());
    const double meanY = static_cast<double>(totalY) / static_cast<double>(original.size() / 3);

    // Quality 100 keeps luminance nearly exact (its largest errors are where a colour that
    // lost chroma resolution is clipped at 0 or 255). The colour errors come from the default
    // sampling, which halves the chroma resolution both ways: the generated icons change colour
    // from pixel to pixel, which 2x2 chroma cannot follow. Bounds: measured 0.15 / 18 (luma)
    // and 7.2 / 184 (channels), with some room.
    EXPECT_LT(meanY, 0.5);
    EXPECT_LE(worstY, 32);
    EXPECT_LT(mean, 10.0);
    EXPECT_LE(worst, 220);
    RecordProperty("mean_abs_error", std::to_string(mean));
    RecordProperty("max_abs_error", std::to_string(worst));
    std::printf("JPEG of the preview: mean abs error %.3f, max %d; luma %.3f, max %d\n", mean, worst, meanY, worstY);
}

TEST(PreviewExport, JpegOfASmoothPictureIsNearlyExact)
{
    // Slow gradients: chroma sampling loses nothing, so only the DCT rounding remains.
    const Bitmap smooth = Paint(280, 385, [](int x, int y) {
        return Rgb{static_cast<std::uint8_t>(20 + x * 200 / 280), static_cast<std::uint8_t>(30 + y * 180 / 385),
                   static_cast<std::uint8_t>(100 + (x + y) * 100 / 665)};
    });
    const Decoded d = DecodeJpeg(EncodeJpeg(smooth, 100));
    ASSERT_EQ(d.error, "");
    const std::vector<std::uint8_t> original = smooth.toRgb();
    ASSERT_EQ(d.rgb.size(), original.size());
    int worst = 0;
    for (std::size_t i = 0; i < original.size(); ++i)
        worst = std::max(worst, std::abs(int(original[i]) - int(d.rgb[i])));
    std::printf("JPEG of a smooth picture: max abs error %d\n", worst);
    EXPECT_LE(worst, 6); // measured 4
}

TEST(PreviewExport, JpegIsBaselineSequentialColourAtQuality100)
{
    const std::vector<std::uint8_t> bytes = EncodeJpeg(Preview(), 100);
    const std::vector<Segment> segments = HeaderSegments(bytes);
    ASSERT_FALSE(segments.empty());
    ASSERT_EQ(segments.back().marker, 0xDA) << "a scan follows the header";

    int frames = 0, scans = 0, tables = 0;
    for (const Segment& s : segments) {
        if (s.marker >= 0xC1 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 && s.marker != 0xCC)
            ADD_FAILURE() << "frame marker FF" << std::hex << s.marker << " is not baseline";
        if (s.marker == 0xC0) {
            ++frames;
            ASSERT_GE(s.data.size(), 6u + 3 * 3);
            EXPECT_EQ(s.data[0], 8) << "sample precision";
            EXPECT_EQ((s.data[1] << 8) | s.data[2], 385);
            EXPECT_EQ((s.data[3] << 8) | s.data[4], 280);
            ASSERT_EQ(s.data[5], 3) << "three components";
            // The library's default sampling: luminance 2x2, both chroma components 1x1.
            EXPECT_EQ(s.data[7], 0x22);
            EXPECT_EQ(s.data[10], 0x11);
            EXPECT_EQ(s.data[13], 0x11);
        }
        if (s.marker == 0xDA) {
            ++scans;
            EXPECT_EQ(s.data[0], 3) << "one interleaved scan of all three components";
        }
        if (s.marker == 0xDB) {
            // 8-bit tables; at quality 100 every entry is 1.
            for (std::size_t p = 0; p < s.data.size(); p += 65) {
                ++tables;
                EXPECT_EQ(s.data[p] >> 4, 0) << "baseline tables are 8-bit";
                ASSERT_LE(p + 65, s.data.size());
                for (std::size_t k = 1; k <= 64; ++k)
                    EXPECT_EQ(s.data[p + k], 1) << "table " << (s.data[p] & 15) << " entry " << k;
            }
        }
    }
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(scans, 1);
    EXPECT_EQ(tables, 2);
}

TEST(PreviewExport, JpegDependsOnColoursOnlyNotOnPixelFormat)
{
    Bitmap paletted;
    paletted.reset(64, 48, PixelFormat::Pal8, {Rgb{200, 100, 50}, Rgb{9, 8, 7}, Rgb{0, 255, 0}});
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            paletted.row(y)[x] = static_cast<std::uint8_t>((x / 16 + y / 16) % 3);
    Bitmap direct = paletted;
    direct.convertTo24();
    EXPECT_EQ(EncodeJpeg(paletted, 100), EncodeJpeg(direct, 100));
    const Decoded d = DecodeJpeg(EncodeJpeg(paletted, 100));
    ASSERT_EQ(d.error, "");
    // Inside the first solid 16x16 block: red stays red and blue blue.
    const std::size_t at = (4 * 64 + 4) * 3;
    EXPECT_NEAR(d.rgb[at], 200, 3);
    EXPECT_NEAR(d.rgb[at + 1], 100, 3);
    EXPECT_NEAR(d.rgb[at + 2], 50, 3);
}

TEST(PreviewExport, EncodingAnEmptyPictureFailsWithTheLibrarysText)
{
    try {
        EncodeJpeg(Bitmap(), 100);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("JPEG error: ", 0), 0u) << e.what();
    }
}

// --- BMP --------------------------------------------------------------------------------------

TEST(PreviewExport, BmpHoldsThePreviewExactlyIn24Bits)
{
    TempDir dir;
    const std::string written = ExportPreview(Preview(), (dir / "preview").string(), PreviewFileType::Bmp);
    const std::vector<std::uint8_t> bytes = ReadBytes(written);
    ASSERT_TRUE(IsBmp(bytes));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[28], 24) << "bits per pixel";
    EXPECT_EQ(bytes[30], 0) << "no compression";
    Bitmap back;
    DecodeBmp(bytes, back);
    EXPECT_EQ(back.bitsPerPixel(), 24);
    EXPECT_EQ(CompareToGrid(GridOf(Preview()), back), "");
}

// --- names ------------------------------------------------------------------------------------

struct NameCase {
    const char* chosen; // relative to the test folder
    PreviewFileType type;
    const char* written;
};

std::string TypeName(PreviewFileType type) { return testing::PrintToString(type); }

// The cases are numbered; ctest's list and a failure show each as "my.folder/pic" as Jpeg.
void PrintTo(const NameCase& c, std::ostream* out) { *out << '"' << c.chosen << "\" as " << TypeName(c.type); }

class ExportName : public testing::TestWithParam<NameCase> {};

TEST_P(ExportName, TypeDecidesExtensionAndFormat)
{
    const NameCase& c = GetParam();
    TempDir dir;
    fs::create_directories(dir / "my.folder");
    const std::string result = ExportPreview(Preview(), (dir / c.chosen).string(), c.type);
    EXPECT_EQ(result, (dir / c.written).string());
    const std::vector<std::uint8_t> bytes = ReadBytes(dir / c.written);
    EXPECT_TRUE(c.type == PreviewFileType::Jpeg ? IsJpeg(bytes) : IsBmp(bytes));
    // Nothing else was written: the folder holds my.folder and the one file.
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportName,
    testing::Values(NameCase{"pic", PreviewFileType::Jpeg, "pic.jpg"}, NameCase{"pic", PreviewFileType::Bmp, "pic.bmp"},
                    NameCase{"pic.bmp", PreviewFileType::Jpeg, "pic.jpg"},
                    NameCase{"pic.jpg", PreviewFileType::Bmp, "pic.bmp"},
                    NameCase{"pic.png", PreviewFileType::Jpeg, "pic.jpg"},
                    NameCase{"a.b.c", PreviewFileType::Bmp, "a.b.bmp"},
                    NameCase{"pic.", PreviewFileType::Jpeg, "pic.jpg"},
                    NameCase{"my.folder/pic", PreviewFileType::Jpeg, "my.folder/pic.jpg"},
                    NameCase{"my.folder/pic.x.jpeg", PreviewFileType::Bmp, "my.folder/pic.x.bmp"}));

TEST(PreviewExport, ExtensionRuleTakesTheLastDotBackslashColonOrSlash)
{
    const struct {
        const char* name;
        const char* result;
    } cases[] = {
        {"C:\\my.dir\\pic", "C:\\my.dir\\pic.jpg"},
        {"C:\\my.dir\\pic.bmp", "C:\\my.dir\\pic.jpg"},
        {"C:pic", "C:pic.jpg"},
        {"a.b:c", "a.b:c.jpg"},
        {"/home/x.y/pic", "/home/x.y/pic.jpg"},
        {"pic.tar.gz", "pic.tar.jpg"},
        {".hidden", ".jpg"},
        {"", ".jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceExtension(c.name, ".jpg"), c.result) << c.name;
}

// --- files ------------------------------------------------------------------------------------

TEST(PreviewExport, ExistingFileIsReplaced)
{
    TempDir dir;
    const fs::path target = dir / "out.jpg";
    WriteBytes(target, std::vector<std::uint8_t>(1 << 20, 0xAB));
    ExportPreview(Preview(), target.string(), PreviewFileType::Jpeg);
    EXPECT_EQ(ReadBytes(target), EncodeJpeg(Preview(), 100));
}

class MissingFolder : public testing::TestWithParam<PreviewFileType> {};

TEST_P(MissingFolder, NamesTheFullPathAndWritesNothing)
{
    TempDir dir;
    const std::string chosen = (dir / "missing" / "pic.png").string();
    const std::string full = (dir / "missing" / (GetParam() == PreviewFileType::Jpeg ? "pic.jpg" : "pic.bmp")).string();
    try {
        ExportPreview(Preview(), chosen, GetParam());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + full + "\". " + SystemReason(ENOENT));
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Types, MissingFolder, testing::Values(PreviewFileType::Jpeg, PreviewFileType::Bmp),
                         [](const testing::TestParamInfo<PreviewFileType>& p) { return TypeName(p.param); });

TEST(PreviewExport, RelativeNameIsReportedInFull)
{
    TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    std::string message;
    try {
        ExportPreview(Preview(), "nowhere/pic", PreviewFileType::Bmp);
    } catch (const Error& e) {
        message = e.what();
    }
    fs::current_path(before);
    EXPECT_EQ(message,
              "Cannot create file \"" + (dir / "nowhere" / "pic.bmp").string() + "\". " + SystemReason(ENOENT));
}

// A folder, FIFO or device under the final name is refused at once, never waited on.
TEST(PreviewExport, TargetThatIsNoRegularFileIsRefused)
{
    TempDir dir;
    fs::create_directories(dir / "folder.jpg");
    std::vector<fs::path> targets{dir / "folder.jpg"};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "fifo.jpg").c_str(), 0600), 0);
    targets.push_back(dir / "fifo.jpg");
#endif
    for (const fs::path& target : targets) {
        try {
            ExportPreview(Preview(), target.string(), PreviewFileType::Jpeg);
            ADD_FAILURE() << "no error for " << target;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + target.string() + "\". Not a regular file");
        }
    }
}

TEST(PreviewExport, UnknownTypeWritesNothing)
{
    TempDir dir;
    EXPECT_THROW(ExportPreview(Preview(), (dir / "pic").string(), static_cast<PreviewFileType>(3)), Error);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
} // namespace vexaro::test
