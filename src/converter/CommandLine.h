#pragma once
// What bmconv is asked to do: the command-file tokenizer and the parser of its arguments.
//
//   bmconv                      usage text
//   bmconv COMMANDFILE          the arguments are the tokens of that file
//   bmconv ARG ARG ...          the arguments themselves
//
// Forms (options begin with "/" or "-", letters in any case):
//   /u [/pPALETTE] FILE.mbm OUT0.bmp OUT1.bmp ...        decompile (a palette is never used)
//   /v FILE.mbm                                            print what the file holds
//   [/r|/s|/n] [/hHEADER] [/q] [/pPALETTE] FILE.mbm [DEPTH]IN0.bmp [DEPTH]IN1.bmp ...
// where DEPTH is /1 /2 /4 /8 /c4 /c8 /c12 /c16 /c24 /c32 /c32a written directly before the
// path ("/c24Siemens\Backgroundimage.bmp"); a source without one gets /2. /n: no compression,
// /r: ROM image, /s: compressed ROM image, default: compressed file store.
//
// Paths are kept as written ("\" and "/" both separate folders; see NativePath). Outside
// Windows, a token such as "/home/me/t.mbm" whose first folder exists at the root of the file
// system is an absolute path, not an option.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "mbm/MbmReduce.h"
#include "mbm/MbmWriter.h"

namespace vexaro::converter {

// Splits command-file text into tokens. Tokens are separated by blanks (space, tab), CR, LF
// and the byte 0x1A; "//" starts a comment that runs to the end of its line. A token that
// ends at the end of the text counts like any other (the SDK's converter silently drops such
// a last output name in decompile mode; we do not copy that). A tab separates tokens too,
// where the SDK's converter made it part of the token.
std::vector<std::string> TokenizeCommandFile(std::string_view text);

struct SourceSpec {
    mbm::DepthOption depth;
    std::string path;
    friend bool operator==(const SourceSpec&, const SourceSpec&) = default;
};

struct CompileRequest {
    mbm::MbmWriteOptions store;
    std::string headerPath;  // /h: also write a C++ enum of the bitmap indices
    std::string palettePath; // /p: palette that /c8 picks its indices from
    bool quiet = false;      // /q: accepted; bmconv prints nothing on success anyway
    std::string target;
    std::vector<SourceSpec> sources;
};

struct DecompileRequest {
    std::string source;
    std::vector<std::string> targets;
    std::string palettePath; // accepted and ignored: decompiling uses no palette
};

struct SummaryRequest {
    std::string source;
};

struct UsageRequest {};

using Request = std::variant<UsageRequest, CompileRequest, DecompileRequest, SummaryRequest>;

// Parses the arguments (no program name). An empty list asks for the usage text. Throws
// vexaro::Error naming the offending argument ("Invalid bitmap mode specified: \"/c44x.bmp\"").
Request ParseArguments(const std::vector<std::string>& args);

// One source argument: a depth option directly followed by the path, or a bare path (/2).
// After the digits, a lower-case "a" is the alpha flag when the depth is /c32; after any
// other depth it belongs to the path. A second digit 2, 4 or 6 is read as part of the depth
// only when that makes a valid depth (/c12, /c16, /c24, /c32).
SourceSpec ParseSource(std::string_view token);

// The usage text printed for no arguments.
std::string UsageText();

} // namespace vexaro::converter
