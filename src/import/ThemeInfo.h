#pragma once
// The info command's output: the facts of a theme (ThemeFacts.h) for people and for
// scripts.
#include <string>

#include "import/ThemeFacts.h"

namespace vexaro {

// For people: the bitmap table, the field table, the fitting bitmaps and the --set line.
std::string FactsText(const ThemeFacts& facts);

// `text` as a JSON string: quotes and backslashes escaped, control characters as \u00XX, other
// bytes as they are.
std::string JsonString(const std::string& text);

// For scripts: one JSON object {"file", "bitmaps": [...], "fields": [...], "set"}.
std::string FactsJson(const ThemeFacts& facts);

} // namespace vexaro
