#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "core/log/log.h"

int main(int argc, char** argv) {
    // The log stays quiet unless --verbose asks for it, so normal output stays clean.
    std::vector<std::string> args(argv + 1, argv + argc);
    marlowen::cli::CliContext ctx{std::cout, std::cerr};
    ctx.errIsTerminal = isatty(STDERR_FILENO) != 0;
    return marlowen::cli::runCli(args, ctx);
}
