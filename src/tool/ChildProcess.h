#pragma once
// Running the converter as a child process.
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
// null device, and everything it writes to standard output and error is read and dropped (both
// pipes are drained together, so a child filling either never stalls). `showState` is the
// window show state of the child's console on Windows, which gets a console of its own, and
// has no meaning elsewhere.
//
// Reports nothing and throws nothing: a program that cannot be found or started makes the call
// return at once, and the child's exit status is not read. Callers judge a run by the files it
// leaves. No handle or descriptor of the call outlives it.
void RunChildProcess(const std::string& commandLine, int showState);

} // namespace vexaro
