#pragma once
// The converter's file access: paths as written in command files, capped whole-file reads
// and writes that leave either the complete file or none.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexaro::converter {

// A path of a command file ("Nokia\MBM\000.bmp") for this system: both "\" and "/" separate
// folders.
std::filesystem::path NativePath(std::string_view path);

// The whole file named in a command or on the command line. Throws vexaro::Error("cannot open
// \"NAME\": REASON") (also for a folder, FIFO or device), Error("cannot read \"NAME\": REASON"),
// or, for a file longer than `maxBytes`, Error("\"NAME\" is larger than N bytes"). NAME is the
// path as written.
std::vector<std::uint8_t> ReadInputFile(std::string_view path, std::size_t maxBytes);

// Writes the file through a temporary file in the same folder that is renamed over `path`,
// so a failure leaves no partial file. Throws vexaro::Error("cannot write \"NAME\": REASON").
void WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes);

// Writes the file directly; on failure removes what was written and throws as above.
void WriteFile(std::string_view path, std::span<const std::uint8_t> bytes);

// Removes the file if it exists; errors are ignored.
void RemoveFile(std::string_view path);

} // namespace vexaro::converter
