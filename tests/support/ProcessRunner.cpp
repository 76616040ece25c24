#include "ProcessRunner.h"

#include <atomic>
#include <cstdio>

#include "base/Unicode.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vexaro::test {

namespace fs = std::filesystem;

#ifdef _WIN32

namespace {

// One argument as the C runtime's command-line parser will split it back out: quoted when it
// holds a blank or a quote or is empty, with the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// A program's text output as it reads back in text mode: CR LF as a plain line end.
std::string TextOf(const fs::path& path)
{
    std::string text = ReadText(path);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

// A new file that a child can take as its output.
HANDLE CreateOutputFile(const fs::path& path)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ProcessResult RunProcess(const fs::path& program, const std::vector<std::string>& args, const fs::path& folder,
                         const fs::path& input)
{
    static std::atomic<unsigned> counter{0};
    const std::wstring stem = L"vexaro-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    const fs::path outName = fs::temp_directory_path() / (stem + L".out");
    const fs::path errName = fs::temp_directory_path() / (stem + L".err");

    ProcessResult result;
    std::string startFailure;
    const HANDLE out = CreateOutputFile(outName);
    const HANDLE err = CreateOutputFile(errName);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE in = input.empty() ? INVALID_HANDLE_VALUE
                                    : ::CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
        std::wstring line = Quoted(program.wstring());
        for (const std::string& a : args)
            line += L" " + Quoted(PathFromUtf8(a).wstring());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = err;
        startup.hStdInput = in == INVALID_HANDLE_VALUE ? nullptr : in;
        PROCESS_INFORMATION process{};
        // Wine, under load, now and then fails to start a process that starts the next time;
        // a program that never ran says nothing about the program, so it is tried again.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0)
                ::Sleep(200);
            started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                       folder.c_str(), &startup, &process) != FALSE;
        }
        if (started) {
            ::WaitForSingleObject(process.hProcess, INFINITE);
            DWORD code = 0;
            if (::GetExitCodeProcess(process.hProcess, &code))
                result.exitCode = static_cast<int>(code);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
        } else {
            startFailure =
                "could not start " + program.string() + ": Windows error " + std::to_string(::GetLastError());
        }
    } else {
        startFailure = "could not create the output files in " + fs::temp_directory_path().string();
    }
    for (HANDLE h : {out, err, in})
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    result.out = TextOf(outName);
    result.err = TextOf(errName) + startFailure;
    std::error_code ec;
    fs::remove(outName, ec);
    fs::remove(errName, ec);
    return result;
}

#else

ProcessResult RunProcess(const fs::path& program, const std::vector<std::string>& args, const fs::path& folder,
                         const fs::path& input)
{
    char outName[] = "/tmp/vexaro-out-XXXXXX";
    char errName[] = "/tmp/vexaro-err-XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    ProcessResult result;
    if (outFd < 0 || errFd < 0)
        return result;
    const std::string programName = program.string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(programName.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (!input.empty()) {
            const int inFd = ::open(input.c_str(), O_RDONLY);
            if (inFd < 0 || ::dup2(inFd, 0) < 0)
                ::_exit(126);
        }
        ::execv(programName.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    ::close(outFd);
    ::close(errFd);
    result.out = ReadText(outName);
    result.err = ReadText(errName);
    std::remove(outName);
    std::remove(errName);
    return result;
}

#endif

} // namespace vexaro::test
