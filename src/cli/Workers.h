#pragma once
// Copies of this program, one per theme of a batch: the theme commands make the workspace the
// process's current directory, so two themes cannot share one process.
#include <string>
#include <vector>

namespace vexaro::cli {

// The running program's own file, or `argv0` where the system does not tell.
std::string ThisProgram(const char* argv0);

// Runs `program` with `arguments` and waits for it. The copy inherits the standard input,
// output and error and the environment. Returns its exit status: -1 when it could not be
// started, 128 + N when signal N ended it. Safe to call from several threads at once.
int RunCopy(const std::string& program, const std::vector<std::string>& arguments);

// The Windows command line for `arguments`, quoted so that the C runtime splits it back into
// the same list.
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

} // namespace vexaro::cli
