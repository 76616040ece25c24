#pragma once
// Running the converter as a child process.
#include <cstddef>
#include <string>

namespace vexaro {

// Show state of the child's console window; every caller passes hidden (SW_HIDE).
inline constexpr int kShowHidden = 0;

// Runs `commandLine` as a child process and returns when the child has ended.
//
// The first blank-separated word names the program. A name without a path is looked up in the
// running program's folder first, then in the current directory, then along PATH (on Windows
// by the system's own search, which also tries the system folders before PATH). The child
// starts in the current directory with an empty environment, reads its standard input from the
// null device; everything it writes to standard output is read and dropped, and what it writes
// to standard error is kept for the caller (both pipes are drained together, so a child filling
// either never stalls). `showState` is the window show state of the child's console on
// Windows, which gets a console of its own, and has no meaning elsewhere.
//
// Throws nothing. A program that cannot be found or started makes the call return at once
// with `started` false and the reason. No handle or descriptor of the call outlives it.
struct ChildResult {
    bool started = false;
    std::string failure;     // why it did not start: "not found", or the system's reason
    int exitStatus = -1;     // the child's exit status; on POSIX 128 + N when signal N ended it
    std::string errorOutput; // what it wrote on standard error, its first kMaxErrorOutput bytes

    bool succeeded() const { return started && exitStatus == 0; }
};

// What a run keeps of the child's standard error: the converter's messages are a few lines.
inline constexpr std::size_t kMaxErrorOutput = 64 * 1024;

ChildResult RunChildProcess(const std::string& commandLine, int showState);

} // namespace vexaro
