#include "import/PackageExtract.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <span>
#include <system_error>

#include "base/Error.h"
#include "base/Unicode.h"
#include "tool/Workspace.h"

namespace vexaro {
namespace sis {
namespace {

namespace fs = std::filesystem;

// The entry that extraction leaves as kMultiBitmapName: the last one of that name, or none.
std::optional<std::size_t> MultiBitmapRecord(const SisPackage& package)
{
    for (std::size_t i = package.records.size(); i-- > 0;) {
        const SisFileRecord& r = package.records[i];
        if (r.forkCount != 0 && IsMultiBitmapName(r.sourceName))
            return i;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> TakeIntoMemory(const ByteReader& in, const SisPackage& package, std::size_t index,
                                         const std::string& packageName)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(package.records[index].originalLength);
    const EntrySink sink = [&bytes](std::span<const std::uint8_t> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    };
    ReadEntry(in, package, index, &sink, packageName);
    return bytes;
}

[[noreturn]] void CannotCreate(const fs::path& path, const std::error_code& ec)
{
    throw Error("Cannot create file " + Quoted(path.string()) + ". " + ec.message());
}

// Whether the file system refused a file for its name: one too long, a folder of that name, a
// name it cannot spell. A package may carry one odd file; a disk that cannot be written is
// another matter.
bool IsNameRefused(const std::error_code& ec)
{
    return ec == std::errc::filename_too_long || ec == std::errc::is_a_directory || ec == std::errc::invalid_argument ||
           ec == std::errc::illegal_byte_sequence || ec == std::errc::no_such_file_or_directory;
}

// Writes the entry's file `name` into `folder`: the bytes in memory when given, else taken
// from the package. A file whose name the file system refuses is left out and told in
// `skipped`, unless it is the theme's own; any other failure throws, and no file stays under
// that name.
void WriteEntry(const ByteReader& in, const SisPackage& package, std::size_t index, const Folder& folder,
                const std::string& name, const std::vector<std::uint8_t>* memory, const std::string& packageName,
                std::vector<std::string>& skipped)
{
    const fs::path path = folder.path() / PathFromUtf8(name);
    NewFile file;
    if (const std::error_code ec = file.create(folder, PathFromUtf8(name))) {
        if (name == kMultiBitmapName || !IsNameRefused(ec))
            CannotCreate(path, ec);
        skipped.push_back(Quoted(DisplayName(package.records[index].sourceName)) + ": " + ec.message());
        return;
    }
    std::uint64_t written = 0;
    const EntrySink sink = [&](std::span<const std::uint8_t> piece) {
        if (const std::error_code ec = file.writeAt(written, piece))
            CannotCreate(path, ec);
        written += piece.size();
    };
    if (memory != nullptr)
        sink(*memory);
    else
        ReadEntry(in, package, index, &sink, packageName);
    if (const std::error_code ec = file.close())
        CannotCreate(path, ec);
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
    // "MBM" would stand where the unpacked bitmaps folder goes (in any case on Windows).
    const bool folderName = display.size() == 3 && std::tolower(static_cast<unsigned char>(display[0])) == 'm' &&
                            std::tolower(static_cast<unsigned char>(display[1])) == 'b' &&
                            std::tolower(static_cast<unsigned char>(display[2])) == 'm';
    if (display.empty() || display == "." || display == ".." || unusable || IsWindowsDeviceName(display) || folderName)
        return {};
    return display;
}

} // namespace sis

SisExtraction::SisExtraction(const std::string& packagePath)
    : packageName_(PathFromUtf8(packagePath).filename().string())
{
    int error = 0;
    const ReadFailure failure = file_.open(PathFromUtf8(packagePath), error);
    if (failure == ReadFailure::NotAFile)
        throw Error("Cannot open file " + Quoted(packagePath) + ". Not a regular file");
    // A file that cannot be opened is read as an empty package.
    reader_.emplace(failure == ReadFailure::None ? ByteSource(file_, "Cannot read file " + Quoted(packagePath) + ". ")
                                                 : ByteSource(std::span<const std::uint8_t>()));
    readThrough();
}

SisExtraction::SisExtraction(std::span<const std::uint8_t> bytes, const std::string& packageName)
    : packageName_(packageName)
{
    reader_.emplace(ByteSource(bytes));
    readThrough();
}

void SisExtraction::readThrough()
{
    package_ = sis::ParseSisPackage(*reader_, packageName_);
    theme_ = sis::MultiBitmapRecord(package_);
    for (std::size_t i = 0; i < package_.records.size(); ++i) {
        if (theme_ && i == *theme_)
            multiBitmap_ = sis::TakeIntoMemory(*reader_, package_, i, packageName_);
        else if (package_.records[i].forkCount != 0)
            sis::ReadEntry(*reader_, package_, i, nullptr, packageName_);
    }
}

std::vector<std::string> SisExtraction::writeInto(const Folder& folder, WindowSeam& window) const
{
    std::vector<std::string> skipped;
    window.setProgressMax(static_cast<int>(package_.records.size()));
    for (std::size_t i = 0; i < package_.records.size(); ++i) {
        const sis::SisFileRecord& r = package_.records[i];
        window.setOpenCaption("Process : " + VisibleText(sis::DisplayName(r.sourceName)));
        window.processMessages();
        const std::string name = sis::OutputName(r.sourceName);
        if (r.forkCount != 0 && name.empty() && !sis::DisplayName(r.sourceName).empty())
            skipped.push_back(Quoted(sis::DisplayName(r.sourceName)) + ": no file may have that name here");
        // Of the entries named as the theme's multi-bitmap file only the last stays: it is written
        // from the bytes that were checked.
        const bool theme = theme_ && i == *theme_;
        if (r.forkCount != 0 && !name.empty() && (name != sis::kMultiBitmapName || theme))
            sis::WriteEntry(*reader_, package_, i, folder, name, theme ? &*multiBitmap_ : nullptr, packageName_,
                            skipped);
        window.setProgressPosition(static_cast<int>(i + 1));
        window.processMessages();
    }
    return skipped;
}

std::vector<std::string> ExtractSisPackage(const std::string& packagePath, const std::string& sourceFolder,
                                           WindowSeam& window)
{
    const SisExtraction package(packagePath);
    std::error_code ec;
    const Folder folder = Folder::Open(PathFromUtf8(sourceFolder), ec);
    if (ec)
        throw Error("Cannot open folder " + Quoted(sourceFolder) + ". " + ec.message());
    return package.writeInto(folder, window);
}

} // namespace vexaro
