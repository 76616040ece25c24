#pragma once
// A Windows profile file ("Settings.ini") read and written with the rules of the Windows
// profile functions: section and key names match without regard to case, and every other
// section, key and line is kept as it was. Lines may end with CR LF, LF or a lone CR; a file
// may be 8-bit text, UTF-8 with a byte-order mark, or UTF-16 of either byte order with one
// (as Windows tools write them). A written file keeps its encoding, and its lines end with CR LF.
#include <filesystem>
#include <string>
#include <utility>

namespace vexaro {

class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    // The value of `key` in `section`, or `fallback` when there is no file, no such section or
    // no such key. Blanks around the value, and one pair of matching quotes around it, are
    // dropped; the value is cut to its first 2047 bytes. Values of a UTF-16 file come as UTF-8.
    std::string read(const std::string& section, const std::string& key, const std::string& fallback) const;

    // Sets `key` in `section` to `value`, creating the file, the section or the key as needed.
    // The new file replaces the old one in one step, so a crash during the write leaves
    // either of them whole. Throws Error("Unable to write to PATH") when it cannot be written,
    // and when a file of that name exists but cannot be read (it is then left as it is).
    void write(const std::string& section, const std::string& key, const std::string& value) const;

    // Removes the temporary file of a write that was cut short (the program killed between
    // writing it and putting it in place). Reports nothing.
    void removeUnfinishedWrite() const;

private:
    std::filesystem::path temporaryPath() const;

    std::filesystem::path path_;
};

} // namespace vexaro
