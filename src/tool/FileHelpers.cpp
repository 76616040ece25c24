#include "tool/FileHelpers.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <limits>
#include <system_error>
#include <vector>

#include "base/Error.h"
#include "base/Files.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

bool HasFullStop(const fs::path& name)
{
    return name.filename().native().find(fs::path::value_type('.')) != fs::path::string_type::npos;
}

// Removes a link as itself. Windows removes a link to a folder (a junction or directory link)
// as a folder, which std::filesystem::remove does there.
void RemoveEntry(const fs::path& path, std::vector<std::string>& failures)
{
    std::error_code ec;
    fs::remove(path, ec);
    if (ec)
        failures.push_back(path.string() + ": " + ec.message());
}

// Returns whether `folder` was passed over in part (a folder with a full stop below it).
bool ClearTree(const fs::path& folder, std::vector<std::string>& failures)
{
    const std::size_t failedBefore = failures.size();
    std::error_code ec;
    // The listing is taken first, in the file system's order, and acted on afterwards, so that
    // deleting never disturbs the listing itself.
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        failures.push_back(folder.string() + ": " + ec.message());
        return false;
    }

    bool keptOnPurpose = false;
    for (const fs::directory_entry& entry : entries) {
        const fs::file_status status = entry.symlink_status(ec);
        if (ec) {
            failures.push_back(entry.path().string() + ": " + ec.message());
            continue;
        }
        if (fs::is_directory(status) && !IsLink(entry.path())) {
            // "." and ".." never come from the listing; other names with a full stop are
            // left standing with everything inside.
            if (HasFullStop(entry.path()))
                keptOnPurpose = true;
            else
                keptOnPurpose = ClearTree(entry.path(), failures) || keptOnPurpose;
        } else {
            // Files, and links of every kind: a link goes as a link, its target stays.
            RemoveEntry(entry.path(), failures);
        }
    }

    if (keptOnPurpose)
        return true;
    // A folder that cannot go because something in it failed is no failure of its own.
    if (failures.size() == failedBefore)
        RemoveEntry(folder, failures);
    return false;
}

} // namespace

std::vector<std::string> ClearFolder(const fs::path& given)
{
    std::vector<std::string> failures;
    // A trailing separator would make a link look like the folder it points to.
    fs::path folder = given;
    if (!folder.has_filename() && folder.has_parent_path())
        folder = folder.parent_path();
    std::error_code ec;
    if (IsLink(folder)) {
        RemoveEntry(folder, failures);
        return failures;
    }
    if (!fs::is_directory(fs::symlink_status(folder, ec)))
        return failures;
    ClearTree(folder, failures);
    return failures;
}

void EnsureRealFolder(const fs::path& given)
{
    fs::path folder = given;
    if (!folder.has_filename() && folder.has_parent_path())
        folder = folder.parent_path();
    std::error_code ec;
    if (IsLink(folder))
        fs::remove(folder, ec);
    std::error_code made;
    fs::create_directories(folder, made);
    if (!fs::is_directory(fs::symlink_status(folder, ec)) || IsLink(folder))
        throw Error("Cannot create folder " + Quoted(folder.string()) + ". " +
                    (made ? made.message()
                     : ec ? ec.message()
                          : SystemReason(EEXIST)));
}

void CopyFileReplacing(const fs::path& from, const fs::path& to, std::error_code& ec)
{
#ifdef _WIN32
    ec.clear();
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE))
        ec.assign(static_cast<int>(::GetLastError()), std::system_category());
#else
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
#endif
}

std::int32_t FileSizeOf(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return -1;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return -1;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec)
        return -1;
    constexpr auto kLargest = static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(size < kLargest ? size : kLargest);
}

void MakeCurrentFolder(const fs::path& folder)
{
    std::error_code ec;
    fs::current_path(folder, ec);
    if (ec)
        throw Error("Cannot make " + Quoted(folder.string()) + " the current folder. " + ec.message());
}

namespace {

[[noreturn]] void CannotCreateFile(const fs::path& path, const std::error_code& ec)
{
    throw Error("Cannot create file " + Quoted(path.string()) + ". " + ec.message());
}

} // namespace

void WriteFileReplacing(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    // Names unique within the process and among processes: threads may write beside each other.
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = static_cast<int>(::getpid());
#endif
    std::error_code ec;
    fs::path name;
    const Folder folder = Folder::ParentOf(path, name, ec);
    if (ec)
        CannotCreateFile(path, ec);
    fs::path temporary = name;
    temporary += ".vexaro-" + std::to_string(pid) + "-" + std::to_string(counter++) + ".tmp";
    {
        NewFile file; // removed again unless closed whole
        if ((ec = file.create(folder, temporary)) || (ec = file.writeAt(0, bytes)) || (ec = file.close()))
            CannotCreateFile(path, ec);
    }
    if ((ec = folder.rename(temporary, name))) {
        folder.remove(temporary);
        CannotCreateFile(path, ec);
    }
}

} // namespace vexaro
