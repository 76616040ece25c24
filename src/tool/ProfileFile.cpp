#include "tool/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

#include "base/Error.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxValue = 2047;

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The lines of the file without their line ends (CR LF or LF); empty when there is no file.
std::optional<std::vector<std::string>> ReadLines(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt; // no file, or a folder or device of that name
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line)
{
    const std::string t = Trim(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    return Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key of a "key=value" line.
std::optional<std::string> KeyOf(const std::string& line)
{
    const auto eq = line.find('=');
    if (eq == std::string::npos || SectionOf(line))
        return std::nullopt;
    return Trim(line.substr(0, eq));
}

struct Place {
    std::ptrdiff_t section = -1;  // line of the section header
    std::ptrdiff_t key = -1;      // line of the key
    std::ptrdiff_t lastEntry = -1; // last non-blank line of the section
};

Place Find(const std::vector<std::string>& lines, const std::string& section, const std::string& key)
{
    Place place;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionOf(lines[i])) {
            if (inSection)
                break; // the section ended; only its first occurrence counts
            if (SameName(*name, section)) {
                inSection = true;
                place.section = place.lastEntry = static_cast<std::ptrdiff_t>(i);
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(lines[i]).empty())
            place.lastEntry = static_cast<std::ptrdiff_t>(i);
        if (const auto k = KeyOf(lines[i]); k && place.key < 0 && SameName(*k, key))
            place.key = static_cast<std::ptrdiff_t>(i);
    }
    return place;
}

} // namespace

std::string ProfileFile::read(const std::string& section, const std::string& key, const std::string& fallback) const
{
    const auto lines = ReadLines(path_);
    if (!lines)
        return fallback;
    const Place place = Find(*lines, section, key);
    if (place.key < 0)
        return fallback;
    const std::string& line = (*lines)[static_cast<std::size_t>(place.key)];
    std::string value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxValue)
        value.resize(kMaxValue);
    return value;
}

void ProfileFile::write(const std::string& section, const std::string& key, const std::string& value) const
{
    std::error_code ec;
    if (fs::exists(path_, ec) && !fs::is_regular_file(path_, ec))
        throw Error("Unable to write to " + path_.string());
    std::vector<std::string> lines = ReadLines(path_).value_or(std::vector<std::string>{});
    const Place place = Find(lines, section, key);
    const std::string entry = key + "=" + value;
    if (place.key >= 0) {
        lines[static_cast<std::size_t>(place.key)] = entry;
    } else if (place.section >= 0) {
        lines.insert(lines.begin() + place.lastEntry + 1, entry);
    } else {
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";

    // A read-only file is not written, as with the Windows profile functions.
    if (fs::exists(path_, ec) && (fs::status(path_, ec).permissions() & fs::perms::owner_write) == fs::perms::none)
        throw Error("Unable to write to " + path_.string());

    // Write beside the file, flush it to the disk, then replace the file in one step.
    const fs::path temporary = path_.string() + ".new";
    bool ok = false;
    if (std::FILE* out = std::fopen(temporary.string().c_str(), "wb")) {
        ok = std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
#ifndef _WIN32
        ok = ok && ::fsync(::fileno(out)) == 0;
#endif
        ok = std::fclose(out) == 0 && ok;
    }
    if (ok) {
        fs::rename(temporary, path_, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temporary, ec);
        throw Error("Unable to write to " + path_.string());
    }
}

} // namespace vexaro
