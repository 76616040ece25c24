#include "preview/PreviewExport.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <span>
#include <utility>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "bitmap/BmpCodec.h"
#include "base/Error.h"
#include "base/Unicode.h"

namespace vexaro {

namespace {

// --- libjpeg glue -------------------------------------------------------------------------
// libjpeg reports failures through error_exit, which must not return; we leave with longjmp
// back into CompressRgb. No object with a destructor lives in the frames it jumps over.

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Compressed bytes go into a growing std::vector owned by the caller.
struct VectorDestination {
    jpeg_destination_mgr pub;
    std::vector<std::uint8_t>* bytes;
};

constexpr std::size_t kFirstChunk = 64 * 1024;

// Grows the vector; false when memory runs out (the caller then fails through libjpeg).
bool GrowTo(std::vector<std::uint8_t>& bytes, std::size_t size) noexcept
{
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

void FailOutOfMemory(j_compress_ptr cinfo)
{
    cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
    (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
}

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    if (!GrowTo(*dest->bytes, kFirstChunk))
        FailOutOfMemory(cinfo);
    dest->pub.next_output_byte = dest->bytes->data();
    dest->pub.free_in_buffer = dest->bytes->size();
}

boolean EmptyDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    // libjpeg calls this only when the buffer is full, whatever free_in_buffer says.
    const std::size_t used = dest->bytes->size();
    if (!GrowTo(*dest->bytes, used * 2))
        FailOutOfMemory(cinfo);
    dest->pub.next_output_byte = dest->bytes->data() + used;
    dest->pub.free_in_buffer = dest->bytes->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->bytes->resize(dest->bytes->size() - dest->pub.free_in_buffer); // shrinking never throws
}

// libjpeg-turbo reads the 24-bit picture's own blue-green-red rows; plain libjpeg gets them
// turned into red-green-blue first.
#ifdef JCS_EXTENSIONS
constexpr bool kReadsBgr = true;
#else
constexpr bool kReadsBgr = false;
#endif

// Compresses the rows of a 24-bit picture (red-green-blue order unless kReadsBgr). Returns
// false with `message` filled when libjpeg fails.
bool CompressRows(const Bitmap& picture, int quality, std::vector<std::uint8_t>& out, char (&message)[JMSG_LENGTH_MAX])
{
    jpeg_compress_struct cinfo{};
    JpegErrors errors{};
    VectorDestination dest{};
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnJpegError;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        std::copy(std::begin(errors.message), std::end(errors.message), std::begin(message));
        return false;
    }
    jpeg_create_compress(&cinfo);

    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyDestination;
    dest.pub.term_destination = TermDestination;
    dest.bytes = &out;
    cinfo.dest = &dest.pub;

    cinfo.image_width = static_cast<JDIMENSION>(picture.width());
    cinfo.image_height = static_cast<JDIMENSION>(picture.height());
    cinfo.input_components = 3;
#ifdef JCS_EXTENSIONS
    cinfo.in_color_space = JCS_EXT_BGR;
#else
    cinfo.in_color_space = JCS_RGB;
#endif
    // The colour space must be known before the defaults, which derive from it.
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg takes rows as non-const pointers but only reads them.
        JSAMPROW row = const_cast<JSAMPLE*>(picture.row(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

// Turns blue-green-red rows into red-green-blue ones (the bitmap then holds them swapped).
void SwapRedAndBlue(Bitmap& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* p = picture.row(y);
        for (int x = 0; x < picture.width(); ++x, p += 3)
            std::swap(p[0], p[2]);
    }
}

// --- file output ----------------------------------------------------------------------------

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

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality)
{
    std::vector<std::uint8_t> out;
    char message[JMSG_LENGTH_MAX] = {};
    bool done = false;
    if (picture.format() == PixelFormat::Bits24 && kReadsBgr) {
        done = CompressRows(picture, quality, out, message);
    } else {
        Bitmap rows = picture;
        rows.convertTo24();
        if (!kReadsBgr)
            SwapRedAndBlue(rows);
        done = CompressRows(rows, quality, out, message);
    }
    if (!done)
        throw Error(std::string("JPEG error: ") + message);
    return out;
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
