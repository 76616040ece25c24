#include "cli/TemporaryFolder.h"

#include <atomic>
#include <system_error>

#include "base/Error.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

long ProcessId()
{
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

} // namespace

TemporaryFolder::TemporaryFolder(const std::string& prefix)
{
    static std::atomic<unsigned> counter{0};
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec)
        throw Error("Cannot find the temporary folder. " + ec.message());
    // A name left by an earlier process of the same number is passed over, never reused.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate =
            base / (prefix + "-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
        if (ec && ec != std::errc::file_exists)
            throw Error("Cannot create folder " + Quoted(candidate.string()) + ". " + ec.message());
    }
    throw Error("Cannot create a folder in " + Quoted(base.string()));
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

} // namespace vexaro::cli
