#include "cli/StandardInput.h"

#include <array>

#include "base/Error.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace vexaro::cli {

InputTheme ReadInputTheme(std::FILE* in, const std::string& typeOption)
{
#ifdef _WIN32
    (void)_setmode(_fileno(in), _O_BINARY);
#endif
    InputTheme theme;
    std::vector<std::uint8_t>& bytes = theme.bytes;
    std::array<std::uint8_t, 64 * 1024> piece{};
    while (const std::size_t got = std::fread(piece.data(), 1, piece.size(), in)) {
        if (got > kMaxThemeFileBytes - bytes.size())
            throw Error("The theme on standard input is larger than " + std::to_string(kMaxThemeFileBytes >> 20) +
                        " MiB");
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got));
    }
    if (std::ferror(in))
        throw Error("Cannot read the theme from standard input");
    if (bytes.empty())
        throw Error("Standard input holds no theme: give a package or a multi-bitmap file");
    // A multi-bitmap file starts with 0x10000037 (a file store) or 0x10000041 (a ROM image).
    const bool mbm = typeOption.empty() ? bytes.size() >= 4 && (bytes[0] == 0x37 || bytes[0] == 0x41) &&
                                              bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0x10
                                        : typeOption == "mbm";
    theme.type = mbm ? ThemeFileType::MultiBitmap : ThemeFileType::Package;
    return theme;
}

ThemeBytes InputThemeBytes(const InputTheme& theme)
{
    return ThemeBytesInMemory(kStandardInputName, theme.bytes, theme.type);
}

} // namespace vexaro::cli
