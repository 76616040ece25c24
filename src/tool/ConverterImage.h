#pragma once
// The converter program's executable image, carried inside this program. The definitions are
// generated at build time from the converter as built (tools/EmbedFile.cmake); a build without
// the converter carries an image of size 0.
#include <cstddef>

namespace vexaro {

extern const unsigned char kConverterImage[];
extern const std::size_t kConverterImageSize;

} // namespace vexaro
