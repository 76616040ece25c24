#pragma once
// Runs a built program as a child process in a chosen folder and collects its exit status and
// output: the converter's tests run bmconv.exe this way, the install tests the program they
// wrote.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vexaro::test {

struct ProcessResult {
    int exitCode = -1; // -1 when the program could not be started or did not exit normally
    std::string out;
    std::string err;
};

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each argument reaches the program as one argv entry, blanks and quotes included. On Windows
// the output is given as text, with CR LF line ends read as "\n". Standard input is the file
// `input` when one is named.
ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& folder, const std::filesystem::path& input = {});

} // namespace vexaro::test
