#pragma once
// Writing the converter program beside the window program.
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>

#include "tool/ChildProcess.h"
#include "tool/WindowSeam.h"

namespace vexaro {

// The file name under which the converter is installed and run, on every platform.
inline constexpr const char* kConverterFileName = "bmconv.exe";

// What becomes of a "bmconv.exe" that is already there.
enum class ExistingConverter {
    Keep,               // left alone whatever it holds: a copy that works in its own folder
    ReplaceIfDifferent, // a file that differs from the carried image is replaced: an installed
                        // copy, whose workspace may hold the converter of an earlier version
};

// Writes the carried converter image to "bmconv.exe" in `folder`, unless an entry of that name
// is already there and `existing` keeps it; one that holds the image's bytes is never written
// again, and an entry that is no regular file is always left alone. Returns whether it wrote.
// The bytes go to a temporary name first and are renamed into place when complete, so a half
// written converter never stays under the real name. On POSIX the file is made executable.
// Throws vexaro::Error("Cannot create file \"<folder>/bmconv.exe\". <system reason>") when the
// file cannot be written, or when this build carries no converter image.
bool InstallConverter(const std::filesystem::path& folder, ExistingConverter existing = ExistingConverter::Keep);

// The same with the given image in place of the carried one.
bool InstallConverter(const std::filesystem::path& folder, std::span<const unsigned char> image,
                      ExistingConverter existing = ExistingConverter::Keep);

// Runs "bmconv.exe COMMANDFILE" hidden, from the current directory (the workspace), and returns
// how it ended. The window is given a note of the run: its command, status and time, then each
// line the converter wrote on its standard error. Throws Error("Cannot run the converter \"bmconv.exe\"\nREASON") when
// it cannot be started: missing beside the program and in the workspace, there but no regular file or not executable
// (REASON names which), or the system's reason.
ChildResult RunConverter(const std::string& commandFile, WindowSeam& window);

// The converter's messages for the user: its standard error without the "bmconv: " before each
// line, or "The converter ended with status N" when it said nothing.
std::string ConverterMessages(const ChildResult& run);

} // namespace vexaro
