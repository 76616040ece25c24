#include "cli/Workers.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <map>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace vexaro::cli {

std::string WindowsCommandLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& arg : arguments) {
        if (!line.empty())
            line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += arg;
            continue;
        }
        // Backslashes are literal unless a quote follows them: then each one is doubled, and
        // the quote itself is escaped (or, at the end, the closing quote follows).
        line += '"';
        std::size_t backslashes = 0;
        for (const char c : arg) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            if (c == '"') {
                line.append(backslashes * 2 + 1, '\\');
            } else {
                line.append(backslashes, '\\');
            }
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, '\\');
        line += '"';
    }
    return line;
}

#ifdef _WIN32

std::string ThisProgram(const char* argv0)
{
    char name[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, name, sizeof name);
    if (n == 0 || n >= sizeof name)
        return argv0 ? argv0 : "";
    return std::string(name, n);
}

std::vector<int> RunWorkers(const std::string& program, const std::vector<std::vector<std::string>>& argumentLists,
                            int jobs)
{
    std::vector<int> statuses(argumentLists.size(), -1);
    std::vector<std::pair<HANDLE, std::size_t>> running;
    std::size_t next = 0;
    jobs = std::clamp(jobs, 1, MAXIMUM_WAIT_OBJECTS);
    while (next < argumentLists.size() || !running.empty()) {
        while (next < argumentLists.size() && static_cast<int>(running.size()) < jobs) {
            std::vector<std::string> words{program};
            words.insert(words.end(), argumentLists[next].begin(), argumentLists[next].end());
            std::string line = WindowsCommandLine(words);
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
                CloseHandle(info.hThread);
                running.emplace_back(info.hProcess, next);
            }
            ++next;
        }
        if (running.empty())
            continue;
        std::vector<HANDLE> handles;
        for (const auto& r : running)
            handles.push_back(r.first);
        const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        if (woke < WAIT_OBJECT_0 || woke >= WAIT_OBJECT_0 + handles.size())
            break;
        const auto [handle, index] = running[woke - WAIT_OBJECT_0];
        DWORD code = 0;
        statuses[index] = GetExitCodeProcess(handle, &code) ? static_cast<int>(code) : -1;
        CloseHandle(handle);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(woke - WAIT_OBJECT_0));
    }
    for (const auto& r : running)
        CloseHandle(r.first);
    return statuses;
}

#else

std::string ThisProgram(const char* argv0)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty())
        return self.string();
    return argv0 ? argv0 : "";
}

std::vector<int> RunWorkers(const std::string& program, const std::vector<std::vector<std::string>>& argumentLists,
                            int jobs)
{
    std::vector<int> statuses(argumentLists.size(), -1);
    std::map<pid_t, std::size_t> running;
    std::size_t next = 0;
    jobs = std::max(jobs, 1);
    while (next < argumentLists.size() || !running.empty()) {
        while (next < argumentLists.size() && static_cast<int>(running.size()) < jobs) {
            std::vector<std::string> words{program};
            words.insert(words.end(), argumentLists[next].begin(), argumentLists[next].end());
            std::vector<char*> argv;
            for (std::string& w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            pid_t pid = -1;
            if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0)
                running.emplace(pid, next);
            ++next;
        }
        if (running.empty())
            continue;
        // This program starts no other children while its copies run.
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR)
                continue;
            break;   // no children left to wait for: the rest stay at -1
        }
        if (running.count(pid) == 0)
            continue;
        const std::size_t index = running.at(pid);
        running.erase(pid);
        if (WIFEXITED(status))
            statuses[index] = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            statuses[index] = 128 + WTERMSIG(status);
    }
    return statuses;
}

#endif

} // namespace vexaro::cli
