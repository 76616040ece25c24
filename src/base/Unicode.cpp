#include "base/Unicode.h"

#ifdef _WIN32
#include <cstdlib>
#include <cwchar>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif

namespace vexaro {

#ifdef _WIN32

namespace {

std::string Utf8OfWide(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

UINT savedOutputPage = 0;

void RestoreConsole() { SetConsoleOutputCP(savedOutputPage); }

bool IsConsole(int fd) { return _isatty(fd) != 0; }

} // namespace

std::filesystem::path PathFromUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), size);
    return std::filesystem::path(std::move(wide));
}

std::string TextAsUtf8(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const int length = static_cast<int>(bytes.size());
    if (length == 0 || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0) != 0)
        return std::string(bytes);
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), size);
    return Utf8OfWide(wide.data(), static_cast<int>(wide.size()));
}

std::vector<std::string> ProgramArguments(int, char**)
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8OfWide(wide[i], static_cast<int>(std::wcslen(wide[i]))));
    LocalFree(wide);
    return arguments;
}

std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

std::filesystem::path ProgramFile()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            return {};
        if (n < name.size()) {
            name.resize(n);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 2);
    }
}

void UseUtf8Console()
{
    if (savedOutputPage != 0 || (!IsConsole(1) && !IsConsole(2)))
        return;
    savedOutputPage = GetConsoleOutputCP();
    if (savedOutputPage != 0 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(RestoreConsole);
}

#else

std::filesystem::path PathFromUtf8(std::string_view text) { return std::filesystem::path(std::string(text)); }

std::string TextAsUtf8(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return std::string(bytes);
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::filesystem::path ProgramFile()
{
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self;
}

void UseUtf8Console() {}

#endif

} // namespace vexaro
