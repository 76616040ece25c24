#pragma once
// The bmconv program as functions: each run reads files, calls the MBM library and writes
// files; RunBmconv adds argument handling, messages and the exit status.
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "converter/CommandLine.h"

namespace vexaro::converter {

// Exit status of bmconv.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;     // a file could not be converted
inline constexpr int kExitBadCommand = 2; // the arguments or the command file are wrong

// Limits on the files read whole into memory (command and palette files; BMP files have
// kMaxBmpFileBytes, multi-bitmap files mbm::kMaxMbmFileBytes).
inline constexpr std::size_t kMaxCommandFileBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxPaletteFileBytes = std::size_t{1} << 20;

// Compiles the sources into the target. The sources are read one at a time, each encoded
// and written before the next is read, into a temporary file beside the target that replaces
// it in one step at the end. On failure no target is left (an older file of that name is
// removed too) and vexaro::Error says which file failed and why.
void Compile(const CompileRequest& request);

struct DecompileResult {
    std::size_t written = 0;         // BMP files written (alpha companions not counted)
    std::vector<std::string> errors; // one message per bitmap or file that failed
};

// Writes bitmap k of the source into target k as a 24-bit BMP (and NAME-alpha.ext for a
// bitmap with an alpha channel). A faulty bitmap is skipped with a message and the others
// are still written; naming more targets than there are bitmaps is reported after the
// others are written. Every target that is not written, and every alpha companion that does
// not belong to its target, is removed, so that the files left under the targets' names are
// all this run's. The source is read piece by piece: its header and table of positions, then
// one bitmap at a time. Throws vexaro::Error, before anything is written (the targets are
// then all removed), when the source cannot be opened, its table cannot be read, or the
// bitmaps asked for would decode to more than mbm::kMaxThemePixels in all.
DecompileResult Decompile(const DecompileRequest& request);

// Lists the bitmaps of the file, one line each. Throws vexaro::Error like Decompile.
void PrintSummary(const SummaryRequest& request, std::ostream& out);

// "dir\name.bmp" -> "dir\name-alpha.bmp" ("-alpha" before the last dot of the file name,
// or at the end when it has none).
std::string AlphaCompanionName(std::string_view path);

// The whole program; `args` are the command-line arguments without the program name. One
// argument names a command file. Messages go to `err`, the usage text and /v to `out`.
int RunBmconv(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace vexaro::converter
