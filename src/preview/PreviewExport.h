#pragma once
// Saving the preview picture (Image1) as a JPEG or BMP file at a name the user chose.
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"
#include "preview/JpegEncoder.h"

namespace vexaro {

// File types of the save dialog ("Jpeg file (*.jpg)|*.jpg|Bitmap (*.bmp)|*.bmp"), numbered as
// the dialog numbers them.
enum class PreviewFileType { Jpeg = 1, Bmp = 2 };

// Replaces the extension of the last name component: the name is cut before its last "." when
// no "\", "/" or ":" follows that dot, and `extension` (".jpg") is appended.
// "pic.bmp" -> "pic.jpg", "a.b.c" -> "a.b.jpg", "my.dir/pic" -> "my.dir/pic.jpg".
std::string ReplaceExtension(const std::string& name, const std::string& extension);

// Writes `picture` to `name` as it stands: a JPEG of `jpegQuality` (type Jpeg) or an
// uncompressed 24-bit BMP (type Bmp). Throws as ExportPreview does.
void WritePicture(const Bitmap& picture, const std::string& name, PreviewFileType type, int jpegQuality);

// Writes `image1` to `chosenName` with its extension replaced by ".jpg" (type Jpeg: JPEG,
// quality 100) or ".bmp" (type Bmp: an uncompressed 24-bit BMP); the type alone decides
// the format. Returns the name written. The file is encoded in memory first; a file that cannot
// be created or written throws Error("Cannot create file \"FULLPATH\". REASON") and leaves no
// file of that name behind. An existing file is replaced. Any other type throws Error.
std::string ExportPreview(const Bitmap& image1, const std::string& chosenName, PreviewFileType type);

} // namespace vexaro
