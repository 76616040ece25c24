#pragma once
// A Windows profile file ("Settings.ini") read and written with the rules of the Windows
// profile functions: section and key names match without regard to case, and every other
// section, key and line is kept as it was. Lines may end with CR LF, LF or a lone CR; a file
// may be 8-bit text, UTF-8 with a byte-order mark, or UTF-16 of either byte order, with a
// byte-order mark (as Windows tools write them) or without one (then told by its zero bytes).
// A written file keeps its encoding, and its lines end with CR LF. Lines never hold NUL
// bytes: those of a file are dropped as it is read.
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vexaro {

// One value to write.
struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// The sections and keys of one reading of a profile file, for any number of look-ups.
class ProfileValues {
public:
    // The value of `key` in `section`, or `fallback` when there was no file, no such section or
    // no such key. Blanks around the value, and one pair of matching quotes around it, are
    // dropped; the value is cut to its first 2047 bytes. Values of a UTF-16 file come as UTF-8.
    std::string read(const std::string& section, const std::string& key, const std::string& fallback) const;

private:
    friend class ProfileFile;
    std::vector<std::string> lines_;
    // The lines of each section, from its first line after the header to the next header, by
    // its name in lower case.
    std::map<std::string, std::pair<std::size_t, std::size_t>> sections_;
};

class ProfileFile {
public:
    explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    // Reads the file once.
    ProfileValues load() const;

    // One value, as ProfileValues::read does.
    std::string read(const std::string& section, const std::string& key, const std::string& fallback) const
    {
        return load().read(section, key, fallback);
    }

    // Sets each entry's key in its section to its value (up to a NUL byte in it), creating the
    // file, the sections or the keys as needed, in one replacement of the file: a crash during
    // the write leaves either the old file or the new one whole. A link is written through:
    // the file it leads to is replaced, and the link stays. Throws Error("Unable to write to
    // PATH") when the file cannot be written, also when this user may not write it, and when a
    // file of that name exists but cannot be read (it is then left as it is).
    void write(const std::vector<ProfileEntry>& entries) const;
    void write(const std::string& section, const std::string& key, const std::string& value) const
    {
        write({ProfileEntry{section, key, value}});
    }

    // Removes the temporary file of a write that was cut short (the program killed between
    // writing it and putting it in place). Reports nothing.
    void removeUnfinishedWrite() const;

private:
    // The file that a write replaces: the path, or where its links lead.
    std::filesystem::path target() const;

    std::filesystem::path path_;
};

} // namespace vexaro
