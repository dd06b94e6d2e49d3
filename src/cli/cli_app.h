// marlowen-cli: the command-line program over the core. Each verb is one
// small function that registers its options on the application and runs
// with injectable output streams, so tests capture what it prints.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace marlowen::cli {

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    // True when err is an interactive terminal (progress bars are drawn only then).
    bool errIsTerminal = false;
    // True when standard input is a terminal (a password may be asked there).
    bool inIsTerminal = false;
    // Asks for a backup password in place of the terminal prompt (tests).
    std::function<std::optional<std::string>()> promptPassword;
    bool verbose = false;
    int exitCode = 0;
};

// Runs the program with the given arguments (without the program name) and
// returns its exit status.
int runCli(const std::vector<std::string>& args, CliContext& ctx);

// One registration function per verb.
void addDevicesCommand(CLI::App& app, CliContext& ctx);
void addScanCommand(CLI::App& app, CliContext& ctx);
void addExportCommand(CLI::App& app, CliContext& ctx);
void addCarveCommand(CLI::App& app, CliContext& ctx);
void addFilesCommand(CLI::App& app, CliContext& ctx);
void addExtractCommand(CLI::App& app, CliContext& ctx);

}  // namespace marlowen::cli

namespace marlowen::cli {
// Sends the core's log to ctx.err with --verbose and drops it otherwise.
// Every verb calls it before it touches the core.
void configureLog(const CliContext& ctx);
}  // namespace marlowen::cli
