// Writes the themes the tests make in code (ThemeFixtures.h) into the folder named on the command
// line, one file each under its own name, for the browser page's tests to convert both ways.
#include <cstdio>
#include <filesystem>

#include "TestSupport.h"
#include "ThemeFixtures.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: made_themes FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const vexaro::test::ThemeFixture& theme : vexaro::test::MadeThemes())
        vexaro::test::WriteBytes(folder / theme.name, theme.bytes);
    return 0;
}
