#include "import/PackageExtract.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <span>
#include <system_error>
#include <utility>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"
#include "tool/Workspace.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexaro {
namespace sis {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void CannotCreate(const std::string& path, int error)
{
    throw Error("Cannot create file " + Quoted(path) + ". " + SystemReason(error != 0 ? error : EIO));
}

// A new file in the source folder. Until commit() has succeeded, a failure or the destructor
// removes it, so that nothing half-written stays under its name.
class OutputFile {
public:
    explicit OutputFile(std::string path) : path_(std::move(path))
    {
        errno = 0;
        file_ = Create(path_);
        if (file_ == nullptr)
            CannotCreate(path_, errno);
    }
    ~OutputFile() { abandon(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const std::uint8_t> bytes)
    {
        errno = 0;
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            fail(errno);
    }

    void commit()
    {
        errno = 0;
        std::FILE* file = std::exchange(file_, nullptr);
        if (std::fclose(file) != 0) {
            const int error = errno;
            Remove(path_);
            CannotCreate(path_, error);
        }
    }

private:
    // A new file; an earlier file, link or FIFO of that name is removed first, so that nothing
    // is written through it. Null with errno set when it cannot be made.
    static std::FILE* Create(const std::string& path)
    {
#ifdef _WIN32
        const fs::path file = PathFromUtf8(path);
        std::error_code ec;
        const fs::file_type type = fs::symlink_status(file, ec).type();
        if (!ec && type != fs::file_type::not_found && type != fs::file_type::directory)
            fs::remove(file, ec); // a failure shows when the file is opened
        return _wfopen(file.c_str(), L"wb");
#else
        std::FILE* file = CreateNewFile(path);
        if (file == nullptr && errno == EEXIST && ::unlink(path.c_str()) == 0) // a folder stays: EISDIR
            file = CreateNewFile(path);
        return file;
#endif
    }

    static void Remove(const std::string& path)
    {
        std::error_code ignored;
        fs::remove(PathFromUtf8(path), ignored);
    }

    void abandon()
    {
        if (file_ == nullptr)
            return;
        std::fclose(std::exchange(file_, nullptr));
        Remove(path_);
    }

    [[noreturn]] void fail(int error)
    {
        abandon();
        CannotCreate(path_, error);
    }

    std::string path_;
    std::FILE* file_ = nullptr;
};

// Writes the entry's file, or only checks its data when the reader refuses its name.
void WriteEntry(const ByteReader& in, const SisPackage& package, std::size_t index, const std::string& sourceFolder,
                const std::string& packageName)
{
    const std::string name = OutputName(package.records[index].sourceName);
    if (name.empty()) {
        ReadEntry(in, package, index, nullptr, packageName);
        return;
    }
    OutputFile file(sourceFolder + name);
    const EntrySink sink = [&file](std::span<const std::uint8_t> piece) { file.write(piece); };
    ReadEntry(in, package, index, &sink, packageName);
    file.commit();
}

} // namespace

std::string OutputName(std::string_view sourceName)
{
    if (IsMultiBitmapName(sourceName))
        return kMultiBitmapName;
    const std::string display = DisplayName(sourceName);
    // Names no file system of the platforms takes alike are skipped the same way everywhere.
    const bool unusable = std::any_of(display.begin(), display.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || std::string_view("<>\"|?*").find(c) != std::string_view::npos;
    });
    if (display.empty() || display == "." || display == ".." || unusable || IsWindowsDeviceName(display))
        return {};
    return display;
}

} // namespace sis

void ExtractSisPackage(const std::string& packagePath, const std::string& sourceFolder, WindowSeam& window)
{
    const std::string packageName = PathFromUtf8(packagePath).filename().string();
    PositionedFile file;
    int error = 0;
    const ReadFailure failure = file.open(PathFromUtf8(packagePath), error);
    if (failure == ReadFailure::NotAFile)
        throw Error("Cannot open file " + Quoted(packagePath) + ". Not a regular file");
    // A file that cannot be opened is read as an empty package.
    const ByteReader in(failure == ReadFailure::None
                            ? ByteSource(file, "Cannot read file " + Quoted(packagePath) + ". ")
                            : ByteSource(std::span<const std::uint8_t>()));
    const sis::SisPackage package = sis::ParseSisPackage(in, packageName);

    window.setProgressMax(static_cast<int>(package.records.size()));
    for (std::size_t i = 0; i < package.records.size(); ++i) {
        const sis::SisFileRecord& r = package.records[i];
        window.setOpenCaption("Process : " + sis::DisplayName(r.sourceName));
        window.processMessages();
        if (r.forkCount != 0)
            sis::WriteEntry(in, package, i, sourceFolder, packageName);
        window.setProgressPosition(static_cast<int>(i + 1));
        window.processMessages();
    }
}

} // namespace vexaro
