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

} // namespace vexaro::test
