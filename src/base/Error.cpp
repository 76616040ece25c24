#include "base/Error.h"

#include <cstdio>
#include <cstring>

namespace vexaro {

std::string SystemReason(int errorNumber) { return std::strerror(errorNumber); }

namespace {

// The length of the UTF-8 character at the start of `text` and its code point, or 0 when the
// first byte starts none (a stray continuation byte, an overlong form, a surrogate, a code
// point above U+10FFFF, or a character cut short).
std::size_t Utf8Character(std::string_view text, char32_t& code)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string VisibleText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    char escape[8];
    while (!text.empty()) {
        char32_t code = 0;
        const std::size_t length = Utf8Character(text, code);
        if (length == 0 || code < 0x20 || code == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[0]));
            shown += escape;
            text.remove_prefix(1);
        } else if (code >= 0x80 && code <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
            shown += escape;
            text.remove_prefix(length);
        } else {
            shown.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return shown;
}

} // namespace vexaro
