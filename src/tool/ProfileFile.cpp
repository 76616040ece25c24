#include "tool/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vexaro {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxValue = 2047;
// Far more than any settings file holds; a larger one is not read, and never overwritten.
constexpr std::size_t kMaxFileBytes = 4u << 20;

enum class Encoding { Bytes, Utf8Bom, Utf16Le, Utf16Be };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Contents {
    std::vector<std::string> lines; // without their line ends; UTF-8 for the Unicode encodings
    Encoding encoding = Encoding::Bytes;
    bool mark = true; // a UTF-16 file began with its byte-order mark
};

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 code units (after the byte-order mark) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// UTF-8 text as UTF-16 bytes; a byte that starts no valid sequence counts as its Latin-1 letter.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian)
{
    std::string out;
    auto put = [&](char32_t u) {
        const auto high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                   : lead >= 0xE0                ? 3
                                   : lead >= 0xC2                ? 2
                                                                 : 0;
        char32_t c = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : length == 2 ? lead & 0x1F : lead;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            put(lead);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
        i += length;
    }
    return out;
}

// Lines end with CR LF, LF or a lone CR.
std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++start;
    }
    return lines;
}

// UTF-16 without a byte-order mark, told by its zero bytes: ASCII text, which every section
// and key name is, has a zero high byte, so that at least a quarter of the code units have a
// zero byte on one side and hardly any on the other. Whether it is big-endian; nothing for
// anything else (a file of nothing but zero bytes, left by a crash, is no UTF-16).
std::optional<bool> Utf16ByZeroBytes(std::string_view bytes)
{
    const std::size_t units = bytes.size() / 2;
    std::size_t zeroFirst = 0, zeroSecond = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        zeroFirst += bytes[i] == '\0';
        zeroSecond += bytes[i + 1] == '\0';
    }
    if (units == 0)
        return std::nullopt;
    if (zeroSecond * 4 >= units && zeroFirst * 8 <= zeroSecond)
        return false;
    if (zeroFirst * 4 >= units && zeroSecond * 8 <= zeroFirst)
        return true;
    return std::nullopt;
}

// The file's lines and encoding; no lines when there is no file (or a folder or device of that
// name); nothing at all when a file is there but cannot be read.
std::optional<Contents> ReadContents(const fs::path& path)
{
    std::error_code ec;
    if (!fs::exists(path, ec) || !IsRegularFile(path))
        return Contents{};
    const FileBytes file = ReadFileCapped(path, kMaxFileBytes);
    if (!file)
        return std::nullopt;
    const std::string_view bytes(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    Contents contents;
    std::string text;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const bool bigEndian = bytes[0] == '\xFE';
        contents.encoding = bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        text = Utf16ToUtf8(bytes.substr(2), bigEndian);
    } else if (bytes.starts_with(kUtf8Bom)) {
        contents.encoding = Encoding::Utf8Bom;
        text = bytes.substr(kUtf8Bom.size());
    } else if (const auto bigEndian = Utf16ByZeroBytes(bytes)) {
        contents.encoding = *bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        contents.mark = false;
        text = Utf16ToUtf8(bytes, *bigEndian);
    } else {
        text = bytes;
    }
    std::erase(text, '\0');
    contents.lines = SplitLines(text);
    return contents;
}

std::string Encode(const Contents& contents)
{
    std::string text;
    for (const std::string& line : contents.lines)
        text += line + "\r\n";
    switch (contents.encoding) {
    case Encoding::Bytes: return text;
    case Encoding::Utf8Bom: return std::string(kUtf8Bom) + text;
    case Encoding::Utf16Le: return (contents.mark ? "\xFF\xFE" : "") + Utf8ToUtf16(text, false);
    case Encoding::Utf16Be: return (contents.mark ? "\xFE\xFF" : "") + Utf8ToUtf16(text, true);
    }
    return text;
}

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string Lower(std::string_view s)
{
    std::string lower(s);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    return Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The key of a "key=value" line.
std::optional<std::string_view> KeyOf(std::string_view line)
{
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || SectionOf(line))
        return std::nullopt;
    return Trim(line.substr(0, eq));
}

// The value of a "key=value" line as a read gives it.
std::string ValueOf(std::string_view line)
{
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValue));
}

struct Place {
    std::ptrdiff_t section = -1;   // line of the section header
    std::ptrdiff_t key = -1;       // line of the key
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

void Set(std::vector<std::string>& lines, const ProfileEntry& entry)
{
    const Place place = Find(lines, entry.section, entry.key);
    // A value is text up to its first NUL byte, as a C string is.
    const std::string line = entry.key + "=" + entry.value.substr(0, entry.value.find('\0'));
    if (place.key >= 0) {
        lines[static_cast<std::size_t>(place.key)] = line;
    } else if (place.section >= 0) {
        lines.insert(lines.begin() + place.lastEntry + 1, line);
    } else {
        lines.push_back("[" + entry.section + "]");
        lines.push_back(line);
    }
}

// Whether this process may write the existing `file`, as the system judges it: by the user's
// rights, whoever owns the file, and on Windows by its read-only mark.
bool MayWrite(const fs::path& file)
{
#ifdef _WIN32
    std::error_code ec;
    return (fs::status(file, ec).permissions() & fs::perms::owner_write) != fs::perms::none;
#else
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
#endif
}

fs::path TemporaryBeside(const fs::path& file) { return fs::path(file) += ".new"; }

} // namespace

std::string ProfileValues::read(const std::string& section, const std::string& key, const std::string& fallback) const
{
    const auto found = sections_.find(Lower(section));
    if (found == sections_.end())
        return fallback;
    for (std::size_t i = found->second.first; i < found->second.second; ++i)
        if (const auto k = KeyOf(lines_[i]); k && SameName(*k, key))
            return ValueOf(lines_[i]);
    return fallback;
}

ProfileValues ProfileFile::load() const
{
    ProfileValues values;
    auto contents = ReadContents(path_);
    if (!contents)
        return values;
    values.lines_ = std::move(contents->lines);
    // Each section's lines, by its name in lower case; a section named again later is not read,
    // nor are lines before the first section.
    auto current = values.sections_.end();
    for (std::size_t i = 0; i < values.lines_.size(); ++i) {
        if (const auto name = SectionOf(values.lines_[i])) {
            if (current != values.sections_.end())
                current->second.second = i;
            const auto [at, added] = values.sections_.try_emplace(Lower(*name), i + 1, i + 1);
            current = added ? at : values.sections_.end();
        }
    }
    if (current != values.sections_.end())
        current->second.second = values.lines_.size();
    return values;
}

fs::path ProfileFile::target() const
{
    constexpr int kMaxLinks = 40;
    fs::path file = path_;
    std::error_code ec;
    for (int links = 0; fs::is_symlink(fs::symlink_status(file, ec)); ++links) {
        const fs::path next = fs::read_symlink(file, ec);
        if (ec || links == kMaxLinks)
            return {};
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    return file;
}

void ProfileFile::write(const std::vector<ProfileEntry>& entries) const
{
    const Error failure("Unable to write to " + path_.string());
    const fs::path file = target();
    std::error_code ec;
    if (file.empty() || (fs::exists(file, ec) && !fs::is_regular_file(file, ec)))
        throw failure;
    std::optional<Contents> contents = ReadContents(file);
    if (!contents)
        throw failure; // a file that cannot be read is never replaced by a shorter one
    for (const ProfileEntry& entry : entries)
        Set(contents->lines, entry);
    const std::string text = Encode(*contents);

    // A file this user may not write is not written, as with the Windows profile functions.
    if (fs::exists(file, ec) && !MayWrite(file))
        throw failure;

    // Write beside the file, flush it to the disk, then replace the file in one step.
    const fs::path temporary = TemporaryBeside(file);
    bool ok = false;
    if (std::FILE* out = OpenStdioFile(temporary, "wb")) {
        ok = std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
#ifndef _WIN32
        ok = ok && ::fsync(::fileno(out)) == 0;
#endif
        ok = std::fclose(out) == 0 && ok;
    }
    if (ok) {
        fs::rename(temporary, file, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temporary, ec);
        throw failure;
    }
}

void ProfileFile::removeUnfinishedWrite() const
{
    const fs::path file = target();
    if (file.empty())
        return;
    const fs::path temporary = TemporaryBeside(file);
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(temporary, ec)))
        fs::remove(temporary, ec);
}

} // namespace vexaro
