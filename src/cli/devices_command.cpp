#include <CLI/CLI.hpp>

#include "cli/cli_app.h"

namespace marlowen::cli {

void addDevicesCommand(CLI::App& app, CliContext& ctx) {
    auto* cmd = app.add_subcommand("devices", "List the backups found on this machine");
    cmd->callback([&ctx] { configureLog(ctx); });
}

}  // namespace marlowen::cli
