#pragma once
// Copies of this program run side by side, one per theme: the theme commands make the
// workspace the process's current directory, so two themes cannot share one process.
#include <string>
#include <vector>

namespace vexaro::cli {

// The running program's own file, or `argv0` where the system does not tell.
std::string ThisProgram(const char* argv0);

// Runs `program` once for each argument list, at most `jobs` at a time. Each copy inherits the
// standard input, output and error and the environment. Returns each copy's exit status, in
// the order of `argumentLists`: -1 for a copy that could not be started, 128 + N for one ended
// by signal N.
std::vector<int> RunWorkers(const std::string& program, const std::vector<std::vector<std::string>>& argumentLists,
                            int jobs);

// The Windows command line for `arguments`, quoted so that the C runtime splits it back into
// the same list.
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

} // namespace vexaro::cli
