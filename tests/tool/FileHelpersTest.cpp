#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool/FileHelpers.h"
#include "TestSupport.h"

namespace vexaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

void Touch(const fs::path& path, const std::string& content = "x")
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// Every path under `root`, relative to it, sorted; links are listed, not followed.
std::vector<std::string> Tree(const fs::path& root)
{
    std::vector<std::string> paths;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        paths.push_back(fs::relative(it->path(), root).generic_string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(ClearFolder, MissingFolderChangesNothing)
{
    TempDir dir;
    Touch(dir / "keep.txt");
    ClearFolder(dir / "Nokia");
    ClearFolder(dir / "Nokia" / "MBM" / "");
    EXPECT_EQ(Tree(dir.path()), std::vector<std::string>{"keep.txt"});
}

TEST(ClearFolder, RemovesFilesHiddenOnesAndNestedFoldersToTheLastLevel)
{
    TempDir dir;
    const fs::path target = dir / "Siemens";
    Touch(target / "Backgroundimage.mbm");
    Touch(target / ".hidden");
#ifdef _WIN32
    // Hidden and system marks do not protect a file (a read-only one does, see below).
    Touch(target / "system.bmp");
    ASSERT_TRUE(::SetFileAttributesW((target / ".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesW((target / "system.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#else
    Touch(target / "readonly.bmp");
    fs::permissions(target / "readonly.bmp", fs::perms::owner_read);
#endif
    Touch(target / "extra" / "a" / "b" / "c" / "deep.bmp");
    Touch(target / "extra" / "a" / "side.txt");
    fs::create_directories(target / "extra" / "empty");
    Touch(dir / "beside.txt");

    ClearFolder(target / ""); // with a trailing separator, as the commands pass it
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(Tree(dir.path()), std::vector<std::string>{"beside.txt"});
}

TEST(ClearFolder, FolderWithFullStopSurvivesWithItsFilesAndKeepsTheClearedFolder)
{
    TempDir dir;
    const fs::path target = dir / "Nokia";
    Touch(target / "temp.mbm");
    Touch(target / "MBM" / "000.bmp");
    Touch(target / "old.theme" / "inside.bmp");
    Touch(target / "old.theme" / "nested" / "deeper.bmp");
    Touch(target / "extra" / ".git" / "config");

    ClearFolder(target);
    EXPECT_EQ(Tree(dir.path()),
              (std::vector<std::string>{"Nokia", "Nokia/extra", "Nokia/extra/.git", "Nokia/extra/.git/config",
                                        "Nokia/old.theme", "Nokia/old.theme/inside.bmp", "Nokia/old.theme/nested",
                                        "Nokia/old.theme/nested/deeper.bmp"}));
}

// Makes a symbolic link to a folder or a file; false where this system makes none (wine 8
// reports success and makes nothing).
bool MakeLink(const fs::path& target, const fs::path& link, bool toFolder)
{
#ifdef _WIN32
    const DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && IsLink(link);
#else
    if (toFolder)
        fs::create_directory_symlink(target, link);
    else
        fs::create_symlink(target, link);
    return true;
#endif
}

#define MAKE_LINK(target, link, toFolder)                                                                              \
    do {                                                                                                               \
        if (!MakeLink(target, link, toFolder))                                                                         \
            GTEST_SKIP() << "this system makes no symbolic links (wine 8 makes none)";                                 \
    } while (0)

// Links go as links: nothing they point to outside the cleared folder is touched.
TEST(ClearFolder, LinksAreRemovedNeverFollowed)
{
    TempDir dir;
    const fs::path outside = dir / "outside";
    Touch(outside / "precious.bmp", "keep me");
    Touch(outside / "sub" / "also.bmp", "keep me too");
    Touch(dir / "lone.bmp", "and me");
    const fs::path target = dir / "Siemens";
    fs::create_directories(target / "inner");
    MAKE_LINK(outside, target / "linkdir", true);
    MAKE_LINK(outside, target / "link.dir", true);
    MAKE_LINK(outside, target / "inner" / "deeplink", true);
    MAKE_LINK(dir / "lone.bmp", target / "linkfile.bmp", false);
    MAKE_LINK(dir / "nowhere", target / "dangling", false);

    ClearFolder(target);
    EXPECT_FALSE(fs::exists(target) || IsLink(target));
    EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"lone.bmp", "outside", "outside/precious.bmp", "outside/sub",
                                                          "outside/sub/also.bmp"}));
}

// A link given as the folder itself (a workspace folder that is a link) goes as a link; the
// folder it points to keeps everything. A real folder can then be made in its place.
TEST(ClearFolder, LinkGivenAsTheFolderGoesAndItsTargetStays)
{
    TempDir dir;
    Touch(dir / "real" / "file.bmp");
    for (const fs::path& given : {dir / "alias", dir / "alias" / ""}) {
        MAKE_LINK(dir / "real", dir / "alias", true);
        EXPECT_TRUE(ClearFolder(given).empty());
        EXPECT_FALSE(IsLink(dir / "alias") || fs::exists(dir / "alias"));
        EXPECT_TRUE(fs::exists(dir / "real" / "file.bmp"));
    }
    MAKE_LINK(dir / "real", dir / "alias", true);
    EnsureRealFolder(dir / "alias");
    EXPECT_FALSE(IsLink(dir / "alias"));
    EXPECT_TRUE(fs::is_directory(dir / "alias") && fs::is_empty(dir / "alias"));
    EXPECT_TRUE(fs::exists(dir / "real" / "file.bmp"));
}

#ifdef _WIN32

// On Windows a file marked read-only, or open elsewhere without leave to delete it, cannot be
// deleted; it stays, and so do the folders above it.
TEST(ClearFolder, FileThatCannotBeDeletedStaysWithTheFoldersAboveIt)
{
    TempDir dir;
    const fs::path target = dir / "Siemens";
    Touch(target / "gone.bmp");
    Touch(target / "locked" / "stays.bmp");
    Touch(target / "busy" / "open.bmp");
    Touch(target / "free" / "gone.bmp");
    fs::permissions(target / "locked" / "stays.bmp", fs::perms::owner_read); // the read-only mark
    std::vector<std::string> failures;
    {
        const test::HeldFile open(target / "busy" / "open.bmp");
        failures = ClearFolder(target);
    }
    EXPECT_EQ(failures.size(), 2u); // the two files; their folders are no failures of their own
    EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"Siemens", "Siemens/busy", "Siemens/busy/open.bmp",
                                                          "Siemens/locked", "Siemens/locked/stays.bmp"}));
}

#else

TEST(ClearFolder, FileThatCannotBeDeletedStaysWithTheFoldersAboveIt)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which may delete from a read-only folder";
    TempDir dir;
    const fs::path target = dir / "Siemens";
    Touch(target / "gone.bmp");
    Touch(target / "locked" / "stays.bmp");
    Touch(target / "free" / "gone.bmp");
    fs::permissions(target / "locked", fs::perms::owner_read | fs::perms::owner_exec);

    const std::vector<std::string> failures = ClearFolder(target);
    fs::permissions(target / "locked", fs::perms::owner_all);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind((target / "locked" / "stays.bmp").string() + ": ", 0), 0u);
    EXPECT_EQ(Tree(dir.path()), (std::vector<std::string>{"Siemens", "Siemens/locked", "Siemens/locked/stays.bmp"}));
}

#endif

TEST(FileSizeOf, EmptyMissingAndOrdinaryFiles)
{
    TempDir dir;
    Touch(dir / "empty.mbm", "");
    Touch(dir / "thousand.mbm", std::string(1000, 'a'));
    EXPECT_EQ(FileSizeOf(dir / "empty.mbm"), 0);
    EXPECT_EQ(FileSizeOf(dir / "thousand.mbm"), 1000);
    EXPECT_EQ(FileSizeOf(dir / "missing.mbm"), -1);
    EXPECT_EQ(FileSizeOf(dir / "thousand.mbm" / "below"), -1);
    EXPECT_EQ(FileSizeOf(dir.path()), -1); // a folder is not a file
}

TEST(FileSizeOf, UnreadableFileIsMinusOne)
{
    TempDir dir;
    Touch(dir / "secret.mbm", "abc");
#ifdef _WIN32
    {
        const test::HeldFile held(dir / "secret.mbm");
        EXPECT_EQ(FileSizeOf(dir / "secret.mbm"), -1);
    }
    EXPECT_EQ(FileSizeOf(dir / "secret.mbm"), 3);
#else
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which reads files without read permission";
    fs::permissions(dir / "secret.mbm", fs::perms::none);
    EXPECT_EQ(FileSizeOf(dir / "secret.mbm"), -1);
#endif
}

// Sizes from 2 GiB on are held at the largest value, never wrapped to 0 or below (a sparse
// file, so the test writes next to nothing).
TEST(FileSizeOf, HugeFileGivesLargestValue)
{
    TempDir dir;
    const fs::path huge = dir / "huge.mbm";
    Touch(huge, "");
    std::error_code ec;
    fs::resize_file(huge, 4ull * 1024 * 1024 * 1024, ec);
    if (ec)
        GTEST_SKIP() << "cannot make a 4 GiB sparse file here: " << ec.message();
    EXPECT_EQ(FileSizeOf(huge), 2147483647);
    fs::resize_file(huge, 2147483647ull, ec);
    EXPECT_EQ(FileSizeOf(huge), 2147483647);
    fs::resize_file(huge, 2147483646ull, ec);
    EXPECT_EQ(FileSizeOf(huge), 2147483646);
}

} // namespace
} // namespace vexaro
