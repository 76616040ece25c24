#pragma once
// Test helpers that change or inspect this process: its current directory, environment, file
// size limit (POSIX) and open descriptors (POSIX) or handles (Windows). Each change lasts as
// long as its object.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include <stdlib.h>

#ifndef _WIN32
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vexaro::test {

// Makes `folder` the current directory for the lifetime of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& folder) : saved_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~CurrentDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path saved_;
};

#ifdef _WIN32
// Sets (or with nullptr removes) a variable in both copies of the environment: the C
// runtime's, which getenv reads, and the system's, which process creation searches for PATH.
// In TestSupport.cpp, which keeps <windows.h> out of the tests.
void SetEnvironment(const std::string& name, const char* value);
// The handles this process holds, by value.
std::set<std::uintptr_t> OpenHandles();
#endif

// Sets an environment variable for the lifetime of the object.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = ::getenv(name)) {
            hadValue_ = true;
            old_ = old;
        }
        Set(name_, value.c_str());
    }
    ~EnvironmentVariable() { Set(name_, hadValue_ ? old_.c_str() : nullptr); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    static void Set(const std::string& name, const char* value)
    {
#ifdef _WIN32
        SetEnvironment(name, value);
#else
        if (value != nullptr)
            ::setenv(name.c_str(), value, 1);
        else
            ::unsetenv(name.c_str());
#endif
    }

    std::string name_;
    std::string old_;
    bool hadValue_ = false;
};

#ifndef _WIN32

// Limits the size of files this process writes, for the lifetime of the object: a write
// beyond it fails with EFBIG ("File too large") instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

// The descriptors this process holds open.
inline std::set<int> OpenDescriptors()
{
    std::set<int> open;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return open;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != ::dirfd(dir))
            open.insert(fd);
    }
    ::closedir(dir);
    return open;
}

#endif

} // namespace vexaro::test
