// The package reader: record walk, names, storage, damaged packages and the real packages of the
// corpus, whose expected bytes come from the corpus manifest.
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Error.h"
#include "PackageBuilder.h"
#include "import/PackageExtract.h"
#include "TestSupport.h"
#include "RecordingWindow.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::BuiltPackage;
using test::Bytes;
using test::PackageBuilder;
using test::SisRelease;
using test::SisStorage;

// What one extraction did.
struct Outcome {
    std::optional<std::string> error;
    std::vector<std::string> events;
    std::map<std::string, std::vector<std::uint8_t>> files; // the source folder afterwards

    std::vector<std::string> captions() const
    {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.starts_with("caption "))
                out.push_back(e.substr(8));
        return out;
    }
};

// The window calls of a whole run over records with these display names.
std::vector<std::string> ExpectedEvents(const std::vector<std::string>& displayNames)
{
    std::vector<std::string> out{"max " + std::to_string(displayNames.size())};
    for (std::size_t i = 0; i < displayNames.size(); ++i) {
        out.push_back("caption Process : " + displayNames[i]);
        out.push_back("messages");
        out.push_back("position " + std::to_string(i + 1));
        out.push_back("messages");
    }
    return out;
}

std::map<std::string, std::vector<std::uint8_t>>
Files(std::initializer_list<std::pair<const std::string, std::string>> files)
{
    std::map<std::string, std::vector<std::uint8_t>> out;
    for (const auto& [name, text] : files)
        out[name] = Bytes(text);
    return out;
}

// Every test runs in <tmp>/outer/Nokia/, so that a name climbing out with ".." would land inside
// the temporary folder, where the run looks for it.
class SisReaderTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    fs::path outer = tmp.path() / "outer";
    fs::path source = outer / "Nokia";
    fs::path packagePath = tmp.path() / "package.sis";

    Outcome Extract(const std::vector<std::uint8_t>& package)
    {
        test::WriteBytes(packagePath, package);
        return ExtractFile(packagePath);
    }

    Outcome ExtractFile(const fs::path& package)
    {
        fs::create_directories(source);
        std::set<fs::path> foldersBefore;
        for (const auto& entry : fs::directory_iterator(source))
            if (entry.is_directory())
                foldersBefore.insert(entry.path());
        test::RecordingWindow window;
        Outcome run;
        // One flat log of the window calls: at each processMessages the progress calls and
        // captions made since the one before (progress first: only the first interval holds
        // both, the maximum and the first caption).
        std::size_t progressSeen = 0, captionsSeen = 0;
        auto flush = [&] {
            for (; progressSeen < window.progressCalls.size(); ++progressSeen)
                run.events.push_back(window.progressCalls[progressSeen]);
            for (; captionsSeen < window.openCaptions.size(); ++captionsSeen)
                run.events.push_back("caption " + window.openCaptions[captionsSeen]);
        };
        window.onProcessMessages = [&] {
            flush();
            run.events.push_back("messages");
        };
        try {
            ExtractSisPackage(package.string(), source.string() + std::string(1, fs::path::preferred_separator),
                              window);
        } catch (const Error& e) {
            run.error = e.what();
        }
        flush();
        for (const auto& entry : fs::directory_iterator(source)) {
            if (entry.is_regular_file())
                run.files[entry.path().filename().string()] = test::ReadBytes(entry.path());
            else if (!foldersBefore.contains(entry.path()))
                ADD_FAILURE() << "the reader made a folder: " << entry.path();
        }
        ExpectNothingOutsideSource();
        return run;
    }

    // The message of an extraction of the package file into `folder`, or "no error".
    std::string ErrorExtractingInto(const fs::path& folder) const
    {
        test::RecordingWindow window;
        try {
            ExtractSisPackage(packagePath.string(), folder.string() + std::string(1, fs::path::preferred_separator),
                              window);
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }

    void ExpectNothingOutsideSource() const
    {
        for (const auto& entry : fs::recursive_directory_iterator(tmp.path())) {
            const fs::path& p = entry.path();
            if (p == packagePath || p == outer || p == source || p.parent_path() == source ||
                p.parent_path().parent_path() == source) // inside a folder the test made
                continue;
            ADD_FAILURE() << "written outside the source folder: " << p;
        }
    }
};

// --- the reader's contract, with packages from the builder --------------------------------------

TEST_F(SisReaderTest, WritesEachFileUnderItsDisplayNameAndRenamesMbmWithExactCase)
{
    const auto package = PackageBuilder()
                             .addFile("C:\\theme\\skin.mbm", Bytes("skin bitmaps"))
                             .addFile("C:\\theme\\readme.txt", Bytes("read me"))
                             .addFile("C:\\theme\\icon.MBM", Bytes("icon bitmaps"))
                             .bytes();
    const Outcome run = Extract(package);
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files,
              Files({{"temp.mbm", "skin bitmaps"}, {"readme.txt", "read me"}, {"icon.MBM", "icon bitmaps"}}));
    EXPECT_EQ(run.events, ExpectedEvents({"skin.mbm", "readme.txt", "icon.MBM"}));
}

TEST_F(SisReaderTest, LaterEntryOfTheSameOutputNameWins)
{
    fs::create_directories(source);
    test::WriteBytes(source / "temp.mbm", Bytes("from an earlier run"));
    const Outcome run = Extract(PackageBuilder()
                                    .addFile("a\\first.mbm", Bytes("first"))
                                    .addFile("b\\dup.txt", Bytes("dup one"))
                                    .addFile("a\\second.mbm", Bytes("second"))
                                    .addFile("a/dup.txt", Bytes("dup two"))
                                    .bytes());
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"temp.mbm", "second"}, {"dup.txt", "dup two"}}));
}

// Read into memory, the theme's multi-bitmap file is what extraction leaves as "temp.mbm".
TEST_F(SisReaderTest, MultiBitmapEntryInMemoryIsWhatExtractionLeaves)
{
    const std::vector<std::vector<std::uint8_t>> packages{
        PackageBuilder()
            .addFile("a\\first.mbm", Bytes("first"))
            .addFile("b\\readme.txt", Bytes("read me"))
            .addFile("a\\second.mbm", Bytes(std::string(5000, 's')), SisStorage::Compressed)
            .bytes(),
        PackageBuilder().addFile("skin.mbm", Bytes("skin"), SisStorage::Stored).addFile("icon.MBM", Bytes("i")).bytes(),
        PackageBuilder().addFile("readme.txt", Bytes("no theme")).bytes(),
    };
    for (const std::vector<std::uint8_t>& package : packages) {
        fs::remove_all(source);
        const Outcome run = Extract(package);
        ASSERT_FALSE(run.error) << *run.error;
        const auto extracted = run.files.find("temp.mbm");
        const auto inMemory = sis::ReadMultiBitmapEntry(ByteReader(package), "Theme.sis");
        ASSERT_EQ(inMemory.has_value(), extracted != run.files.end());
        if (inMemory) {
            EXPECT_EQ(*inMemory, extracted->second);
        }
    }
}

TEST_F(SisReaderTest, EqualLengthsAreCopiedAsTheyAreAndDifferentLengthsInflated)
{
    // The stored bytes of the first entry form a valid zlib stream; equal lengths mean they are
    // the file itself.
    const std::vector<std::uint8_t> stream = test::ZlibCompress(Bytes(std::string(300, 'z')));
    const auto package = PackageBuilder()
                             .addRawFile(test::Name16("raw.bin"), stream, static_cast<std::uint32_t>(stream.size()))
                             .addFile("empty.ini", {}, SisStorage::Compressed)
                             .addFile("plain.txt", Bytes("stored as is"), SisStorage::Stored)
                             .bytes();
    const Outcome run = Extract(package);
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files.at("raw.bin"), stream);
    EXPECT_TRUE(run.files.at("empty.ini").empty()); // an 8-byte stream of original length 0
    EXPECT_EQ(run.files.at("plain.txt"), Bytes("stored as is"));
}

// 300 bytes whose zlib stream is exactly 100 bytes: noise up front, then a run of one letter.
std::vector<std::uint8_t> ThreeHundredBytesCompressingToOneHundred()
{
    for (std::uint32_t seed = 1; seed < 100; ++seed) {
        for (std::size_t noisy = 0; noisy <= 300; ++noisy) {
            std::vector<std::uint8_t> data(300, 'a');
            std::uint32_t x = seed;
            for (std::size_t i = 0; i < noisy; ++i) {
                x = x * 1664525 + 1013904223;
                data[i] = static_cast<std::uint8_t>(x >> 24);
            }
            const std::size_t size = test::ZlibCompress(data).size();
            if (size == 100)
                return data;
            if (size > 100)
                break;
        }
    }
    throw std::runtime_error("no data compresses to 100 bytes");
}

TEST_F(SisReaderTest, StoredLength100AndOriginal300InflatesTo300Bytes)
{
    const auto data = ThreeHundredBytesCompressingToOneHundred();
    const auto stream = test::ZlibCompress(data);
    ASSERT_EQ(stream.size(), 100u);
    const Outcome run = Extract(PackageBuilder().addRawFile(test::Name16("x\\three.dat"), stream, 300).bytes());
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files.at("three.dat"), data);
}

TEST_F(SisReaderTest, SixteenBitNamesKeepTheLowByteOfWholeUnits)
{
    // 7 bytes: three whole units and an odd byte that is not read.
    std::vector<std::uint8_t> sevenBytes = test::Name16("abc");
    sevenBytes.push_back('d');
    // 0x0441 (a Cyrillic letter) becomes 'A'.
    std::vector<std::uint8_t> cyrillic = {0x41, 0x04};
    for (auto b : test::Name16("bc.txt"))
        cyrillic.push_back(b);
    const Outcome run = Extract(
        PackageBuilder().addRawFile(sevenBytes, Bytes("seven"), 5).addRawFile(cyrillic, Bytes("cyrillic"), 8).bytes());
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"abc", "seven"}, {"Abc.txt", "cyrillic"}}));
    EXPECT_EQ(run.captions(), (std::vector<std::string>{"Process : abc", "Process : Abc.txt"}));
}

TEST_F(SisReaderTest, EmptyShortOrMissingFileExtractsNothingAndSetsMaximumZero)
{
    for (const std::size_t size : {0, 1, 21}) {
        SCOPED_TRACE(size);
        auto package = PackageBuilder().addFile("a.txt", Bytes("a")).bytes();
        package.resize(size);
        const Outcome run = Extract(package);
        EXPECT_FALSE(run.error);
        EXPECT_TRUE(run.files.empty());
        EXPECT_EQ(run.events, std::vector<std::string>{"max 0"});
    }
    const Outcome missing = ExtractFile(tmp.path() / "no such package.sis");
    EXPECT_FALSE(missing.error);
    EXPECT_EQ(missing.events, std::vector<std::string>{"max 0"});
}

TEST_F(SisReaderTest, RefusesAThemeFileThatIsNoRegularFileAtOnce)
{
    std::vector<fs::path> files{outer}; // a folder
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(packagePath.c_str(), 0600), 0); // opening it without care waits for a writer
    files.push_back(packagePath);
    files.push_back("/dev/zero"); // reading it without care never ends
#endif
    for (const fs::path& file : files) {
        SCOPED_TRACE(file);
        const Outcome run = ExtractFile(file);
        EXPECT_EQ(run.error, "Cannot open file \"" + file.string() + "\". Not a regular file");
        EXPECT_TRUE(run.events.empty());
        EXPECT_TRUE(run.files.empty());
    }
}

TEST_F(SisReaderTest, CountOfZeroWritesNothing)
{
    auto package = PackageBuilder().addFile("a.txt", Bytes("a")).bytes();
    test::PutU16(package, 20, 0);
    const Outcome run = Extract(package);
    EXPECT_FALSE(run.error);
    EXPECT_TRUE(run.files.empty());
    EXPECT_EQ(run.events, std::vector<std::string>{"max 0"});
}

// --- record kinds and releases ------------------------------------------------------------------

TEST_F(SisReaderTest, WalksOptionsConditionsAndMultiLanguageRecordsByTheirSizes)
{
    // Three languages: multi-language records are 72 bytes, options 72, conditions 20 and 4.
    PackageBuilder builder;
    builder.languages({3, 2, 1})
        .addFile("X:\\MKS0\\page.html", Bytes("<html>"))
        .addEndIf()
        .addFile("X:\\MKS0\\four.dat", Bytes("four"))
        .addElse()
        .addFile("X:\\MKS0\\three.dat", Bytes("three"))
        .addElseIf(test::OptionCondition(2))
        .addFile("X:\\MKS0\\one.mbm", Bytes("one bitmaps"))
        .addIf(test::OptionCondition(1))
        .addMultiLanguageFile("X:\\MKS0\\res.r03", {Bytes(std::string(300, 'G')), Bytes("French"), Bytes("English")})
        .addOptions({{"zwei", "deux", "two"}, {"eins", "un", "one"}})
        .addFile("X:\\MKS0\\licence.txt0", Bytes("licence"), SisStorage::Stored);
    const BuiltPackage built = builder.build();

    const sis::SisPackage parsed = sis::ParseSisPackage(built.bytes, "package.sis");
    ASSERT_EQ(parsed.records.size(), built.recordOffsets.size());
    for (std::size_t i = 0; i < parsed.records.size(); ++i) {
        EXPECT_TRUE(parsed.records[i].inPackage) << i;
        EXPECT_EQ(parsed.records[i].offset, built.recordOffsets[i]) << i;
    }
    EXPECT_EQ(parsed.records[5].size, 20u); // ELSEIF with a 12-byte expression
    EXPECT_EQ(parsed.records[8].size, 72u); // multi-language, three forks
    EXPECT_EQ(parsed.records[9].size, 72u); // two options in three languages

    const Outcome run = Extract(built.bytes);
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"page.html", "<html>"},
                                {"four.dat", "four"},
                                {"three.dat", "three"},
                                {"temp.mbm", "one bitmaps"},
                                {"res.r03", std::string(300, 'G')},
                                {"licence.txt0", "licence"}}));
    EXPECT_EQ(run.events, ExpectedEvents({"page.html", "", "four.dat", "", "three.dat", "", "one.mbm", "", "res.r03",
                                          "", "licence.txt0"}));
}

TEST_F(SisReaderTest, ReadsRelease5WithShortRecordsEightBitNamesAndNoCompression)
{
    // The stored bytes of "data.bin" form a zlib stream: release 5 never inflates.
    const auto stream = test::ZlibCompress(Bytes("not to be inflated"));
    const auto package =
        PackageBuilder(SisRelease::Er5)
            .languages({10, 4, 3, 2, 1})
            .addMultiLanguageFile("\\epoc32\\release\\marm\\rel\\Bombs.r10",
                                  {Bytes("AM"), Bytes("SP"), Bytes("GE"), Bytes("FR"), Bytes("English")})
            .addFile("\\Bombs\\release\\dontCare", {})
            .addFile("\\epoc32\\release\\marm\\rel\\Magn\xE9to.mbm", Bytes("bitmaps"))
            .addFile("\\epoc32\\release\\marm\\rel\\Bombs.mcl", Bytes("psion bitmaps"))
            .addFile("\\epoc32\\data.bin", stream)
            .bytes();
    const Outcome run = Extract(package);
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"Bombs.r10", "AM"},
                                {"dontCare", ""},
                                {"temp.mbm", "bitmaps"},
                                {"Bombs.mcl", "psion bitmaps"},
                                {"data.bin", std::string(stream.begin(), stream.end())}}));
    EXPECT_EQ(run.events, ExpectedEvents({"Bombs.r10", "dontCare", "Magn\xE9to.mbm", "Bombs.mcl", "data.bin"}));
}

TEST_F(SisReaderTest, RefusesSymbianOs9BeforeAnythingIsWritten)
{
    const Outcome run = Extract(PackageBuilder().uid1(sis::kUid1Symbian9).addFile("a.txt", Bytes("a")).bytes());
    EXPECT_EQ(run.error, "Symbian OS 9 packages are not supported");
    EXPECT_TRUE(run.files.empty());
    EXPECT_TRUE(run.events.empty());
}

TEST_F(SisReaderTest, AnyOtherIdentifierIsReadAsRelease6)
{
    auto package = PackageBuilder().addFile("a.txt", Bytes("a")).bytes();
    test::PutU32(package, 4, 0x10000042); // the UID2 of a multi-bitmap file
    test::PutU32(package, 8, 0);
    const Outcome run = Extract(package);
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"a.txt", "a"}}));

    // Such a file's records are all taken as 48-byte simple-file records, whatever their kind.
    const BuiltPackage built = PackageBuilder().addFile("a.txt", Bytes("a")).addFile("b.txt", Bytes("b")).build();
    auto unknown = built.bytes;
    test::PutU32(unknown, 4, 0x10000042);
    test::PutU32(unknown, built.recordOffsets[0], 9);
    const Outcome kindIgnored = Extract(unknown);
    ASSERT_FALSE(kindIgnored.error) << *kindIgnored.error;
    EXPECT_EQ(kindIgnored.files, Files({{"a.txt", "a"}, {"b.txt", "b"}}));
}

TEST_F(SisReaderTest, RefusesMoreThan1024RecordsAndTakes1024)
{
    const BuiltPackage built = PackageBuilder().addFile("a.txt", Bytes("a")).build();
    auto package = built.bytes;
    for (const std::uint16_t count : {std::uint16_t{1025}, std::uint16_t{65535}}) {
        test::PutU16(package, 20, count);
        const Outcome run = Extract(package);
        EXPECT_EQ(run.error, "Package \"package.sis\" announces " + std::to_string(count) +
                                 " file records; at most 1024 are supported");
        EXPECT_TRUE(run.events.empty());
        EXPECT_TRUE(run.files.empty());
    }
    // 1024 records: a copy of the one record ends the file, the rest lie beyond the end and
    // count as empty.
    test::PutU32(package, 52, static_cast<std::uint32_t>(package.size()));
    package.insert(package.end(), built.bytes.begin() + static_cast<std::ptrdiff_t>(built.recordOffsets[0]),
                   built.bytes.begin() + static_cast<std::ptrdiff_t>(built.recordOffsets[0] + 48));
    test::PutU16(package, 20, 1024);
    const Outcome run = Extract(package);
    EXPECT_FALSE(run.error);
    std::vector<std::string> captions(1024, "Process : ");
    captions[0] = "Process : a.txt";
    EXPECT_EQ(run.captions(), captions);
    EXPECT_EQ(run.files, Files({{"a.txt", "a"}}));
    EXPECT_EQ(run.events.front(), "max 1024");
    EXPECT_EQ(run.events.back(), "messages");
    EXPECT_EQ(run.events[run.events.size() - 2], "position 1024");
}

// --- names and where files go -------------------------------------------------------------------

TEST(SisNames, DisplayAndOutputNames)
{
    EXPECT_EQ(sis::DisplayName("C:\\theme\\skin.mbm"), "skin.mbm");
    EXPECT_EQ(sis::DisplayName("../synth/theme/escape.txt"), "escape.txt");
    EXPECT_EQ(sis::DisplayName("C:name.txt"), "name.txt");
    EXPECT_EQ(sis::DisplayName("plain"), "plain");
    EXPECT_EQ(sis::DisplayName("C:\\dir\\"), "");

    EXPECT_EQ(sis::OutputName("a\\skin.mbm"), "temp.mbm");
    EXPECT_EQ(sis::OutputName(".mbm"), "temp.mbm");
    EXPECT_EQ(sis::OutputName("icon.MBM"), "icon.MBM");
    EXPECT_EQ(sis::OutputName("icon.Mbm"), "icon.Mbm");
    EXPECT_EQ(sis::OutputName("a.mbm.txt"), "a.mbm.txt");
    EXPECT_EQ(sis::OutputName("dir.mbm\\readme"), "readme");
    EXPECT_EQ(sis::OutputName("Web.Mcl"), "Web.Mcl");
    EXPECT_EQ(sis::OutputName("readme.txt0"), "readme.txt0");
    for (const std::string& name :
         std::vector<std::string>{"", "C:", "dir\\", ".", "..", "a/..", "..\\.", std::string("a\0b", 3), "CON",
                                  "nul.txt", "Aux .log", "com1", "LPT9.dat", "a?b", "x*.txt", "tab\tname", "q\"uote"})
        EXPECT_EQ(sis::OutputName(name), "") << name;
    EXPECT_EQ(sis::OutputName("COM0"), "COM0");
    EXPECT_EQ(sis::OutputName("console.txt"), "console.txt");
}

TEST_F(SisReaderTest, NamesNeverLeaveTheSourceFolder)
{
    const Outcome run = Extract(PackageBuilder()
                                    .addFile("../escape1.txt", Bytes("one"), SisStorage::Stored)
                                    .addFile("..\\..\\escape2.txt", Bytes("two"))
                                    .addFile("theme/..", Bytes("dots"))
                                    .addFile("theme\\.", Bytes("dot"))
                                    .addFile("C:", Bytes("drive"))
                                    .addFile("/abs/olute.txt", Bytes("absolute"))
                                    .bytes());
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"escape1.txt", "one"}, {"escape2.txt", "two"}, {"olute.txt", "absolute"}}));
    EXPECT_EQ(run.events, ExpectedEvents({"escape1.txt", "escape2.txt", "..", ".", "", "olute.txt"}));
}

// Every file is created anew: an earlier file of the name is removed, not written through, so
// a link left in the folder never carries the data elsewhere.
TEST_F(SisReaderTest, AnEarlierFileOrLinkOfTheNameIsReplacedNotWrittenThrough)
{
    fs::create_directories(source);
    const fs::path victim = tmp.path() / "victim.txt";
    test::WriteBytes(victim, Bytes("keep me"));
    std::error_code linked;
    fs::create_symlink(victim, source / "readme.txt", linked);
    if (linked)
        GTEST_SKIP() << "no symbolic links here: " << linked.message();
    test::WriteBytes(packagePath, PackageBuilder().addFile("readme.txt", Bytes("from the package")).bytes());
    EXPECT_EQ(ErrorExtractingInto(source), "no error");
    EXPECT_FALSE(fs::is_symlink(source / "readme.txt"));
    EXPECT_EQ(test::ReadBytes(source / "readme.txt"), Bytes("from the package"));
    EXPECT_EQ(test::ReadBytes(victim), Bytes("keep me"));
}

// A file that cannot be created or written ends the extraction with the system's reason, and
// leaves nothing under its name; the files before it stay.
TEST_F(SisReaderTest, FileThatCannotBeCreatedOrWrittenIsReported)
{
    const std::vector<std::uint8_t> big(300000, 'x');
    const auto package = PackageBuilder()
                             .addFile("first.txt", Bytes("first"))
                             .addFile("readme.txt", big, SisStorage::Stored)
                             .addFile("last.txt", Bytes("last"))
                             .bytes();
    test::WriteBytes(packagePath, package);
    // The system's reason; Windows words some of these cases its own way.
    auto expectCannotCreate = [](const std::string& message, const fs::path& folder, const std::string& name,
                                 [[maybe_unused]] int posixError) {
        const std::string first =
            "Cannot create file \"" + folder.string() + std::string(1, fs::path::preferred_separator) + name + "\". ";
#ifdef _WIN32
        EXPECT_TRUE(message.starts_with(first)) << message;
#else
        EXPECT_EQ(message, first + SystemReason(posixError));
#endif
    };

    fs::create_directories(source / "readme.txt");
    expectCannotCreate(ErrorExtractingInto(source), source, "readme.txt", EISDIR); // a folder in the way
    EXPECT_TRUE(fs::is_directory(source / "readme.txt"));
    EXPECT_EQ(test::ReadBytes(source / "first.txt"), Bytes("first"));
    EXPECT_FALSE(fs::exists(source / "last.txt"));

    const fs::path plain = tmp.path() / "plain"; // the source folder is a file
    test::WriteBytes(plain, {});
    expectCannotCreate(ErrorExtractingInto(plain), plain, "first.txt", ENOTDIR);
#ifndef _WIN32
    if (::geteuid() != 0) { // root writes into a read-only folder all the same
        const fs::path readOnly = tmp.path() / "read-only";
        fs::create_directories(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
        expectCannotCreate(ErrorExtractingInto(readOnly), readOnly, "first.txt", EACCES);
        fs::permissions(readOnly, fs::perms::owner_all);
    }
    // A disk that fills up part-way, as a cap on the size of the files this process writes.
    fs::remove_all(source);
    fs::create_directories(source);
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit capped = before;
    capped.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &capped), 0);
    const std::string fullDisk = ErrorExtractingInto(source);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    expectCannotCreate(fullDisk, source, "readme.txt", EFBIG);
    EXPECT_FALSE(fs::exists(source / "readme.txt")) << "a cut file stays behind";
    EXPECT_EQ(test::ReadBytes(source / "first.txt"), Bytes("first"));
#endif
}

// --- damaged packages -----------------------------------------------------------------------------

TEST_F(SisReaderTest, RecordsBeyondTheEndCountAsEmpty)
{
    const BuiltPackage built = PackageBuilder()
                                   .addFile("a.txt", Bytes("a"))
                                   .addIf(test::OptionCondition(1))
                                   .addFile("b.txt", Bytes("b"))
                                   .addEndIf()
                                   .build();
    {
        SCOPED_TRACE("table cut in the second record");
        auto package = built.bytes;
        const std::size_t table = package.size();
        package.insert(package.end(), built.bytes.begin() + static_cast<std::ptrdiff_t>(built.recordOffsets[0]),
                       built.bytes.begin() + static_cast<std::ptrdiff_t>(built.recordOffsets[1] + 10));
        test::PutU32(package, 52, static_cast<std::uint32_t>(table));
        const Outcome run = Extract(package);
        EXPECT_FALSE(run.error);
        EXPECT_EQ(run.files, Files({{"a.txt", "a"}}));
        EXPECT_EQ(run.events, ExpectedEvents({"a.txt", "", "", ""}));
    }
    {
        SCOPED_TRACE("condition whose expression runs past the end");
        fs::remove_all(source);
        auto package = built.bytes;
        test::PutU32(package, built.recordOffsets[1] + 4, 0xFFFFFFF8);
        const Outcome run = Extract(package);
        EXPECT_FALSE(run.error);
        EXPECT_EQ(run.files, Files({{"a.txt", "a"}}));
        EXPECT_EQ(run.events, ExpectedEvents({"a.txt", "", "", ""}));
    }
    for (const std::uint32_t position : {0xFFFFFFFFu, 0xFFFFFFD0u, static_cast<std::uint32_t>(built.bytes.size())}) {
        SCOPED_TRACE(position);
        fs::remove_all(source);
        auto package = built.bytes;
        test::PutU32(package, 52, position);
        const Outcome run = Extract(package);
        EXPECT_FALSE(run.error);
        EXPECT_TRUE(run.files.empty());
        EXPECT_EQ(run.events, ExpectedEvents({"", "", "", ""}));
    }
    {
        SCOPED_TRACE("package ends before the table position");
        fs::remove_all(source);
        auto package = built.bytes;
        package.resize(40);
        const Outcome run = Extract(package);
        EXPECT_FALSE(run.error);
        EXPECT_EQ(run.events, ExpectedEvents({"", "", "", ""}));
    }
}

TEST_F(SisReaderTest, RefusesUnknownRecordKind)
{
    const BuiltPackage built = PackageBuilder().addFile("a.txt", Bytes("a")).addFile("b.txt", Bytes("b")).build();
    auto package = built.bytes;
    test::PutU32(package, built.recordOffsets[1], 9);
    const Outcome run = Extract(package);
    EXPECT_EQ(run.error, "Package \"package.sis\" is damaged: file record 1 at offset " +
                             std::to_string(built.recordOffsets[1]) + " has the unknown kind 0x00000009");
    EXPECT_TRUE(run.events.empty());
    EXPECT_TRUE(run.files.empty());
}

TEST_F(SisReaderTest, RefusesNamesAndDataOutsideThePackageBeforeWritingAnything)
{
    const BuiltPackage built =
        PackageBuilder().addFile("C:\\a.txt", Bytes("a")).addFile("C:\\b.txt", Bytes("some text for b")).build();
    const std::size_t b = built.recordOffsets[1];
    const std::string size = std::to_string(built.bytes.size());
    struct Case {
        std::size_t field;
        std::uint32_t value;
        std::string message;
    };
    const std::uint32_t stored = test::GetU32(built.bytes, b + 28);
    const std::uint32_t end = static_cast<std::uint32_t>(built.bytes.size());
    const std::vector<Case> cases = {
        {b + 32, end - 3,
         "the data of file record 1 (b.txt) (" + std::to_string(stored) + " bytes at offset " +
             std::to_string(end - 3) + ")"},
        {b + 32, 0xFFFFFFFF,
         "the data of file record 1 (b.txt) (" + std::to_string(stored) + " bytes at offset 4294967295)"},
        {b + 28, 0xFFFFFFFF,
         "the data of file record 1 (b.txt) (4294967295 bytes at offset " + std::to_string(built.dataOffsets[1]) + ")"},
        {b + 12, 0x7FFFFFFF,
         "the source name of file record 1 (2147483647 bytes at offset " +
             std::to_string(test::GetU32(built.bytes, b + 16)) + ")"},
        {b + 16, 0xFFFFFFFE,
         "the source name of file record 1 (" + std::to_string(test::GetU32(built.bytes, b + 12)) +
             " bytes at offset 4294967294)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto package = built.bytes;
        test::PutU32(package, c.field, c.value);
        const Outcome run = Extract(package);
        EXPECT_EQ(run.error, "Package \"package.sis\" is damaged: " + c.message +
                                 " runs past the end of the package (" + size + " bytes)");
        EXPECT_TRUE(run.events.empty());
        EXPECT_TRUE(run.files.empty());
    }
}

TEST_F(SisReaderTest, RefusesOriginalLengthsDeflateCannotReach)
{
    const BuiltPackage built = PackageBuilder().addFile("C:\\a.txt", Bytes("a")).build();
    auto package = built.bytes;
    const std::uint32_t stored = test::GetU32(package, built.recordOffsets[0] + 28);
    test::PutU32(package, built.recordOffsets[0] + 36, stored * 1032 + 1);
    const Outcome run = Extract(package);
    EXPECT_EQ(run.error, "Package \"package.sis\" is damaged: file record 0 (a.txt): an original length of " +
                             std::to_string(stored * 1032 + 1) + " bytes cannot come from " + std::to_string(stored) +
                             " bytes of zlib data");
    EXPECT_TRUE(run.files.empty());
}

TEST_F(SisReaderTest, TheDeflateBoundAdmitsTheBestCompressionZlibMakes)
{
    const std::vector<std::uint8_t> zeros(8 << 20, 0);
    const auto stream = test::ZlibCompress(zeros, 9);
    ASSERT_GT(zeros.size(), 1000 * stream.size()); // close to the bound of 1032
    const Outcome run = Extract(PackageBuilder().addRawFile(test::Name16("zeros.bin"), stream, 8 << 20).bytes());
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files.at("zeros.bin"), zeros);
}

// Many chunks of one entry, inflated or copied, come out whole and in order: every 4 KiB block of
// the inflated entry carries its number.
TEST_F(SisReaderTest, LargeEntriesAreWrittenChunkByChunkInOrder)
{
    std::vector<std::uint8_t> numbered(24 << 20, 0);
    for (std::size_t i = 0; i < numbered.size(); i += 4096)
        test::PutU32(numbered, i, static_cast<std::uint32_t>(i / 4096));
    std::vector<std::uint8_t> plain(3 * sis::kChunkBytes + 17);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    const Outcome run =
        Extract(PackageBuilder().addFile("big.bin", numbered).addFile("plain.bin", plain, SisStorage::Stored).bytes());
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files.at("big.bin").size(), numbered.size());
    EXPECT_TRUE(run.files.at("big.bin") == numbered);
    EXPECT_TRUE(run.files.at("plain.bin") == plain);
}

// What a package may unpack is checked on the declared lengths, before anything is written.
TEST_F(SisReaderTest, RefusesAPackageThatWouldUnpackTooMuchBeforeWritingAnything)
{
    // 100 KiB of stored bytes may declare up to 1032 times as much.
    const std::vector<std::uint8_t> stored(100 << 10, 0xA5);
    struct Case {
        std::vector<std::uint32_t> lengths;
        std::string error; // what the message starts with
        bool beforeAnyEntry;
    };
    const std::vector<Case> cases = {
        {{100 << 20, 100 << 20, 100 << 20},
         "Package \"package.sis\" would unpack to 314572800 bytes; at most 268435456 bytes (256 MiB) are unpacked from "
         "one "
         "package",
         true},
        {{100 << 20, 100 << 20, 56 << 20}, "Error\n", false}, // the cap itself is taken; the data is no zlib stream
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        fs::remove_all(source);
        PackageBuilder builder;
        for (std::size_t i = 0; i < c.lengths.size(); ++i)
            builder.addRawFile(test::Name16("zero" + std::to_string(i) + ".bin"), stored, c.lengths[i]);
        const Outcome run = Extract(builder.bytes());
        ASSERT_TRUE(run.error);
        EXPECT_TRUE(run.error->starts_with(c.error)) << *run.error;
        EXPECT_EQ(run.events.empty(), c.beforeAnyEntry);
        EXPECT_TRUE(run.files.empty());
    }
    // A name longer than any path is not read.
    const Outcome longName =
        Extract(PackageBuilder().addRawFile(test::Name16(std::string(2049, 'n')), Bytes("x"), 1).bytes());
    EXPECT_EQ(longName.error,
              "Package \"package.sis\" is damaged: the source name of file record 0 is 4098 bytes long; "
              "at most 4096 are read");
    EXPECT_TRUE(longName.events.empty());
}

// "Error" stays the first line; the second names the package, the entry and what is wrong. The
// entry inflates to several chunks, so that a failure at its end comes after writes.
TEST_F(SisReaderTest, BadZlibStreamIsReportedAndLeavesNoFileOfItsEntry)
{
    std::string bText(200000, 'b');
    for (std::size_t i = 0; i < bText.size(); i += 1000)
        bText[i] = static_cast<char>('0' + i / 1000 % 10);
    const BuiltPackage built = PackageBuilder()
                                   .addFile("a.txt", Bytes("first file"))
                                   .addFile("C:\\x\\b.txt", Bytes(bText))
                                   .addFile("c.txt", Bytes("never reached"))
                                   .build();
    const std::size_t b = built.recordOffsets[1];
    const std::uint32_t stored = test::GetU32(built.bytes, b + 28);
    const std::size_t data = built.dataOffsets[1];
    struct Case {
        std::size_t offset;
        std::uint32_t value;
        bool wholeWord;
        std::string what; // after "the compressed data "
    };
    const std::vector<Case> cases = {
        {data + 2, 0xFF, false, "is corrupt (invalid block type)"},
        {data + stored - 1, built.bytes[data + stored - 1] ^ 0x5Au, false, "is corrupt (incorrect data check)"},
        {b + 28, stored - 5, true, "ends early"},
        {b + 36, 199999, true, "inflates to more than the original length of 199999 bytes"},
        {data + 1, 0xBB, false, "is corrupt (need dictionary)"}, // FDICT set, header check kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(source);
        auto package = built.bytes;
        if (c.wholeWord)
            test::PutU32(package, c.offset, c.value);
        else
            package[c.offset] = static_cast<std::uint8_t>(c.value);
        const Outcome run = Extract(package);
        EXPECT_EQ(run.error,
                  "Error\nPackage \"package.sis\" is damaged: file record 1 (b.txt): the compressed data " + c.what);
        EXPECT_EQ(run.files, Files({{"a.txt", "first file"}}));
        auto expected = ExpectedEvents({"a.txt", "b.txt", "c.txt"});
        expected.resize(7); // ends after the caption of b.txt
        EXPECT_EQ(run.events, expected);
    }
}

TEST_F(SisReaderTest, CompleteStreamShorterThanTheOriginalLengthIsWrittenAsItIs)
{
    const BuiltPackage built = PackageBuilder().addFile("a.txt", Bytes("only these bytes")).build();
    auto package = built.bytes;
    test::PutU32(package, built.recordOffsets[0] + 36, 100);
    const Outcome run = Extract(package);
    ASSERT_FALSE(run.error) << *run.error;
    EXPECT_EQ(run.files, Files({{"a.txt", "only these bytes"}}));
}

// --- the corpus -----------------------------------------------------------------------------------

struct ManifestRecord {
    std::string kind; // first word: simple, multilang, options, if, elseif, else, endif
    std::string sourceName;
    std::string sha256;
    bool failed = false; // the manifest's reader could not extract it
};

struct ManifestPackage {
    std::string name;
    int declaredRecords = -1; // "- File table: N records"
    std::string reading;      // "- Reading: ..." for packages without a file table
    std::vector<ManifestRecord> records;
};

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Sections "## name.sis", their "- File table:" and "- Reading:" lines and their table rows
// "| # | kind | file type | source name | destination | stored | original | data | sha256 | agreed by |";
// rows without a number continue a multi-language record with its further forks.
std::vector<ManifestPackage> ParseManifest(const fs::path& file)
{
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::vector<ManifestPackage> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("## ")) {
            out.emplace_back().name = Trim(line.substr(3));
            continue;
        }
        if (out.empty())
            continue;
        ManifestPackage& p = out.back();
        if (line.starts_with("- File table: ")) {
            p.declaredRecords = std::stoi(line.substr(14));
        } else if (line.starts_with("- Reading: ")) {
            p.reading = line.substr(11);
        } else if (line.starts_with("| ")) {
            std::vector<std::string> cells;
            std::stringstream ss(line);
            for (std::string cell; std::getline(ss, cell, '|');)
                cells.push_back(Trim(cell));
            if (cells.size() < 11 || cells[1].empty() || cells[1].find_first_not_of("0123456789") != std::string::npos)
                continue;
            if (std::stoi(cells[1]) != static_cast<int>(p.records.size()))
                throw std::runtime_error("record rows out of order in " + p.name);
            ManifestRecord r;
            r.kind = cells[2].substr(0, cells[2].find(' '));
            r.sourceName = cells[4];
            r.sha256 = cells[9];
            r.failed = cells[8].find("ERROR") != std::string::npos;
            p.records.push_back(r);
        }
    }
    return out;
}

// The expected outcome, worked out from the manifest's names by the naming rule.
std::string ExpectedDisplayName(const std::string& source)
{
    const auto cut = source.find_last_of("\\/:");
    return cut == std::string::npos ? source : source.substr(cut + 1);
}

std::string ExpectedOutputName(const std::string& source)
{
    const std::string display = ExpectedDisplayName(source);
    const auto dot = display.rfind('.');
    if (dot != std::string::npos && display.substr(dot) == ".mbm")
        return "temp.mbm";
    return display == "." || display == ".." ? "" : display;
}

class SisCorpusTest : public SisReaderTest {};

TEST_F(SisCorpusTest, EveryPackageOfTheManifestExtractsAsItSays)
{
    VEXARO_REQUIRE_CORPUS();
    const fs::path folder = test::CorpusDir() / "sis";
    const auto manifest = ParseManifest(folder / "MANIFEST.md");

    std::set<std::string> onDisk, listed;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".sis")
            onDisk.insert(entry.path().filename().string());
    for (const auto& p : manifest)
        listed.insert(p.name);
    ASSERT_EQ(listed, onDisk) << "the manifest and the folder list different packages";

    int filesChecked = 0, packagesExtracted = 0;
    for (const ManifestPackage& p : manifest) {
        SCOPED_TRACE(p.name);
        fs::remove_all(source);
        const Outcome run = ExtractFile(folder / p.name);

        if (p.declaredRecords < 0) { // no file table: refused
            ASSERT_FALSE(p.reading.empty()) << "neither a file table nor a reading note";
            // Symbian OS 9 is refused; anything else is read as a release 6 package, which for a
            // file that is none may extract nothing or refuse it, but writes nowhere else.
            if (p.reading.find("Symbian OS 9") != std::string::npos) {
                EXPECT_EQ(run.error, "Symbian OS 9 packages are not supported");
            }
            EXPECT_TRUE(run.files.empty());
            continue;
        }
        ASSERT_EQ(static_cast<int>(p.records.size()), p.declaredRecords);

        bool anyFailed = false;
        for (const auto& r : p.records)
            anyFailed |= r.failed;
        if (anyFailed) { // data beyond the end (a stub): refused before anything is written
            ASSERT_TRUE(run.error.has_value());
            EXPECT_NE(run.error->find("runs past the end of the package"), std::string::npos) << *run.error;
            EXPECT_TRUE(run.files.empty());
            EXPECT_TRUE(run.events.empty());
            continue;
        }

        ASSERT_FALSE(run.error) << *run.error;
        std::vector<std::string> displayNames;
        std::map<std::string, std::string> expected; // output name -> sha256; a later entry wins
        for (const auto& r : p.records) {
            const bool file = r.kind == "simple" || r.kind == "multilang";
            displayNames.push_back(file ? ExpectedDisplayName(r.sourceName) : "");
            if (file && !ExpectedOutputName(r.sourceName).empty())
                expected[ExpectedOutputName(r.sourceName)] = r.sha256;
        }
        EXPECT_EQ(run.events, ExpectedEvents(displayNames));
        std::map<std::string, std::string> actual;
        for (const auto& [name, bytes] : run.files)
            actual[name] = test::Sha256Hex(bytes);
        EXPECT_EQ(actual, expected);
        for (const auto& [name, sha] : expected)
            filesChecked += actual.count(name) != 0 && actual[name] == sha;
        ++packagesExtracted;
    }
    std::cout << "[ corpus   ] " << packagesExtracted << " packages extracted, " << filesChecked
              << " files matched the manifest\n";
}

TEST_F(SisCorpusTest, EmbeddedComponentPackagesAreReadableAgain)
{
    VEXARO_REQUIRE_CORPUS();
    const Outcome addons = ExtractFile(test::CorpusDir() / "sis" / "er6_ybrowser_addons_0_77.sis");
    ASSERT_FALSE(addons.error) << *addons.error;
    ASSERT_EQ(addons.files.size(), 2u);
    for (const auto& [name, bytes] : addons.files) {
        SCOPED_TRACE(name);
        fs::remove_all(source);
        const Outcome inner = Extract(bytes);
        ASSERT_FALSE(inner.error) << *inner.error;
        EXPECT_FALSE(inner.files.empty());
    }
}

} // namespace
} // namespace vexaro
