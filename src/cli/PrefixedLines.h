#pragma once
// A stream buffer that starts every line written through it with a prefix: standard error put
// through one says which program speaks ("vexaro-cli: ...") whichever layer wrote the line.
#include <streambuf>
#include <string>

namespace vexaro::cli {

class PrefixedLines : public std::streambuf {
public:
    // Writes to `target`, which must outlive this buffer. A line ends with "\n" or "\r" (the
    // progress line is redrawn after "\r").
    PrefixedLines(std::streambuf* target, std::string prefix) : target_(target), prefix_(std::move(prefix)) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    std::streambuf* target_;
    std::string prefix_;
    bool lineStart_ = true;
};

} // namespace vexaro::cli
