// The child program of the child process tests. Modes:
//   quiet                      writes nothing and ends
//   flood <megabytes> <done>   writes that much to standard output and to standard error, in
//                              alternating pieces, then creates the file <done>; it ends itself
//                              after 30 s if its output is not being read
//   probe <report>             writes to <report> what it finds: the names of its environment
//                              variables, the bytes on standard input, the kinds of its
//                              standard input, output and error, and (POSIX) every descriptor
//                              it holds open
//   copy <from> <to>           copies a file (paths relative to where it was started)
//   where <report>             writes the full path of its own program file to <report>
//   fail <status> <text>       writes <text> and a line end to standard error, ends with <status>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <chrono>
#include <thread>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include "ProcessState.h"

extern char** environ;
#endif

namespace {

#ifdef _WIN32

enum class Stream : DWORD { Input = STD_INPUT_HANDLE, Output = STD_OUTPUT_HANDLE, Error = STD_ERROR_HANDLE };

HANDLE Handle(Stream s) { return ::GetStdHandle(static_cast<DWORD>(s)); }

bool WriteAll(Stream s, const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD n = 0;
        if (!::WriteFile(Handle(s), data, static_cast<DWORD>(size), &n, nullptr) || n == 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

long ReadAll(Stream s)
{
    long total = 0;
    char buffer[256];
    DWORD n = 0;
    while (::ReadFile(Handle(s), buffer, sizeof buffer, &n, nullptr) && n > 0)
        total += static_cast<long>(n);
    return total;
}

// The kind of a standard handle, in the words of GetFileType; "none" for a null handle.
std::string Kind(Stream s)
{
    const HANDLE h = Handle(s);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return "none";
    switch (::GetFileType(h)) {
    case FILE_TYPE_PIPE: return "pipe";
    case FILE_TYPE_CHAR: return "char";
    case FILE_TYPE_DISK: return "disk";
    default: return "unknown";
    }
}

std::vector<std::string> Variables()
{
    std::vector<std::string> variables;
    if (char* block = ::GetEnvironmentStringsA()) {
        for (const char* v = block; *v != '\0'; v += std::strlen(v) + 1)
            variables.emplace_back(v);
        ::FreeEnvironmentStringsA(block);
    }
    return variables;
}

void EndAfter30Seconds()
{
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(30));
        ::ExitProcess(3);
    }).detach();
}

std::filesystem::path OwnProgram()
{
    std::wstring name(32768, L'\0');
    name.resize(::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size())));
    return name;
}

#else

enum class Stream : int { Input = STDIN_FILENO, Output = STDOUT_FILENO, Error = STDERR_FILENO };

bool WriteAll(Stream s, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(s), data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long ReadAll(Stream s)
{
    long total = 0;
    char buffer[256];
    for (ssize_t n; (n = ::read(static_cast<int>(s), buffer, sizeof buffer)) > 0;)
        total += n;
    return total;
}

std::string Kind(Stream s)
{
    struct stat info {};
    if (::fstat(static_cast<int>(s), &info) != 0)
        return "closed";
    if (S_ISFIFO(info.st_mode))
        return "fifo";
    if (S_ISCHR(info.st_mode))
        return "chr";
    if (S_ISREG(info.st_mode))
        return "file";
    return "other";
}

std::vector<std::string> Variables()
{
    std::vector<std::string> variables;
    for (char** v = environ; v != nullptr && *v != nullptr; ++v)
        variables.emplace_back(*v);
    return variables;
}

void EndAfter30Seconds() { ::alarm(30); }

std::filesystem::path OwnProgram() { return std::filesystem::read_symlink("/proc/self/exe"); }

#endif

int Flood(long megabytes, const char* doneFile)
{
    EndAfter30Seconds();
    const std::vector<char> piece(4096, 'x');
    const long pieces = megabytes * 1024 * 1024 / static_cast<long>(piece.size());
    for (long i = 0; i < pieces; ++i) {
        if (!WriteAll(Stream::Error, piece.data(), piece.size()) ||
            !WriteAll(Stream::Output, piece.data(), piece.size()))
            return 3;
    }
    std::ofstream(doneFile, std::ios::binary) << "done\n";
    return 0;
}

int Probe(const char* reportFile)
{
    std::string lines = "environment";
    for (const std::string& variable : Variables())
        lines.append(" ").append(variable, 0, variable.find('=', 1));
    const long inputBytes = ReadAll(Stream::Input);
    lines.append("\ninput ").append(std::to_string(inputBytes));
    lines.append("\nstdin ").append(Kind(Stream::Input));
    lines.append("\nstdout ").append(Kind(Stream::Output));
    lines.append("\nstderr ").append(Kind(Stream::Error)).append("\n");
#ifndef _WIN32
    lines += "fds";
    for (int fd : vexaro::test::OpenDescriptors()) // before the report adds one of its own
        lines.append(" ").append(std::to_string(fd));
    lines += "\n";
#endif
    std::ofstream report(reportFile, std::ios::binary);
    report << lines;
    return report ? 0 : 4;
}

int Copy(const char* from, const char* to)
{
    std::ifstream in(from, std::ios::binary);
    if (!in)
        return 5;
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return out ? 0 : 6;
}

int Where(const char* reportFile)
{
    std::ofstream report(reportFile, std::ios::binary);
    report << OwnProgram().string();
    return report ? 0 : 7;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "quiet" && argc == 2)
        return 0;
    if (mode == "flood" && argc == 4)
        return Flood(std::atol(argv[2]), argv[3]);
    if (mode == "probe" && argc == 3)
        return Probe(argv[2]);
    if (mode == "copy" && argc == 4)
        return Copy(argv[2], argv[3]);
    if (mode == "where" && argc == 3)
        return Where(argv[2]);
    if (mode == "fail" && argc == 4) {
        std::fprintf(stderr, "%s\n", argv[3]);
        return std::atoi(argv[2]);
    }
    std::fprintf(stderr, "child_helper: unknown mode\n");
    return 2;
}
