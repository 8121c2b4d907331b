#include "app/cli.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return bryndle::runCli(arguments, std::cout, std::cerr);
}
