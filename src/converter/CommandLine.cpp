#include "converter/CommandLine.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/Error.h"
#include "base/Unicode.h"

namespace vexaro::converter {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1A'; }

// Where "/" both starts options and roots absolute paths, "/home/me/t.mbm" must stay a path
// rather than become "/h" with the header "ome/me/t.mbm". A "/" token is read as a path when
// its first folder exists at the root of the file system: no root folder is named like an
// option ("c24", "1", "h..."), so the options written by hand or by our commands keep their
// meaning.
bool IsRootedPath([[maybe_unused]] std::string_view token)
{
#ifdef _WIN32
    return false;
#else
    if (token.size() < 2 || token[0] != '/')
        return false;
    const std::size_t slash = token.find('/', 1);
    if (slash == std::string_view::npos || slash == 1)
        return false;
    std::error_code ec;
    return std::filesystem::is_directory(PathFromUtf8(token.substr(0, slash)), ec);
#endif
}

bool StartsOption(std::string_view token)
{
    return token.size() >= 2 && (token[0] == '-' || (token[0] == '/' && !IsRootedPath(token)));
}

char OptionLetter(std::string_view token)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(token[1])));
}

// "/u", "-U", ...: the whole token is the option.
bool IsFlag(std::string_view token, char letter)
{
    return token.size() == 2 && StartsOption(token) && OptionLetter(token) == letter;
}

// "/pPALETTE", "/hHEADER": the option letter followed by a value.
bool IsValued(std::string_view token, char letter) { return StartsOption(token) && OptionLetter(token) == letter; }

std::string ValueOf(std::string_view token)
{
    if (token.size() == 2)
        throw Error("option " + Quoted(token) + " needs a file name written directly after it");
    return std::string(token.substr(2));
}

bool ValidTwoDigit(int depth) { return depth == 12 || depth == 16 || depth == 24 || depth == 32; }

Request ParseDecompile(const std::vector<std::string>& args)
{
    DecompileRequest request;
    std::size_t i = 1;
    for (; i < args.size() && IsValued(args[i], 'p'); ++i)
        request.palettePath = ValueOf(args[i]);
    if (i >= args.size())
        throw Error("no multi-bitmap file named after /u");
    request.source = args[i];
    request.targets.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return request;
}

Request ParseCompile(const std::vector<std::string>& args)
{
    CompileRequest request;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (IsFlag(a, 'r')) {
            request.store = {mbm::MbmLayout::RomImage, false};
        } else if (IsFlag(a, 's')) {
            request.store = {mbm::MbmLayout::RomImage, true};
        } else if (IsFlag(a, 'n')) {
            request.store = {mbm::MbmLayout::FileStore, false};
        } else if (IsFlag(a, 'q')) {
            request.quiet = true;
        } else if (IsValued(a, 'h')) {
            request.headerPath = ValueOf(a);
        } else if (IsValued(a, 'p')) {
            request.palettePath = ValueOf(a);
        } else {
            break; // the first other token names the target
        }
    }
    if (i >= args.size())
        throw Error("no target multi-bitmap file named");
    request.target = args[i++];
    if (StartsOption(request.target) && (std::isdigit(static_cast<unsigned char>(request.target[1])) ||
                                         std::tolower(static_cast<unsigned char>(request.target[1])) == 'c'))
        throw Error("no target multi-bitmap file named: " + Quoted(request.target) + " is a source bitmap");
    for (; i < args.size(); ++i)
        request.sources.push_back(ParseSource(args[i]));
    if (request.sources.empty())
        throw Error("no source bitmaps named for " + Quoted(request.target));
    return request;
}

} // namespace

std::vector<std::string> TokenizeCommandFile(std::string_view text)
{
    std::vector<std::string> tokens;
    std::string current;
    auto flush = [&] {
        if (!current.empty())
            tokens.push_back(std::move(current));
        current.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            flush();
            while (i < text.size() && text[i] != '\r' && text[i] != '\n')
                ++i;
            continue;
        }
        if (IsSeparator(c))
            flush();
        else
            current += c;
    }
    flush();
    return tokens;
}

SourceSpec ParseSource(std::string_view token)
{
    SourceSpec spec;
    if (token.empty() || (token[0] != '/' && token[0] != '-') || IsRootedPath(token)) {
        spec.path = std::string(token);
        return spec; // no option: 2-bit grey
    }
    std::size_t p = 1;
    if (p < token.size() && std::tolower(static_cast<unsigned char>(token[p])) == 'c') {
        spec.depth.colour = true;
        ++p;
    }
    if (p >= token.size() || !std::isdigit(static_cast<unsigned char>(token[p])))
        throw Error("Invalid bitmap mode specified: " + Quoted(token) +
                    " (expected /1 /2 /4 /8 /c4 /c8 /c12 /c16 /c24 /c32 or /c32a before the path)");
    int depth = token[p++] - '0';
    if (p < token.size() && (token[p] == '2' || token[p] == '4' || token[p] == '6') && spec.depth.colour &&
        ValidTwoDigit(10 * depth + (token[p] - '0')))
        depth = 10 * depth + (token[p++] - '0');
    spec.depth.bitsPerPixel = depth;
    if (p < token.size() && token[p] == 'a' && spec.depth.colour && depth == 32) {
        spec.depth.alpha = true;
        ++p;
    }
    if (!mbm::IsValidDepthOption(spec.depth))
        throw Error("Invalid bitmap mode specified: " + Quoted(token) +
                    " (expected /1 /2 /4 /8 /c4 /c8 /c12 /c16 /c24 /c32 or /c32a before the path)");
    spec.path = std::string(token.substr(p));
    if (spec.path.empty())
        throw Error("no bitmap file named after the option " + Quoted(token));
    return spec;
}

Request ParseArguments(const std::vector<std::string>& args)
{
    if (args.empty())
        return UsageRequest{};
    if (IsFlag(args[0], 'u'))
        return ParseDecompile(args);
    if (IsFlag(args[0], 'v')) {
        if (args.size() != 2)
            throw Error("/v takes exactly one multi-bitmap file");
        return SummaryRequest{args[1]};
    }
    return ParseCompile(args);
}

std::string UsageText()
{
    return "Usage: bmconv COMMANDFILE\n"
           "  or:  bmconv [/r|/s|/n] [/hHEADER] [/q] [/pPALETTE] FILE.mbm [DEPTH]IN.bmp ...\n"
           "  or:  bmconv /u FILE.mbm OUT.bmp ...\n"
           "  or:  bmconv /v FILE.mbm\n"
           "Converts between BMP files and Symbian multi-bitmap (.mbm) files: reads its arguments from\n"
           "COMMANDFILE (one or more per line, // starts a comment); compiles the BMP files into\n"
           "FILE.mbm, in order; /u decompiles bitmap 0 into the first OUT.bmp, bitmap 1 into the next,\n"
           "...; /v lists the bitmaps of FILE.mbm.\n"
           "\n"
           "Options:\n"
           "  DEPTH        /1 /2 /4 /8 grey (default /2); /c4 /c8 /c12 /c16 /c24 /c32 colour; /c32a\n"
           "               colour with alpha from IN-alpha.bmp (8-bit)\n"
           "  /n           no compression\n"
           "  /r           ROM image\n"
           "  /s           compressed ROM image\n"
           "  /hHEADER     write a C++ header\n"
           "  /q           quiet\n"
           "  /pPALETTE    palette file for /c8\n"
           "  --help       print this text and exit\n"
           "  --version    print the version and exit\n"
           "Options may start with / or -. Paths use \\ or / between folders.\n";
}

} // namespace vexaro::converter
