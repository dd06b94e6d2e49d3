#include <iostream>
#include <string>
#include <vector>

#include "support/fixture_cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return marlowen::fixture::runFixtureCommand(args, std::cout, std::cerr);
}
