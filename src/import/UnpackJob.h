#pragma once
// The unpacking job: prepares the converter's command file that turns a multi-bitmap file into
// numbered BMP files (000.bmp, 001.bmp, ...).
#include <cstdint>
#include <optional>
#include <string>

#include "import/UnpackedTheme.h"
#include "tool/WindowSeam.h"

namespace vexaro {

// The command file's text: "/u <mbm>" or "/u /p<palette> <mbm>", then one line per bitmap,
// `outputFolder` (with a "\" added when it has none at its end) + three-digit number + ".bmp",
// for the numbers 0 up to count - 1 and at most 999; every line ends with CR LF.
std::string UnpackCommandText(const std::string& mbmPath, const std::string& paletteFileName,
                              const std::string& outputFolder, std::int32_t bitmapCount);

// Writes the command file `commandFilePath` that has the converter unpack `mbmPath` into
// numbered BMP files in `outputFolder`, creating that folder (with its parents; a failure there
// goes unreported). Paths are the system's texts with "\" separators, relative to the current
// directory or absolute; the command file keeps them exactly as given.
//
// Reads only the bitmap count from the multi-bitmap file and returns it once the command file
// is written. When the file cannot be read (missing, not a regular file, shorter than 20 bytes,
// table position outside it) the job shows "File <last path component of mbmPath> damaged !"
// through `window`, leaves an earlier command file as it was and returns nothing: the caller
// must then not run the converter. A command file that cannot be written throws
// Error("Cannot create file \"PATH\". REASON"), and one that fails while being written is
// removed.
std::optional<MbmBitmapCount> WriteUnpackCommandFile(const std::string& mbmPath, const std::string& commandFilePath,
                                                     const std::string& paletteFileName,
                                                     const std::string& outputFolder, WindowSeam& window);

} // namespace vexaro
