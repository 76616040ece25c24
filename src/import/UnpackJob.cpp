#include "import/UnpackJob.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "tool/Workspace.h"

namespace vexaro {

namespace fs = std::filesystem;

namespace {

constexpr char kSystemSeparator = '\\';
constexpr const char* kLineEnd = "\r\n";

// The name after the last separator, as the damaged message shows it.
std::string LastPathComponent(const std::string& path)
{
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("\\/:");
#else
    const std::size_t cut = path.find_last_of("\\/");
#endif
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The bitmap count of the multi-bitmap file at `path`, or nothing when the file cannot be read
// or does not hold the two words. Only the two words are read.
std::optional<MbmBitmapCount> ReadBitmapCount(const fs::path& path)
{
    // A FIFO would block the open, a device has no end: only a regular file is read.
    PositionedFile file;
    int error = 0;
    if (file.open(path, error) != ReadFailure::None)
        return std::nullopt;
    return ReadMbmBitmapCount(ByteReader(ByteSource(file, ""), 4));
}

void CreateOutputFolder(std::string folder)
{
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    if (folder.empty())
        return;
    std::error_code ignored;
    fs::create_directories(NativePath(folder), ignored);
}

// Writes `text` as the whole of `path`. A file that fails while being written is removed
// again, so that the converter never runs half a command file.
void WriteCommandFile(const fs::path& path, const std::string& text)
{
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (out)
            return;
    }
    const int error = errno != 0 ? errno : EIO;
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(path, ec)))
        fs::remove(path, ec);
    throw Error("Cannot create file " + Quoted(fs::absolute(path, ec).string()) + ". " + SystemReason(error));
}

} // namespace

std::string UnpackCommandText(const std::string& mbmPath, const std::string& paletteFileName,
                              const std::string& outputFolder, std::int32_t bitmapCount)
{
    std::string folder = outputFolder;
    if (folder.empty() || folder.back() != kSystemSeparator)
        folder += kSystemSeparator;

    std::string text = paletteFileName.empty() ? "/u " + mbmPath : "/u /p" + paletteFileName + " " + mbmPath;
    text += kLineEnd;
    const std::int32_t lines =
        bitmapCount < 0 ? 0 : (bitmapCount < kMaxUnpackedBitmaps ? bitmapCount : kMaxUnpackedBitmaps);
    text.reserve(text.size() + static_cast<std::size_t>(lines) * (folder.size() + 9));
    for (std::int32_t n = 0; n < lines; ++n) {
        text += folder;
        text += BitmapNumberText(n);
        text += ".bmp";
        text += kLineEnd;
    }
    return text;
}

std::optional<MbmBitmapCount> WriteUnpackCommandFile(const std::string& mbmPath, const std::string& commandFilePath,
                                                     const std::string& paletteFileName,
                                                     const std::string& outputFolder, WindowSeam& window)
{
    CreateOutputFolder(outputFolder);

    const std::optional<MbmBitmapCount> bitmaps = ReadBitmapCount(NativePath(mbmPath));
    if (!bitmaps) {
        window.showMessage("File " + LastPathComponent(mbmPath) + " damaged !");
        return std::nullopt;
    }
    WriteCommandFile(NativePath(commandFilePath),
                     UnpackCommandText(mbmPath, paletteFileName, outputFolder, bitmaps->count));
    return bitmaps;
}

} // namespace vexaro
