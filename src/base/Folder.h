#pragma once
// Folders worked in by name, and files written into them new.
//
// On POSIX a Folder holds its folder open, and every file and sub-folder is reached from that
// descriptor without following a link: once a workspace folder is open, swapping it (or a
// folder inside it) for a link cannot send a write or a removal anywhere else. Elsewhere a
// Folder holds the path, and refuses a link wherever it meets one.
//
// Names given to a Folder are single components ("temp.mbm", "MBM", ".."). Results are
// std::error_code, empty on success, whose message() is the system's text.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace vexaro {

// What stands under a name, the name itself looked at (a link is not followed).
enum class EntryType { Missing, File, Folder, Link, Other };

class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The folder at `path`, links on the way followed: the user's own choice of folder.
    static Folder Open(const std::filesystem::path& path, std::error_code& ec);
    // The current directory, as it is now.
    static Folder Current(std::error_code& ec);
    // The folder a file `path` goes into, and the file's name. A relative path is walked from
    // the current directory one folder at a time, no link followed, so nothing inside the
    // workspace redirects it; the folder of an absolute path is opened as Open does.
    static Folder ParentOf(const std::filesystem::path& path, std::filesystem::path& name, std::error_code& ec);

    bool isOpen() const;
    // The folder's path, for messages.
    const std::filesystem::path& path() const { return path_; }

    // The sub-folder `name`, which must be a real folder: a link gives an error.
    Folder sub(const std::filesystem::path& name, std::error_code& ec) const;
    // The sub-folder `name`, made when missing; a link or file of that name is removed first.
    Folder ensureSub(const std::filesystem::path& name, std::error_code& ec) const;

    EntryType type(const std::filesystem::path& name) const;
    // The names of the entries, in the file system's order.
    std::vector<std::filesystem::path> names(std::error_code& ec) const;
    // Removes a file, a link (as itself) or an empty folder. A missing name is no error.
    std::error_code remove(const std::filesystem::path& name) const;
    // Gives `from` the name `to` in this folder, replacing a file or link of that name.
    std::error_code rename(const std::filesystem::path& from, const std::filesystem::path& to) const;

private:
    friend class NewFile;
    std::filesystem::path path_;
#ifndef _WIN32
    int fd_ = -1;
#endif
};

// A file created new in a folder and written at chosen positions. An earlier file or link of
// its name is removed first and never written through; a folder of its name stays and gives
// an error. Until close() has succeeded, a failure or the destructor removes what was written.
class NewFile {
public:
    NewFile() = default;
    ~NewFile() { discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // `folder` must outlive the file.
    std::error_code create(const Folder& folder, const std::filesystem::path& name);
    bool isOpen() const;
    std::error_code writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::error_code truncate(std::uint64_t length);
    // Keeps the file; when closing fails, the file is removed.
    std::error_code close();
    // Closes the file, if open, and removes it.
    void discard();

private:
    const Folder* folder_ = nullptr;
    std::filesystem::path name_;
    int fd_ = -1;
};

// Writes `bytes` as a new file `path` (see Folder::ParentOf for how the path is taken). On a
// failure no file of that name is left.
std::error_code WriteNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Whether `path` is a symbolic link or junction (not followed).
bool IsLink(const std::filesystem::path& path);

} // namespace vexaro
