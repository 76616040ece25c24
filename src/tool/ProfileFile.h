#pragma once
// A Windows profile file ("Settings.ini") read and written with the rules of the Windows
// profile functions: section and key names match without regard to case, lines end with
// CR LF, and every other section, key and line is kept as it was.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace vexaro {

class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    // The value of `key` in `section`, or `fallback` when there is no file, no such section or
    // no such key. Blanks around the value, and one pair of matching quotes around it, are
    // dropped; the value is cut to its first 2047 characters.
    std::string read(const std::string& section, const std::string& key, const std::string& fallback) const;

    // Sets `key` in `section` to `value`, creating the file, the section or the key as needed.
    // The new file replaces the old one in one step, so a crash during the write leaves
    // either of them whole. Throws Error("Unable to write to PATH") when it cannot be written.
    void write(const std::string& section, const std::string& key, const std::string& value) const;

private:
    std::filesystem::path path_;
};

} // namespace vexaro
