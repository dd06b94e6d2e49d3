#include <CLI/CLI.hpp>

#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "cli/backup_root_option.h"
#include "cli/cli_app.h"
#include "cli/device_json.h"
#include "cli/device_table.h"
#include "core/discovery/backup_enumeration.h"
#include "core/discovery/no_backup_alert.h"

namespace marlowen::cli {
namespace {

struct DevicesOptions {
    std::string root;
    bool json = false;
};

void runDevices(const DevicesOptions& options, CliContext& ctx) {
    configureLog(ctx);
    const std::string root = resolveBackupRoot(options.root);
    ZNIOSDeviceController controller;
    if (showIphoneDisk(controller, root).listEmpty) {
        ctx.err << kNoBackupAlertMessage << '\n'
                << kNoBackupAlertInformativeText << '\n'
                << "Backup folder: " << root << '\n';
        ctx.exitCode = 1;
        return;
    }
    if (options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const DeviceNodePtr& node : controller.content())
            list.push_back(deviceNodeToJson(*node));
        ctx.out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        writeDeviceTable(ctx.out, controller.content());
    }
    ctx.exitCode = 0;
}

}  // namespace

void addDevicesCommand(CLI::App& app, CliContext& ctx) {
    auto options = std::make_shared<DevicesOptions>();
    auto* cmd = app.add_subcommand("devices", "List the backups found on this machine");
    cmd->add_option("--root", options->root,
                    "Folder that holds the backup folders (default: $MARLOWEN_BACKUP_ROOT, else "
                    "the current user's backup folder)");
    cmd->add_flag("--json", options->json, "Print a JSON array instead of a table");
    cmd->callback([options, &ctx] { runDevices(*options, ctx); });
}

}  // namespace marlowen::cli
