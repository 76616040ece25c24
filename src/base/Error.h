#pragma once
// The one error type of the system: it carries the text that the user is shown
// ("Bitmap image is not valid", "Cannot create file \"%s\". %s", "Error", ...), and the two
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

// `text` in double quotes, as messages name files and values: "Theme.sis".
inline std::string Quoted(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

} // namespace vexaro
