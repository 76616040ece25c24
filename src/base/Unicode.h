#pragma once
// Text is UTF-8 throughout the programs, file names included. Windows names files in UTF-16 and
// hands a program its arguments in UTF-16 too: these helpers are the one place where a name given
// as text becomes a path, where the arguments become text, and where the console learns UTF-8.
// (A path becomes text with path::string(), which gives UTF-8 on Windows as well.)
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vexaro {

// The file that `text` names. On POSIX its bytes as they are (names need not be UTF-8); on
// Windows the UTF-16 of the UTF-8 text, bytes that are no UTF-8 read as U+FFFD.
std::filesystem::path PathFromUtf8(std::string_view text);

// The program's arguments after its name, as UTF-8. On Windows they are read from the wide
// command line, since `argv` holds only what the ANSI code page can spell ("Тема" as "????").
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A text file's contents as UTF-8: without a leading UTF-8 byte-order mark, and on Windows,
// where files written by older programs are in the ANSI code page, text that is no UTF-8 is
// read in that code page. Elsewhere the bytes are kept as they are.
std::string TextAsUtf8(std::string_view bytes);

// std::fopen of a path, by its wide name on Windows.
std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode);

// The running program's own file, or an empty path where the system does not tell.
std::filesystem::path ProgramFile();

// On Windows, a console that shows this program's standard output or error shows UTF-8 until
// the program ends (its code page is put back then). Elsewhere nothing to do.
void UseUtf8Console();

} // namespace vexaro
