// The conversion in memory against the commands on a workspace: every theme the tests know,
// opened, saved and exported on a workspace with the converter as a child process, and converted
// in memory from its bytes, gives the same files to the byte, the same status and the same
// messages. Then what only the conversion in memory does: its cap on a theme's pixels, and calls
// on several threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <map>

#include "PackageBuilder.h"
#include "RecordingWindow.h"
#include "TestSupport.h"
#include "ThemeFixtures.h"
#include "ThemePainter.h"
#include "base/Bytes.h"
#include "base/Error.h"
#include "convert/ThemeConversion.h"
#include "import/ImportCommands.h"
#include "import/SisPackage.h"
#include "mbm/MbmReader.h"
#include "mbm/MbmReduce.h"
#include "preview/PreviewExport.h"
#include "preview/RasterFont.h"
#include "preview/TargetPreview.h"
#include "siemens/ThemeBuild.h"
#include "tool/ConverterInstall.h"

namespace vexaro::test {
namespace {

namespace fs = std::filesystem;

struct NamedFields {
    std::string name;
    FieldTexts texts;
};

FieldTexts Texts(const std::map<int, std::string>& changed)
{
    FieldTexts texts;
    for (int n = 1; n <= kFieldCount; ++n)
        texts[static_cast<std::size_t>(n - 1)] = FieldDefault(n);
    for (const auto& [n, text] : changed)
        texts[static_cast<std::size_t>(n - 1)] = text;
    return texts;
}

// The defaults; low numbers, which the corpus's small files have (field n names bitmap n - 1);
// and texts that name the same bitmap twice, alpha companions, or no numbered file at all.
const std::vector<NamedFields>& FieldSets()
{
    static const std::vector<NamedFields> sets = [] {
        std::map<int, std::string> low;
        for (int n = 1; n <= kFieldCount; ++n)
            low[n] = BitmapNumberText(n - 1);
        return std::vector<NamedFields>{
            {"the default fields", Texts({})},
            {"low numbers", Texts(low)},
            {"odd texts", Texts({{1, "001"},
                                 {2, "000"},
                                 {3, ""},
                                 {4, "000-alpha"},
                                 {5, "1"},
                                 {6, "abc"},
                                 {7, "../000"},
                                 {8, "002"},
                                 {9, "002"},
                                 {10, "001-alpha"},
                                 {11, "010"}})},
        };
    }();
    return sets;
}

struct Converted {
    ThemeOutcome outcome;
    std::array<std::vector<std::uint8_t>, 3> files;
    std::vector<std::uint8_t> preview;
};

// The commands move into the workspace; the test goes on where it was.
struct StayHere {
    fs::path folder = fs::current_path();
    ~StayHere()
    {
        std::error_code ec;
        fs::current_path(folder, ec);
    }
};

// The reference: Open, Save and the preview export on a fresh workspace `folder`, with the
// converter as a child process, judged as the command line judged them.
Converted OnWorkspace(const fs::path& file, ThemeFileType type, const FieldTexts& fields, const fs::path& folder)
{
    const StayHere stay;
    RecordingWindow window;
    for (int n = 1; n <= kFieldCount; ++n)
        window.fields[n] = fields[static_cast<std::size_t>(n - 1)];
    window.onDrawCaption = DrawCaption;
    const Workspace workspace(folder);
    fs::create_directories(folder);
    InstallConverter(folder);
    Converted result;
    ThemeOutcome& outcome = result.outcome;
    try {
        const OpenOutcome open = OpenTheme(workspace, file.string(), type, window, [] {});
        if (!window.messages.empty())
            throw Error(window.messages.front());
        if (open.unpacked == 0)
            throw Error(open.problems().empty() ? Quoted(file.filename().string()) + " holds no bitmaps"
                                                : open.problems());
        outcome = JudgeSave(SaveTheme(workspace, window));
        std::vector<std::string> lost;
        AppendLines(lost, open.problems());
        outcome.problems.insert(outcome.problems.begin(), lost.begin(), lost.end());
        if (!open.complete() && outcome.status == ThemeStatus::Converted)
            outcome.status = ThemeStatus::Partial;
        Bitmap image1;
        DrawTargetPreview(workspace, window, image1);
        ExportPreview(image1, (folder / "preview.jpg").string(), PreviewFileType::Jpeg);
    } catch (const std::exception& e) {
        outcome.status = ThemeStatus::Failed;
        AppendLines(outcome.problems, e.what());
    }
    for (std::size_t i = 0; i < result.files.size(); ++i)
        if (const fs::path built = folder / NativePath(kSiemensFileNames[i]); fs::exists(built))
            result.files[i] = ReadBytes(built);
    if (fs::exists(folder / "preview.jpg"))
        result.preview = ReadBytes(folder / "preview.jpg");
    for (std::size_t i = 0; i < result.files.size(); ++i)
        outcome.built[i] = !result.files[i].empty();
    outcome.preview = !result.preview.empty();
    return result;
}

Converted InMemory(const fs::path& file, ThemeFileType type, const FieldTexts& fields)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    ThemeConversion c = ConvertTheme(ByteSource(bytes), type, file.filename().string(), fields);
    return {std::move(c.outcome), std::move(c.files), std::move(c.previewJpeg)};
}

void ExpectSame(const Converted& reference, const Converted& memory, const std::string& what)
{
    EXPECT_EQ(StatusWord(memory.outcome.status), std::string(StatusWord(reference.outcome.status))) << what;
    EXPECT_EQ(memory.outcome.problems, reference.outcome.problems) << what;
    EXPECT_EQ(memory.outcome.built, reference.outcome.built) << what;
    EXPECT_EQ(memory.outcome.preview, reference.outcome.preview) << what;
    for (std::size_t i = 0; i < memory.files.size(); ++i)
        EXPECT_TRUE(memory.files[i] == reference.files[i]) << what << ": " << kSiemensFileNames[i] << " differs";
    EXPECT_TRUE(memory.preview == reference.preview) << what << ": the preview differs";
}

struct Theme {
    fs::path file;
    ThemeFileType type;
    std::vector<const NamedFields*> fields;
};

TEST(ConvertTheme, SameAsOpenSaveAndExportOnAWorkspace)
{
    if (CorpusDir().empty() && UnderCi())
        FAIL() << "the shared corpus is missing, and CI needs it";
    TempDir t;
    fs::create_directories(t / "in");
    const auto all = [] {
        std::vector<const NamedFields*> sets;
        for (const NamedFields& set : FieldSets())
            sets.push_back(&set);
        return sets;
    }();
    const std::vector<const NamedFields*> someFields{&FieldSets()[0], &FieldSets()[1]};
    auto typeOf = [](const fs::path& file) {
        return file.extension() == ".sis" ? ThemeFileType::Package : ThemeFileType::MultiBitmap;
    };

    std::vector<Theme> themes{{VEXARO_SAMPLE_THEME, ThemeFileType::Package, all}};
    const std::vector<std::uint8_t> sample = ReadBytes(VEXARO_SAMPLE_THEME);
    WriteBytes(t / "in" / "VexaroSample.mbm", *sis::ReadMultiBitmapEntry(ByteReader(sample), "VexaroSample.sis"));
    themes.push_back({t / "in" / "VexaroSample.mbm", ThemeFileType::MultiBitmap, all});
    for (const ThemeFixture& made : MadeThemes()) {
        WriteBytes(t / "in" / made.name, made.bytes);
        themes.push_back({t / "in" / made.name, typeOf(made.name), all});
    }
    if (!CorpusDir().empty())
        for (const auto& entry : fs::recursive_directory_iterator(CorpusDir()))
            if (entry.path().extension() == ".sis" || entry.path().extension() == ".mbm")
                themes.push_back({entry.path(), typeOf(entry.path()), someFields});

    std::map<std::string, int> statuses;
    int run = 0;
    for (const Theme& theme : themes) {
        for (const NamedFields* fields : theme.fields) {
            const fs::path workspace = t / "ws" / std::to_string(run++);
            const Converted reference = OnWorkspace(theme.file, theme.type, fields->texts, workspace);
            const Converted memory = InMemory(theme.file, theme.type, fields->texts);
            ExpectSame(reference, memory, theme.file.filename().string() + " with " + fields->name);
            ++statuses[StatusWord(reference.outcome.status)];
            // Under wine the converter's files may still be held a moment after it ended; what
            // stays goes with the test's folder.
            std::error_code ec;
            fs::remove_all(workspace, ec);
        }
    }
    // The themes cover every outcome.
    EXPECT_GE(statuses["converted"], 4);
    EXPECT_GE(statuses["partial"], 4);
    EXPECT_GE(statuses["failed"], 4);
}

// A table that names one large bitmap many times decodes to more pixels than one theme may: the
// theme fails with the limit and its name, decoding none of them.
TEST(ConvertTheme, ThemeOfTooManyPixelsIsRefused)
{
    Bitmap large;
    large.reset(2048, 2048, PixelFormat::Bits24);
    large.fill(Rgb{10, 20, 30});
    std::vector<std::uint8_t> mbm = mbm::WriteMbm(std::vector{mbm::ReduceBitmap(large, {24, true, false})});
    // A new table at the end: five entries, all pointing at the one bitmap.
    const std::uint32_t table = static_cast<std::uint32_t>(mbm.size());
    const std::uint32_t first = LoadU32(mbm.data() + LoadU32(mbm.data() + 16) + 4);
    mbm.resize(mbm.size() + 24);
    StoreU32(mbm.data() + table, 5);
    for (std::uint32_t k = 0; k < 5; ++k)
        StoreU32(mbm.data() + table + 4 + 4 * k, first);
    StoreU32(mbm.data() + 16, table);
    const std::vector<std::uint8_t> package = PackageBuilder().addFile("C:\\t\\bomb.mbm", mbm).bytes();

    const ThemeConversion c = ConvertTheme(ByteSource(package), ThemeFileType::Package, "Bomb.sis", Texts({}));
    EXPECT_EQ(c.outcome.status, ThemeStatus::Failed);
    EXPECT_EQ(c.outcome.problems,
              std::vector<std::string>{"The theme \"Bomb.sis\" is too large: its bitmaps would unpack to 20971520 "
                                       "pixels, more than the limit of 16777216"});
    EXPECT_EQ(c.outcome.built, (std::array<bool, 3>{}));
    EXPECT_TRUE(c.previewJpeg.empty());
}

// Calls on several threads at once give what one call gives.
TEST(ConvertTheme, CallsOnSeveralThreadsAgree)
{
    const std::vector<std::uint8_t> sample = ReadBytes(VEXARO_SAMPLE_THEME);
    const auto convert = [&] {
        return ConvertTheme(ByteSource(sample), ThemeFileType::Package, "VexaroSample.sis", Texts({}));
    };
    const ThemeConversion alone = convert();
    ASSERT_EQ(alone.outcome.status, ThemeStatus::Converted);
    std::vector<std::future<ThemeConversion>> calls;
    for (int k = 0; k < 4; ++k)
        calls.push_back(std::async(std::launch::async, convert));
    for (auto& call : calls) {
        const ThemeConversion c = call.get();
        EXPECT_EQ(c.files, alone.files);
        EXPECT_EQ(c.previewJpeg, alone.previewJpeg);
    }
}

} // namespace
} // namespace vexaro::test
