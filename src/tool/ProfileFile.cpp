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
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const bool bigEndian = bytes[0] == '\xFE';
        contents.encoding = bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        contents.lines = SplitLines(Utf16ToUtf8(bytes.substr(2), bigEndian));
    } else if (bytes.starts_with(kUtf8Bom)) {
        contents.encoding = Encoding::Utf8Bom;
        contents.lines = SplitLines(bytes.substr(kUtf8Bom.size()));
    } else {
        contents.lines = SplitLines(bytes);
    }
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
    case Encoding::Utf16Le: return "\xFF\xFE" + Utf8ToUtf16(text, false);
    case Encoding::Utf16Be: return "\xFE\xFF" + Utf8ToUtf16(text, true);
    }
    return text;
}

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

} // namespace

std::string ProfileFile::read(const std::string& section, const std::string& key, const std::string& fallback) const
{
    const auto contents = ReadContents(path_);
    if (!contents)
        return fallback;
    const Place place = Find(contents->lines, section, key);
    if (place.key < 0)
        return fallback;
    const std::string& line = contents->lines[static_cast<std::size_t>(place.key)];
    std::string value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxValue)
        value.resize(kMaxValue);
    return value;
}

fs::path ProfileFile::temporaryPath() const { return fs::path(path_) += ".new"; }

void ProfileFile::write(const std::string& section, const std::string& key, const std::string& value) const
{
    const Error failure("Unable to write to " + path_.string());
    std::error_code ec;
    if (fs::exists(path_, ec) && !fs::is_regular_file(path_, ec))
        throw failure;
    std::optional<Contents> contents = ReadContents(path_);
    if (!contents)
        throw failure; // a file that cannot be read is never replaced by a shorter one
    std::vector<std::string>& lines = contents->lines;
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
    const std::string text = Encode(*contents);

    // A read-only file is not written, as with the Windows profile functions.
    if (fs::exists(path_, ec) && (fs::status(path_, ec).permissions() & fs::perms::owner_write) == fs::perms::none)
        throw failure;

    // Write beside the file, flush it to the disk, then replace the file in one step.
    const fs::path temporary = temporaryPath();
    bool ok = false;
    if (std::FILE* out = OpenStdioFile(temporary, "wb")) {
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
        throw failure;
    }
}

void ProfileFile::removeUnfinishedWrite() const
{
    const fs::path temporary = temporaryPath();
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(temporary, ec)))
        fs::remove(temporary, ec);
}

} // namespace vexaro
