#pragma once
// Field texts and settings are bytes, used verbatim in file names; the controls show them as
// text. The mapping goes both ways without loss, so that a stored text that is not valid in
// the system's encoding comes back byte for byte, and names the same file that the command
// line names with those bytes.
#include <QString>

#include <string>
#include <string_view>

namespace vexaro::app {

// The text of `bytes` in the system's 8-bit encoding (UTF-8 on Linux). A byte that begins no
// character of it is held as the lone surrogate U+DC00 + byte, which no typed text holds.
QString TextOfBytes(std::string_view bytes);

// The bytes of `text`: each lone surrogate U+DC80 to U+DCFF as the byte it holds, the rest in
// the system's 8-bit encoding.
std::string BytesOfText(const QString& text);

} // namespace vexaro::app
