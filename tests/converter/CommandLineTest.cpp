// The command-file tokenizer and the argument parser: every form the system writes, the
// depth options with their quirks, and the refusals.
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "converter/CommandLine.h"
#include "base/Error.h"

namespace vexaro::converter {
namespace {

using Tokens = std::vector<std::string>;

std::string ParseError(const Tokens& args)
{
    try {
        ParseArguments(args);
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(Tokenizer, UnpackCommandFile)
{
    EXPECT_EQ(TokenizeCommandFile("/u Nokia\\temp.mbm\r\nNokia\\MBM\\000.bmp\r\nNokia\\MBM\\001.bmp\r\n"),
              (Tokens{"/u", "Nokia\\temp.mbm", "Nokia\\MBM\\000.bmp", "Nokia\\MBM\\001.bmp"}));
}

TEST(Tokenizer, SeparatorsAndComments)
{
    EXPECT_EQ(TokenizeCommandFile("  a  b\tc\x1A"
                                  "d\n\n\re  "),
              (Tokens{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(TokenizeCommandFile("// heading\r\na // note b\r\nc"), (Tokens{"a", "c"}));
    // A comment may start inside a token; it runs to the end of its line only.
    EXPECT_EQ(TokenizeCommandFile("x.mbm//note\ny.bmp"), (Tokens{"x.mbm", "y.bmp"}));
    EXPECT_EQ(TokenizeCommandFile("a // runs to the end"), (Tokens{"a"}));
    EXPECT_EQ(TokenizeCommandFile("a / b"), (Tokens{"a", "/", "b"}));
    EXPECT_TRUE(TokenizeCommandFile("").empty());
    EXPECT_TRUE(TokenizeCommandFile(" \r\n// only a comment").empty());
}

TEST(Tokenizer, TokenEndingAtTheEndOfTheTextCounts)
{
    // The SDK's converter skips such a token in decompile mode; we keep it in both modes.
    EXPECT_EQ(TokenizeCommandFile("/u x.mbm\r\na.bmp\r\nb.bmp"), (Tokens{"/u", "x.mbm", "a.bmp", "b.bmp"}));
}

TEST(Arguments, NoArgumentsAskForUsage)
{
    EXPECT_TRUE(std::holds_alternative<UsageRequest>(ParseArguments({})));
    EXPECT_NE(UsageText().find("/u FILE.mbm"), std::string::npos);
}

TEST(Arguments, DecompileForms)
{
    const auto plain = std::get<DecompileRequest>(
        ParseArguments({"/u", "Nokia\\temp.mbm", "Nokia\\MBM\\000.bmp", "Nokia\\MBM\\001.bmp"}));
    EXPECT_EQ(plain.source, "Nokia\\temp.mbm");
    EXPECT_EQ(plain.targets, (Tokens{"Nokia\\MBM\\000.bmp", "Nokia\\MBM\\001.bmp"}));
    // "/u /pPALETTE FILE": the palette is skipped, FILE is still the source.
    const auto withPalette =
        std::get<DecompileRequest>(ParseArguments({"-U", "/pPal.txt", "Nokia\\temp.mbm", "a.bmp"}));
    EXPECT_EQ(withPalette.palettePath, "Pal.txt");
    EXPECT_EQ(withPalette.source, "Nokia\\temp.mbm");
    EXPECT_EQ(withPalette.targets, (Tokens{"a.bmp"}));
    EXPECT_TRUE(std::get<DecompileRequest>(ParseArguments({"/u", "x.mbm"})).targets.empty());
    EXPECT_EQ(ParseError({"/u"}), "no multi-bitmap file named after /u");
    EXPECT_EQ(ParseError({"/u", "/px"}), "no multi-bitmap file named after /u");
}

TEST(Arguments, CompileForms)
{
    const auto theme = std::get<CompileRequest>(
        ParseArguments({"Siemens\\EidPic.mbm", "/c24Siemens\\Backgroundimage.bmp", "/1Siemens\\BBackgroundimage.bmp"}));
    EXPECT_EQ(theme.target, "Siemens\\EidPic.mbm");
    EXPECT_EQ(theme.store.layout, mbm::MbmLayout::FileStore);
    EXPECT_TRUE(theme.store.compress);
    ASSERT_EQ(theme.sources.size(), 2u);
    EXPECT_EQ(theme.sources[0], (SourceSpec{{24, true, false}, "Siemens\\Backgroundimage.bmp"}));
    EXPECT_EQ(theme.sources[1], (SourceSpec{{1, false, false}, "Siemens\\BBackgroundimage.bmp"}));

    const auto all = std::get<CompileRequest>(ParseArguments({"/R", "-hx.mbg", "/q", "/ppal.txt", "t.mbm", "a.bmp"}));
    EXPECT_EQ(all.store.layout, mbm::MbmLayout::RomImage);
    EXPECT_FALSE(all.store.compress);
    EXPECT_EQ(all.headerPath, "x.mbg");
    EXPECT_EQ(all.palettePath, "pal.txt");
    EXPECT_TRUE(all.quiet);
    EXPECT_EQ(all.sources[0].depth, (mbm::DepthOption{2, false, false})); // no option: /2
    const auto rom = std::get<CompileRequest>(ParseArguments({"/s", "t.mbm", "/c8a.bmp"}));
    EXPECT_EQ(rom.store.layout, mbm::MbmLayout::RomImage);
    EXPECT_TRUE(rom.store.compress);
    EXPECT_FALSE(std::get<CompileRequest>(ParseArguments({"-n", "t.mbm", "/c8a.bmp"})).store.compress);
    // Options are only read before the target: "/n" after it is a source with a bad depth.
    EXPECT_EQ(ParseError({"t.mbm", "/n"}).rfind("Invalid bitmap mode specified: \"/n\"", 0), 0u);
}

TEST(Arguments, CompileRefusals)
{
    EXPECT_EQ(ParseError({"/n", "/q"}), "no target multi-bitmap file named");
    EXPECT_EQ(ParseError({"t.mbm"}), "no source bitmaps named for \"t.mbm\"");
    EXPECT_EQ(ParseError({"/c24a.bmp", "/c24b.bmp"}),
              "no target multi-bitmap file named: \"/c24a.bmp\" is a source bitmap");
    EXPECT_EQ(ParseError({"/h", "t.mbm", "a.bmp"}), "option \"/h\" needs a file name written directly after it");
    EXPECT_EQ(ParseError({"/v"}), "/v takes exactly one multi-bitmap file");
}

#ifndef _WIN32
// Absolute paths begin with "/" here; those under /proc, /run, /sys and /usr begin like the
// options /p, /r, /s and /u.
TEST(Arguments, AbsolutePathsAreNotOptions)
{
    const auto compile = std::get<CompileRequest>(
        ParseArguments({"/r", "/h/proc/x/eid.mbg", "/sys/x/EidPic.mbm", "/c24/usr/x/Back.bmp", "/run/x/grey.bmp"}));
    EXPECT_EQ(compile.store.layout, mbm::MbmLayout::RomImage);
    EXPECT_EQ(compile.headerPath, "/proc/x/eid.mbg");
    EXPECT_EQ(compile.target, "/sys/x/EidPic.mbm");
    ASSERT_EQ(compile.sources.size(), 2u);
    EXPECT_EQ(compile.sources[0], (SourceSpec{{24, true, false}, "/usr/x/Back.bmp"}));
    EXPECT_EQ(compile.sources[1], (SourceSpec{{2, false, false}, "/run/x/grey.bmp"}));

    const auto decompile = std::get<DecompileRequest>(ParseArguments({"/u", "/proc/x/t.mbm", "/usr/x/0.bmp"}));
    EXPECT_EQ(decompile.source, "/proc/x/t.mbm");
    EXPECT_EQ(decompile.targets, (Tokens{"/usr/x/0.bmp"}));
    // A root folder that does not exist leaves the token an option.
    EXPECT_EQ(ParseError({"/c24no-such-root/a.bmp", "b.bmp"}),
              "no target multi-bitmap file named: \"/c24no-such-root/a.bmp\" is a source bitmap");
}
#endif

TEST(DepthOptions, EveryValidOption)
{
    struct Case {
        const char* token;
        mbm::DepthOption depth;
        const char* path;
    };
    const Case cases[] = {
        {"/1m.bmp", {1, false, false}, "m.bmp"},
        {"/2m.bmp", {2, false, false}, "m.bmp"},
        {"/4m.bmp", {4, false, false}, "m.bmp"},
        {"/8m.bmp", {8, false, false}, "m.bmp"},
        {"/c4m.bmp", {4, true, false}, "m.bmp"},
        {"/c8m.bmp", {8, true, false}, "m.bmp"},
        {"/c12m.bmp", {12, true, false}, "m.bmp"},
        {"/c16m.bmp", {16, true, false}, "m.bmp"},
        {"/c24m.bmp", {24, true, false}, "m.bmp"},
        {"/c32m.bmp", {32, true, false}, "m.bmp"},
        {"/c32am.bmp", {32, true, true}, "m.bmp"},
        {"-C16M.BMP", {16, true, false}, "M.BMP"},
        {"/8cube32_alpha.bmp", {8, false, false}, "cube32_alpha.bmp"},
        // The build-script workaround for names that begin with "a".
        {"/c24./agbw24.bmp", {24, true, false}, "./agbw24.bmp"},
        // Where the SDK's converter reads a second digit or an "a" that makes no valid
        // option, they stay in the path.
        {"/c24agbw24.bmp", {24, true, false}, "agbw24.bmp"},
        {"/12x.bmp", {1, false, false}, "2x.bmp"},
        {"/c44x.bmp", {4, true, false}, "4x.bmp"},
        {"/8ax.bmp", {8, false, false}, "ax.bmp"},
        {"/c32Aif.bmp", {32, true, false}, "Aif.bmp"}, // only a lower-case a is the flag
        {"x.bmp", {2, false, false}, "x.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token);
        const SourceSpec spec = ParseSource(c.token);
        EXPECT_EQ(spec.depth, c.depth);
        EXPECT_EQ(spec.path, c.path);
    }
}

TEST(DepthOptions, InvalidOptionsAreRefused)
{
    for (const char* token : {"/3x.bmp", "/c1x.bmp", "/c2x.bmp", "/cx.bmp", "/x.bmp", "/c3x.bmp", "/6x.bmp"}) {
        SCOPED_TRACE(token);
        try {
            ParseSource(token);
            FAIL() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Invalid bitmap mode specified: \"" + std::string(token) +
                          "\" (expected /1 /2 /4 /8 /c4 /c8 /c12 /c16 /c24 /c32 or /c32a before the path)");
        }
    }
    EXPECT_EQ(ParseError({"t.mbm", "/c24"}), "no bitmap file named after the option \"/c24\"");
}

} // namespace
} // namespace vexaro::converter
