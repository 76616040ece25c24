#include "tool/ChildProcess.h"

#ifdef _WIN32

#include <windows.h>

#include <algorithm>

#include "base/Unicode.h"

namespace vexaro {

namespace {

constexpr DWORD kReadPiece = 256;

// Reads until the pipe reports its end (every write end closed and nothing left), keeping the
// first kMaxErrorOutput bytes in `kept` when it is given.
void DrainPipe(HANDLE readEnd, std::string* kept)
{
    char piece[kReadPiece];
    DWORD bytesRead = 0;
    while (ReadFile(readEnd, piece, kReadPiece, &bytesRead, nullptr)) {
        if (kept != nullptr && kept->size() < kMaxErrorOutput)
            kept->append(piece, std::min<std::size_t>(bytesRead, kMaxErrorOutput - kept->size()));
    }
}

struct ErrorDrain {
    HANDLE readEnd;
    std::string kept;
};

DWORD WINAPI DrainErrorThread(LPVOID drain)
{
    auto* d = static_cast<ErrorDrain*>(drain);
    DrainPipe(d->readEnd, &d->kept);
    return 0;
}

std::string WindowsReason(DWORD code)
{
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string reason = n != 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(code);
    LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// Starts the child in a (hidden) console of its own with an empty environment, the null device
// as its input and the two write ends as its outputs. Returns 0, or the system's error code.
DWORD StartChild(const std::string& commandLine, int showState, SECURITY_ATTRIBUTES& security, HANDLE outWrite,
                 HANDLE errWrite, PROCESS_INFORMATION& process)
{
    // Standard input is the null device. With no handle at all, a child may be handed the
    // input of its new (hidden) console instead (wine does so), and a read from that would wait
    // for keys that nobody can press. Should the device not open, no handle is passed.
    HANDLE nullInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (nullInput == INVALID_HANDLE_VALUE)
        nullInput = nullptr;

    // An environment block of nothing but zeros: the child sees no variables.
    wchar_t environment[101] = {};
    STARTUPINFOW startup{};
    startup.cb = sizeof(STARTUPINFOW);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = static_cast<WORD>(showState);
    startup.hStdInput = nullInput;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;

    // Wine, when busy, now and then refuses to start a process with ERROR_INTERNAL_ERROR and
    // starts it a moment later. A child that never started did nothing, so it is tried again;
    // any other refusal (no such file, no access) stands at once.
    DWORD error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0)
            Sleep(100);
        // The UTF-16 of the command line, which CreateProcessW may write into.
        std::wstring line = PathFromUtf8(commandLine).native();
        const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                            CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT,
                                            environment, nullptr, &startup, &process);
        error = started ? 0 : GetLastError();
        if (error != ERROR_INTERNAL_ERROR)
            break;
    }
    if (nullInput != nullptr)
        CloseHandle(nullInput);
    return error;
}

// Reads both pipes at once, the error pipe on a short-lived thread, so that a child filling its
// error output before it closes its standard output cannot stall. Returns what the error pipe
// held (its first kMaxErrorOutput bytes).
std::string DrainBoth(HANDLE outRead, HANDLE errRead)
{
    ErrorDrain errorDrain{errRead, {}};
    HANDLE errDrainer = CreateThread(nullptr, 0, DrainErrorThread, &errorDrain, 0, nullptr);
    DrainPipe(outRead, nullptr);
    if (errDrainer != nullptr) {
        WaitForSingleObject(errDrainer, INFINITE);
        CloseHandle(errDrainer);
    } else {
        DrainPipe(errRead, &errorDrain.kept);
    }
    return std::move(errorDrain.kept);
}

} // namespace

ChildResult RunChildProcess(const std::string& commandLine, int showState)
{
    ChildResult result;
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(SECURITY_ATTRIBUTES);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;

    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &security, 0)) {
        result.failure = WindowsReason(GetLastError());
        return result;
    }
    if (!CreatePipe(&errRead, &errWrite, &security, 0)) {
        result.failure = WindowsReason(GetLastError());
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }

    PROCESS_INFORMATION process{};
    const DWORD startError = StartChild(commandLine, showState, security, outWrite, errWrite, process);
    // Without our copies of the write ends, each pipe ends when the child closes its own.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (startError != 0) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.failure = startError == ERROR_FILE_NOT_FOUND || startError == ERROR_PATH_NOT_FOUND
                             ? "not found"
                             : WindowsReason(startError);
        return result;
    }
    result.started = true;
    result.errorOutput = DrainBoth(outRead, errRead);

    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code))
        result.exitStatus = static_cast<int>(code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

} // namespace vexaro

#else // POSIX

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Error.h"
#include "base/Unicode.h"

namespace vexaro {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadPiece = 256;

std::vector<std::string> SplitOnBlanks(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

bool IsRunnable(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The folder of the running program, or nothing where the system does not tell.
std::optional<fs::path> ProgramFolder()
{
    const fs::path self = ProgramFile();
    if (!self.has_parent_path())
        return std::nullopt;
    return self.parent_path();
}

// Where the child's program lies: a name with a path is taken as it stands (a "\" counts as a
// separator, as it does in the system's own texts); a bare name is looked for in the program's
// folder, then in the current directory, then along PATH.
std::optional<std::string> FindProgram(std::string name)
{
    bool hasPath = false;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        hasPath = hasPath || c == '/';
    }
    if (hasPath)
        return IsRunnable(name) ? std::optional<std::string>(name) : std::nullopt;

    if (const auto folder = ProgramFolder()) {
        const std::string candidate = (*folder / name).string();
        if (IsRunnable(candidate))
            return candidate;
    }
    if (IsRunnable("./" + name))
        return "./" + name;
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return std::nullopt;
    const std::string list = path;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string dir = list.substr(start, end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (IsRunnable(candidate))
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

void CloseIfOpen(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A pipe whose both ends are close-on-exec and above the three standard descriptors, so that
// placing the write ends on 1 and 2 in the child never overwrites one another.
bool MakePipe(int& readEnd, int& writeEnd)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    for (int& end : ends) {
        if (end > STDERR_FILENO)
            continue;
        const int moved = ::fcntl(end, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(end);
        end = moved;
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    if (readEnd < 0 || writeEnd < 0) {
        CloseIfOpen(readEnd);
        CloseIfOpen(writeEnd);
        return false;
    }
    return true;
}

// Reads both pipes together until each has reported its end: standard output is dropped, the
// first kMaxErrorOutput bytes of standard error are kept in `kept`.
void DrainBoth(int& outRead, int& errRead, std::string& kept)
{
    char piece[kReadPiece];
    int* const ends[2] = {&outRead, &errRead};
    auto keep = [&](int i, ssize_t got) {
        if (i == 1 && got > 0 && kept.size() < kMaxErrorOutput)
            kept.append(piece, std::min(static_cast<std::size_t>(got), kMaxErrorOutput - kept.size()));
    };
    while (outRead >= 0 || errRead >= 0) {
        pollfd watched[2] = {{outRead, POLLIN, 0}, {errRead, POLLIN, 0}}; // a closed end (-1) is ignored
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break; // poll itself failed: finish with plain blocking reads below
        }
        for (int i = 0; i < 2; ++i) {
            if (watched[i].fd < 0 || watched[i].revents == 0)
                continue;
            const ssize_t got = ::read(watched[i].fd, piece, sizeof piece);
            keep(i, got);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                CloseIfOpen(*ends[i]);
        }
    }
    for (int i = 0; i < 2; ++i) {
        while (*ends[i] >= 0) {
            const ssize_t got = ::read(*ends[i], piece, sizeof piece);
            keep(i, got);
            if (got == 0 || (got < 0 && errno != EINTR))
                CloseIfOpen(*ends[i]);
        }
    }
}

// Starts `program` with the arguments `words`, standard input from the null device, standard
// output and error on the two write ends, an empty environment, no blocked signals and the
// default action for a broken pipe, whatever the window program has set for itself. Returns 0
// and the child's process id, or the reason it did not start.
int Spawn(const std::string& program, const std::vector<std::string>& words, int outWrite, int errWrite, pid_t& child)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite, STDERR_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Whatever else the program holds open without close-on-exec stays out of the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    char* emptyEnvironment[] = {nullptr};
    const int spawned = ::posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), emptyEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return spawned;
}

// Waits for the child; its exit status, or 128 + N when signal N ended it.
int WaitForExit(pid_t child)
{
    int status = 0;
    pid_t waited = -1;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited == child && WIFEXITED(status))
        return WEXITSTATUS(status);
    if (waited == child && WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

ChildResult RunChildProcess(const std::string& commandLine, [[maybe_unused]] int showState)
{
    ChildResult result;
    const std::vector<std::string> words = SplitOnBlanks(commandLine);
    const std::optional<std::string> program = words.empty() ? std::nullopt : FindProgram(words.front());
    if (!program) {
        result.failure = "not found";
        return result;
    }

    int outRead = -1, outWrite = -1, errRead = -1, errWrite = -1;
    if (!MakePipe(outRead, outWrite)) {
        result.failure = SystemReason(errno);
        return result;
    }
    if (!MakePipe(errRead, errWrite)) {
        result.failure = SystemReason(errno);
        CloseIfOpen(outRead);
        CloseIfOpen(outWrite);
        return result;
    }

    pid_t child = -1;
    const int spawned = Spawn(*program, words, outWrite, errWrite, child);
    // Without our copies of the write ends, each pipe ends when the child closes its own.
    CloseIfOpen(outWrite);
    CloseIfOpen(errWrite);
    if (spawned != 0) {
        CloseIfOpen(outRead);
        CloseIfOpen(errRead);
        result.failure = SystemReason(spawned);
        return result;
    }
    result.started = true;
    DrainBoth(outRead, errRead, result.errorOutput);
    result.exitStatus = WaitForExit(child);
    return result;
}

} // namespace vexaro

#endif
