#include "cli/scan_runner.h"

#include "cli/progress_bar.h"
#include "core/discovery/device_controller.h"

namespace marlowen::cli {

ScanRun runScan(const std::string& backupDir, ScanSequence sequence, DeletedRecordSearch search,
                CliContext& ctx) {
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
    run.nc = std::make_unique<NotificationCenter>();
    run.results = std::make_unique<ResultIntake>(*run.nc);
    run.results->showView();

    ProgressBar bar(ctx.err, ctx.errIsTerminal);
    run.results->setProgressHandler([&bar](int value) { bar.update(value); });

    ScanController scanner(*run.nc);
    scanner.setFinishTarget([&run] { run.results->ScanThreadFinish(); });
    const ScanTarget target{run.device->backUpFilePath(), run.device->strIOSVersion(),
                            run.device->bEncrypted()};
    scanner.ScanIOSBackFile(target, sequence, search);
    scanner.waitForScan();
    bar.finish();
    run.results->setProgressHandler(nullptr);
    run.error = scanner.lastError();
    return run;
}

}  // namespace marlowen::cli
