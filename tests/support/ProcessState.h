#pragma once
// Test helpers that change or inspect this process (POSIX): its current directory, environment,
// file size limit and open descriptors. Each change lasts as long as its object.
#include <filesystem>
#include <set>
#include <string>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <unistd.h>

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

// Sets an environment variable for the lifetime of the object.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = ::getenv(name)) {
            hadValue_ = true;
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentVariable()
    {
        if (hadValue_)
            ::setenv(name_.c_str(), old_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadValue_ = false;
};

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

} // namespace vexaro::test
