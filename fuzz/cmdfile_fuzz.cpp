// Splits arbitrary bytes as a bmconv command file and parses the tokens as its arguments.
// Only vexaro::Error may come out; nothing is read or written on disk.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "converter/CommandLine.h"
#include "base/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        (void)vexaro::converter::ParseArguments(vexaro::converter::TokenizeCommandFile(text));
    } catch (const vexaro::Error&) {
        // a command the converter refuses
    }
    for (const std::string_view token : {text.substr(0, 64), text.substr(size > 64 ? size - 64 : 0)}) {
        try {
            (void)vexaro::converter::ParseSource(token);
        } catch (const vexaro::Error&) {
        }
    }
    return 0;
}
