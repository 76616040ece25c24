#pragma once
// The one error type of the system: it carries the text that the user is shown
// ("Bitmap image is not valid", "Cannot create file \"%s\". %s", "Error", ...), and the
// helpers its messages are built with.
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexaro {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The message every BMP reader failure carries.
inline constexpr const char* kBitmapNotValid = "Bitmap image is not valid";

// The system's reason for the last failed C library or OS call (errno).
std::string SystemReason(int errorNumber);

// `text` as it may reach a terminal or a window: every control character (C0, DEL and C1) and
// every byte that is no part of a UTF-8 character becomes a visible escape ("\x1B", "\u009B",
// "\xE9"); all else is kept. Names come from packages, file systems and settings, and are
// shown through this, so that none can move a terminal's cursor, set its title or write its
// clipboard.
std::string VisibleText(std::string_view text);

// `text` in double quotes, made visible, as messages name files and values: "Theme.sis".
inline std::string Quoted(std::string_view text) { return '"' + VisibleText(text) + '"'; }

} // namespace vexaro
