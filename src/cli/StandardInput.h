#pragma once
// A theme given as "-": the bytes of a pipe or a redirected file, read once.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "import/ThemeFacts.h"

namespace vexaro::cli {

// The theme's name in messages.
inline constexpr const char* kStandardInputName = "(standard input)";

struct InputTheme {
    std::vector<std::uint8_t> bytes;
    ThemeFileType type = ThemeFileType::Package;
};

// Reads `in` to its end, at most kMaxThemeFileBytes. The type is `typeOption` ("sis" or "mbm")
// when given, else told by the first bytes: a multi-bitmap file's own identifier, or a package.
// Throws Error when the stream cannot be read, is empty, or is larger than the limit.
InputTheme ReadInputTheme(std::FILE* in, const std::string& typeOption);

// The theme's multi-bitmap file in memory, as ThemeBytesInMemory gives it.
ThemeBytes InputThemeBytes(const InputTheme& theme);

} // namespace vexaro::cli
