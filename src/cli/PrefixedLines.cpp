#include "cli/PrefixedLines.h"

namespace vexaro::cli {

PrefixedLines::int_type PrefixedLines::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize PrefixedLines::xsputn(const char* text, std::streamsize count)
{
    std::streamsize done = 0;
    while (done < count) {
        if (lineStart_) {
            const auto size = static_cast<std::streamsize>(prefix_.size());
            if (target_->sputn(prefix_.data(), size) != size)
                return done;
            lineStart_ = false;
        }
        std::streamsize end = done;
        while (end < count && text[end] != '\n' && text[end] != '\r')
            ++end;
        if (end < count) {
            ++end; // the line's end goes with it
            lineStart_ = true;
        }
        if (target_->sputn(text + done, end - done) != end - done)
            return done;
        done = end;
    }
    return done;
}

int PrefixedLines::sync() { return target_->pubsync(); }

} // namespace vexaro::cli
