// Runs marlowen-cli in-process with captured streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace marlowen::cli::testing {

struct CliResult {
    int status;
    std::string out, err;
};

inline CliResult runCapture(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliContext ctx{out, err};
    const int status = runCli(args, ctx);
    return {status, out.str(), err.str()};
}

}  // namespace marlowen::cli::testing
