// The child program of the child process tests. Modes:
//   quiet                      writes nothing and ends
//   flood <megabytes> <done>   writes that much to standard output and to standard error, in
//                              alternating pieces, then creates the file <done>; it ends itself
//                              after 30 s if its output is not being read
//   probe <report>             writes to <report> what it finds: the number of environment
//                              variables, the bytes on standard input, the kinds of descriptors
//                              0, 1 and 2, and every descriptor it holds open
//   copy <from> <to>           copies a file (paths relative to where it was started)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "ProcessState.h"
#include <unistd.h>

extern char** environ;

namespace {

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int Flood(long megabytes, const char* doneFile)
{
    ::alarm(30);
    const std::vector<char> piece(4096, 'x');
    const long pieces = megabytes * 1024 * 1024 / static_cast<long>(piece.size());
    for (long i = 0; i < pieces; ++i) {
        if (!WriteAll(STDERR_FILENO, piece.data(), piece.size()) || !WriteAll(STDOUT_FILENO, piece.data(), piece.size()))
            return 3;
    }
    std::ofstream(doneFile) << "done\n";
    return 0;
}

std::string Kind(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return "closed";
    if (S_ISFIFO(info.st_mode))
        return "fifo";
    if (S_ISCHR(info.st_mode))
        return "chr";
    if (S_ISREG(info.st_mode))
        return "file";
    return "other";
}

int Probe(const char* reportFile)
{
    int variables = 0;
    for (char** v = environ; v != nullptr && *v != nullptr; ++v)
        ++variables;
    long inputBytes = 0;
    char buffer[256];
    for (ssize_t n; (n = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0;)
        inputBytes += n;

    const std::set<int> open = vexaro::test::OpenDescriptors();

    std::ofstream report(reportFile);
    report << "environment " << variables << "\n";
    report << "input " << inputBytes << "\n";
    report << "stdin " << Kind(STDIN_FILENO) << "\n";
    report << "stdout " << Kind(STDOUT_FILENO) << "\n";
    report << "stderr " << Kind(STDERR_FILENO) << "\n";
    report << "fds";
    for (int fd : open)
        report << " " << fd;
    report << "\n";
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
    std::fprintf(stderr, "child_helper: unknown mode\n");
    return 2;
}
