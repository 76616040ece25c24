#include "tool/FileHelpers.h"

#include <cerrno>
#include <fstream>
#include <string>
#include <limits>
#include <system_error>
#include <vector>

#include "base/Error.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

// Whether `path` is a link of any kind, which goes as itself and is never followed. MinGW's
// std::filesystem does not tell links apart on Windows, so there the reparse-point mark of
// symbolic links and junctions is asked for directly.
bool IsLink([[maybe_unused]] const fs::path& path, [[maybe_unused]] const fs::file_status& status)
{
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    return fs::is_symlink(status);
#endif
}

} // namespace

void ClearFolder(const fs::path& folder)
{
    std::error_code ec;
    // The listing is taken first, in the file system's order, and acted on afterwards, so that
    // deleting never disturbs the listing itself.
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);

    for (const fs::directory_entry& entry : entries) {
        const fs::file_status status = entry.symlink_status(ec);
        if (ec)
            continue;
        if (fs::is_directory(status) && !IsLink(entry.path(), status)) {
            // "." and ".." never come from the listing; other names with a full stop are
            // left standing with everything inside.
            if (entry.path().filename().native().find(fs::path::value_type('.')) == fs::path::string_type::npos)
                ClearFolder(entry.path());
        } else {
            // Files, and links of every kind: a link goes as a link, its target stays.
            fs::remove(entry.path(), ec);
        }
    }

    // Only a real folder is removed here; a link given as `folder` keeps standing.
    const fs::file_status status = fs::symlink_status(folder, ec);
    if (fs::is_directory(status) && !IsLink(folder, status))
        fs::remove(folder, ec);
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

void ThrowIoError(int errorNumber)
{
    if (errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS)
        throw Error("File access denied");
    throw Error("I/O error " + std::to_string(errorNumber));
}

} // namespace vexaro
