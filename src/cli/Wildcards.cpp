#include "cli/Wildcards.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/Unicode.h"

namespace vexaro::cli {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The length of the UTF-8 character that starts at `text[i]` (1 for a stray byte).
std::size_t CharacterLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    n = std::min(n, text.size() - i);
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 1;
    return n;
}

} // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern)
{
    // The last "*" seen, and the place in `name` that it has swallowed up to: on a mismatch it
    // swallows one character more.
    std::size_t n = 0, p = 0, starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && LowerAscii(pattern[p]) == LowerAscii(name[n])) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern;
            starName += CharacterLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> ExpandWildcards(const std::vector<std::string>& arguments)
{
    std::vector<std::string> out;
    for (const std::string& argument : arguments) {
        const std::size_t cut = argument.find_last_of("/\\:");
        const std::string folder = cut == std::string::npos ? "" : argument.substr(0, cut + 1);
        const std::string pattern = argument.substr(folder.size());
        if (pattern.find_first_of("*?") == std::string::npos || folder.find_first_of("*?") != std::string::npos) {
            out.push_back(argument);
            continue;
        }
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(PathFromUtf8(folder.empty() ? "." : folder), ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (MatchesWildcard(name, pattern) && !it->is_directory(ec))
                names.push_back(name);
        }
        if (names.empty()) {
            out.push_back(argument);
            continue;
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            out.push_back(folder + name);
    }
    return out;
}

} // namespace vexaro::cli
