// bmconv: converts between BMP files and Symbian multi-bitmap files (see CommandLine.h).
#include <iostream>
#include <string>
#include <vector>

#include "base/Unicode.h"
#include "converter/Bmconv.h"

int main(int argc, char** argv)
{
    // As UTF-8 text on every platform; Windows hands over UTF-16.
    const std::vector<std::string> args = vexaro::ProgramArguments(argc, argv);
    vexaro::UseUtf8Console();
    // For people, and for help2man, which writes the manual page from these two.
    if (args == std::vector<std::string>{"--version"}) {
        std::cout << "bmconv (Vexaro) " VEXARO_VERSION "\n";
        return 0;
    }
    if (args == std::vector<std::string>{"--help"}) {
        std::cout << vexaro::converter::UsageText();
        return 0;
    }
    return vexaro::converter::RunBmconv(args, std::cout, std::cerr);
}
