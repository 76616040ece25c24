#pragma once
// Wildcards in theme names ("*.sis", "Theme?.mbm"), which on Windows the program expands itself:
// there the shell hands them over as they were typed.
#include <string>
#include <string_view>
#include <vector>

namespace vexaro::cli {

// Whether `name` matches `pattern`: "*" stands for any run of characters, "?" for any one
// (a whole UTF-8 character), and ASCII letters match without regard to case, as Windows matches
// names.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// The arguments with each one whose last component holds "*" or "?" replaced by the files of
// its folder whose names match, sorted by name; one that matches nothing stays as it was, so
// that its error names it. Folders are not taken.
std::vector<std::string> ExpandWildcards(const std::vector<std::string>& arguments);

} // namespace vexaro::cli
