// bmconv: converts between BMP files and Symbian multi-bitmap files (see CommandLine.h).
#include <iostream>
#include <string>
#include <vector>

#include "converter/Bmconv.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
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
