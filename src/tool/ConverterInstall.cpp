#include "tool/ConverterInstall.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "tool/ConverterImage.h"
#include "base/Elapsed.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"

#ifdef _WIN32
#include <cstdio>
#include <windows.h>
#include <process.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowCannotCreate(const fs::path& target, const std::string& reason)
{
    throw Error("Cannot create file \"" + target.string() + "\". " + reason);
}

int ProcessId()
{
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// Creates `path` anew and writes all of `bytes` to it. Returns 0, or the errno of the failure.
int WriteNewFile(const fs::path& path, std::span<const unsigned char> bytes)
{
#ifdef _WIN32
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return errno;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    const int writeError = written == bytes.size() ? 0 : (errno != 0 ? errno : EIO);
    const int closeError = std::fclose(file) == 0 ? 0 : errno;
    return writeError != 0 ? writeError : closeError;
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    if (fd < 0)
        return errno;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 ? 0 : errno;
#endif
}

// Gives the finished file its real name: in place of the file there when `replace` is set, else
// unless something of that name has appeared meanwhile. Returns whether the file went into
// place; throws when moving it failed for another reason.
bool MoveIntoPlace(const fs::path& temporary, const fs::path& target, bool replace)
{
    std::error_code ignored;
#ifdef _WIN32
    if (MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)))
        return true;
    const DWORD error = GetLastError();
    fs::remove(temporary, ignored);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return false;
    ThrowCannotCreate(target, std::system_category().message(static_cast<int>(error)));
#else
    // A hard link never replaces an existing name; where links are not supported, rename.
    if (!replace && ::link(temporary.c_str(), target.c_str()) == 0) {
        fs::remove(temporary, ignored);
        return true;
    }
    if (!replace && errno == EEXIST) {
        fs::remove(temporary, ignored);
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    const int error = errno;
    fs::remove(temporary, ignored);
    ThrowCannotCreate(target, SystemReason(error));
#endif
}

// Whether `path` is a regular file that holds exactly `image`.
bool Holds(const fs::path& path, std::span<const unsigned char> image)
{
    const FileBytes file = ReadFileCapped(path, image.size());
    return file && std::equal(file.bytes.begin(), file.bytes.end(), image.begin(), image.end());
}

} // namespace

bool InstallConverter(const fs::path& folder, std::span<const unsigned char> image, ExistingConverter existing)
{
    const fs::path target = folder / kConverterFileName;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target, ec);
    const bool replace = fs::is_regular_file(status) && existing == ExistingConverter::ReplaceIfDifferent;
    if (fs::exists(status) && (!replace || Holds(target, image)))
        return false;
    if (image.empty())
        ThrowCannotCreate(target, "This build carries no converter program");

    const fs::path temporary =
        folder / (std::string(".") + kConverterFileName + "." + std::to_string(ProcessId()) + ".part");
    fs::remove(temporary, ec); // left by an earlier run that was cut short
    if (const int error = WriteNewFile(temporary, image); error != 0) {
        fs::remove(temporary, ec);
        ThrowCannotCreate(target, SystemReason(error));
    }
    return MoveIntoPlace(temporary, target, replace);
}

bool InstallConverter(const fs::path& folder, ExistingConverter existing)
{
    return InstallConverter(folder, std::span<const unsigned char>(kConverterImage, kConverterImageSize), existing);
}

} // namespace vexaro

namespace vexaro {

namespace {

// Why no converter was found to run: a file of its name that is there, beside the program or in
// the workspace (the current directory), but cannot be run; else that there is none.
std::string WhyNoConverterRuns()
{
    const fs::path self = ProgramFile();
    std::vector<fs::path> places;
    if (self.has_parent_path())
        places.push_back(self.parent_path() / kConverterFileName);
    std::error_code ec;
    places.push_back(fs::current_path(ec) / kConverterFileName);
    for (const fs::path& place : places) {
        const fs::file_status status = fs::status(place, ec);
        if (!fs::exists(status))
            continue;
        if (!fs::is_regular_file(status))
            return Quoted(place.string()) + " is no regular file";
        return Quoted(place.string()) + " is there but is not executable";
    }
    return "It is neither beside the program nor in the workspace";
}

// The lines the converter wrote on its standard error that are not empty, without their ends.
std::vector<std::string> ErrorLines(const ChildResult& run)
{
    std::vector<std::string> lines;
    const std::string& out = run.errorOutput;
    for (std::size_t from = 0; from < out.size();) {
        const std::size_t end = std::min(out.find('\n', from), out.size());
        std::string line = out.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(std::move(line));
        from = end + 1;
    }
    return lines;
}

} // namespace

ChildResult RunConverter(const std::string& commandFile, WindowSeam& window)
{
    const std::string commandLine = std::string(kConverterFileName) + " " + commandFile;
    Stopwatch clock;
    ChildResult run = RunChildProcess(commandLine, kShowHidden);
    if (!run.started)
        throw Error("Cannot run the converter " + Quoted(kConverterFileName) + "\n" +
                    (run.failure == "not found" ? WhyNoConverterRuns() : run.failure));
    window.note(commandLine + ": status " + std::to_string(run.exitStatus) + " after " + MillisecondsText(clock.lap()));
    for (const std::string& line : ErrorLines(run))
        window.note(VisibleText(line));
    return run;
}

std::string ConverterMessages(const ChildResult& run)
{
    std::string text;
    for (std::string line : ErrorLines(run)) {
        if (line.starts_with("bmconv: "))
            line.erase(0, 8);
        text += (text.empty() ? "" : "\n") + line;
    }
    if (text.empty() && !run.succeeded())
        text = "The converter ended with status " + std::to_string(run.exitStatus);
    return text;
}

} // namespace vexaro
