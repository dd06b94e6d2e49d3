#include "cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

#include "core/log/log.h"
#include "marlowen_version.h"

namespace marlowen::cli {

int runCli(const std::vector<std::string>& args, CliContext& ctx) {
    CLI::App app{"Recovers contacts, messages, calls and notes from phone backups.",
                 "marlowen-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("marlowen-cli ") + kVersion,
                         "Print the program's version and exit");
    app.add_flag("-v,--verbose", ctx.verbose, "Print the diagnostic log on stderr");
    addDevicesCommand(app, ctx);
    addScanCommand(app, ctx);
    addExportCommand(app, ctx);
    addCarveCommand(app, ctx);
    addFilesCommand(app, ctx);
    addExtractCommand(app, ctx);

    // CLI11 parses in reverse order when handed a vector.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, ctx.out, ctx.err);
    }
    return ctx.exitCode;
}

}  // namespace marlowen::cli

namespace marlowen::cli {

void configureLog(const CliContext& ctx) {
    if (ctx.verbose) {
        std::ostream* err = &ctx.err;
        setLogSink([err](std::string_view line) { *err << line << '\n'; });
    } else {
        setLogSink(nullptr);
    }
}

}  // namespace marlowen::cli
