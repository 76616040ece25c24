// bmconv: converts between BMP files and Symbian multi-bitmap files (see CommandLine.h).
#include <iostream>
#include <string>
#include <vector>

#include "converter/Bmconv.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return vexaro::converter::RunBmconv(args, std::cout, std::cerr);
}
