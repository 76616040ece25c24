#include "preview/PreviewExport.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>

#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "base/Unicode.h"

namespace vexaro {

namespace {

std::string FullPath(const std::string& name)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(PathFromUtf8(name), ec);
    return ec ? name : full.string();
}

[[noreturn]] void ThrowCannotCreate(const std::string& name, int errorNumber)
{
    throw Error("Cannot create file \"" + FullPath(name) + "\". " + SystemReason(errorNumber));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Creates or replaces `name` with `bytes`. When writing fails after the file was created, the
// partial file is removed, so a failure never leaves a file of that name.
void WriteNewFile(const std::string& name, std::span<const std::uint8_t> bytes)
{
    // A folder, FIFO or device of that name is refused at once: opening a FIFO for writing
    // would wait for a reader, and a device would swallow the picture.
    std::error_code ec;
    const std::filesystem::path path = PathFromUtf8(name);
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!ec && status.type() != std::filesystem::file_type::not_found &&
        status.type() != std::filesystem::file_type::regular)
        throw Error("Cannot create file \"" + FullPath(name) + "\". Not a regular file");
    std::unique_ptr<std::FILE, FileCloser> file(OpenStdioFile(path, "wb"));
    if (!file)
        ThrowCannotCreate(name, errno);
    errno = 0;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    int error = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (written && closed)
        return;
    if (written)
        error = errno;
    std::filesystem::remove(path, ec);
    ThrowCannotCreate(name, error != 0 ? error : EIO);
}

} // namespace

std::string ReplaceExtension(const std::string& name, const std::string& extension)
{
    const std::size_t last = name.find_last_of(".\\/:");
    if (last != std::string::npos && name[last] == '.')
        return name.substr(0, last) + extension;
    return name + extension;
}

void WritePicture(const Bitmap& picture, const std::string& name, PreviewFileType type, int jpegQuality)
{
    if (type == PreviewFileType::Jpeg) {
        WriteNewFile(name, EncodeJpeg(picture, jpegQuality));
    } else if (type == PreviewFileType::Bmp) {
        Bitmap copy = picture;
        copy.convertTo24();
        WriteNewFile(name, EncodeBmp(copy));
    } else {
        throw Error("Picture type " + std::to_string(static_cast<int>(type)) + " is neither 1 (JPEG) nor 2 (BMP)");
    }
}

std::string ExportPreview(const Bitmap& image1, const std::string& chosenName, PreviewFileType type)
{
    constexpr int kQuality = 100;
    if (type != PreviewFileType::Jpeg && type != PreviewFileType::Bmp)
        throw Error("Preview export type " + std::to_string(static_cast<int>(type)) +
                    " is neither 1 (JPEG) nor 2 (BMP)");
    const std::string name = ReplaceExtension(chosenName, type == PreviewFileType::Jpeg ? ".jpg" : ".bmp");
    WritePicture(image1, name, type, kQuality);
    return name;
}

} // namespace vexaro
