#pragma once
// The two file-system helpers of the workspace: emptying a folder tree and taking a file's size.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace vexaro {

// Deletes every file in `folder` and, at any depth, in the sub-folders whose names hold no full
// stop, removes those sub-folders, and finally removes `folder` itself when it is then empty.
// Sub-folders whose names hold a "." are passed over with all they hold (and so, then, is
// `folder`). Hidden files go like any other. A symbolic link or junction, inside the tree or as
// `folder` itself, is removed as a link and never followed, so nothing outside `folder` is ever
// deleted. A trailing separator on `folder` is allowed. A folder that does not exist changes
// nothing.
//
// Whatever cannot be deleted stays, with the folders above it; the result names each such file
// or folder with the system's reason ("PATH: REASON"), in the order met. Folders passed over
// for their full stop, and the folders above them, are not failures.
std::vector<std::string> ClearFolder(const std::filesystem::path& folder);

// Makes sure `folder` is a real folder: a symbolic link or junction of that name (whatever it
// points to) is removed, never followed, and the folder is created with its parents. Throws
// Error("Cannot create folder \"PATH\". REASON") when it cannot be made.
void EnsureRealFolder(const std::filesystem::path& folder);

// Whether `path` is a symbolic link or junction (not followed).
bool IsLink(const std::filesystem::path& path);

// Size in bytes of the file at `path`, or -1 when it cannot be opened for reading (missing,
// unreadable, or not a file). A file of 2 GiB or more gives INT32_MAX, so that it never
// passes for an empty or missing one.
std::int32_t FileSizeOf(const std::filesystem::path& path);

// Copies the file `from` to `to`, replacing a file of that name; `ec` tells whether it failed.
// (MinGW's std::filesystem::copy_file takes any two files on one drive for the same file and
// refuses to replace.)
void CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec);

// Writes `bytes` as the file at `path` through a new temporary file in the same folder, which
// replaces `path` (a file, or a link as a link) in one step when it is complete, so that no half
// file ever stands under that name and nothing is written through a link. Throws
// Error("Cannot create file \"PATH\". REASON") when it cannot be written; no temporary file
// stays then.
void WriteFileReplacing(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Throws the runtime's input/output message for an operating-system error number: "File access
// denied" for a permission error, otherwise "I/O error N".
[[noreturn]] void ThrowIoError(int errorNumber);

} // namespace vexaro
