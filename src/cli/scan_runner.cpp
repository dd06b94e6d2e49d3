#include "cli/scan_runner.h"

#include "cli/progress_bar.h"
#include "core/discovery/device_controller.h"

namespace marlowen::cli {

ScanRun runScan(const std::string& backupDir, ScanSequence sequence, DeletedRecordSearch search,
                CliContext& ctx, const PasswordChoice& password) {
    ScanRun run;
    ZNIOSDeviceController devices;
    devices.addDeviceNodeByPath(backupDir);
    if (devices.content().empty()) {
        run.error = "Not a backup folder: " + backupDir +
                    " (it holds neither a readable \"Info.plist\" nor a \"Manifest.plist\" with "
                    "\"Lockdown\")";
        return run;
    }
    run.device = devices.content().front();
    // Derived once, before the scan thread starts.
    std::shared_ptr<const BackupKeys> keys;
    if (run.device->bEncrypted()) {
        keys = unlockForCli(run.device->backUpFilePath(), password, ctx);
        if (!keys) {
            run.locked = true;
            return run;
        }
    }
    run.session = std::make_unique<ScanSession>();
    run.results = &run.session->intake();

    ProgressBar bar(ctx.err, ctx.errIsTerminal);
    run.results->setProgressHandler([&bar](int value) { bar.update(value); });

    ScanTarget target{run.device->backUpFilePath(), run.device->strIOSVersion(),
                      run.device->bEncrypted()};
    target.keys = std::move(keys);
    run.session->start(target, sequence, search);
    run.session->wait();
    bar.finish();
    run.results->setProgressHandler(nullptr);
    run.error = run.session->lastError();
    run.problems = run.session->databaseProblems();
    return run;
}

void addScanChoiceOptions(CLI::App& cmd, ScanChoice& choice) {
    cmd.add_option("BACKUP_DIR", choice.backupDir, "The backup folder")->required();
    cmd.add_flag("--all", choice.all,
                 "Scan every category (photos, messages, calls, notes), not only contacts");
    auto* deep = cmd.add_flag("--deep", choice.deep,
                              "Search deleted records with the deep scan, by each database's own "
                              "schema (the default)");
    cmd.add_flag("--signatures", choice.signatures,
                 "Search deleted records with the record signatures instead of the deep scan "
                 "(these also list some live contacts as deleted)")
        ->excludes(deep);
    addPasswordOption(cmd, choice.password);
}

bool runChosenScan(const ScanChoice& choice, CliContext& ctx, ScanRun& run) {
    run = runScan(choice.backupDir, choice.all ? ScanSequence::Full : ScanSequence::Contacts,
                  choice.signatures ? DeletedRecordSearch::Signatures : DeletedRecordSearch::Deep,
                  ctx, choice.password);
    if (run.locked) return false;
    for (const DatabaseProblem& p : run.problems)
        ctx.err << p.category << " (" << p.database << "): " << p.reason << "\n";
    if (run.results && run.error.empty()) return true;
    ctx.err << "marlowen-cli: " << run.error << "\n";
    ctx.exitCode = run.results ? 1 : 2;
    return false;
}

}  // namespace marlowen::cli
