#include "cli/OperatorCommands.h"

#include <iostream>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return OperatorCommands::run(args, std::cout, std::cerr);
}
