#pragma once
// The info command's output: the facts of a theme (ThemeFacts.h) for people and for
// scripts.
#include <string>

#include "import/ThemeFacts.h"

namespace vexaro {

// For people: the bitmap table, the field table, the candidates and the --set line.
std::string FactsText(const ThemeFacts& facts);

// `text` as a JSON string: quotes and backslashes escaped, control characters as \u00XX, bytes
// that are no UTF-8 as U+FFFD.
std::string JsonString(const std::string& text);

// For scripts: one JSON object {"format": 1, "file", "bitmaps": [...], "fields": [...], "set"}, valid
// UTF-8 whatever the names hold: a text that is no UTF-8 shows U+FFFD and comes with its bytes in
// hex as "file_hex" or "text_hex".
std::string FactsJson(const ThemeFacts& facts);

// What info --json prints instead when it fails: {"format": 1, "error": "message"}, valid UTF-8
// as above.
std::string ErrorJson(const std::string& message);

// A bitmap's size and depth as the tables show them: "176x208 12-bit colour".
std::string SizeAndDepthText(const BitmapFacts& b);

} // namespace vexaro
