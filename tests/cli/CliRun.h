#pragma once
// Running the built command line as a process, and the same conversion done in this process
// with the core commands, for comparison.
#include <filesystem>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vexaro::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vexaro-cli with `args` in the folder `scratch` (its outputs go through files there), with
// the file `input` as its standard input when one is named.
CliResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& scratch,
                 const std::filesystem::path& input = {});

// Open, save and preview of `file` in the workspace `folder` by the core commands, with the
// field texts `fields` (field number -> text; the others keep their defaults). Returns the
// error message, or "" when all three Siemens files and the preview were made.
std::string CoreConversion(const std::string& file, bool package, const std::filesystem::path& folder,
                           const std::map<int, std::string>& fields = {});

// The files a conversion leaves: the three Siemens files and the preview, by name.
std::map<std::string, std::vector<std::uint8_t>> ConversionFiles(const std::filesystem::path& folder);

std::vector<std::string> Lines(const std::string& text);

// Every file under `folder`, as relative names with "/" ("Siemens/EidPic.mbm").
std::set<std::string> FilesUnder(const std::filesystem::path& folder);

// A theme that does not follow the default numbering, as a multi-bitmap file: 166 bitmaps, so
// 167 (field 10) is missing; 133 (field 6) cannot be unpacked; the main area 003 is 176 x 208
// while 010 is 176 x 144; the first-form icons are 44 x 29 and 140 is one more of them, the
// second-form icons 44 x 44 and 150 is one more.
std::vector<std::uint8_t> UnusualTheme();

} // namespace vexaro::test
