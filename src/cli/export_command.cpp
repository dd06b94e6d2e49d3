#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <ostream>

#include "cli/cli_app.h"
#include "cli/export_summary.h"
#include "cli/progress_bar.h"
#include "cli/record_selection.h"
#include "cli/scan_runner.h"
#include "core/export/export_folder.h"
#include "core/export/html_report.h"
#include "core/export/record_export.h"

namespace marlowen::cli {
namespace {

struct ExportOptions {
    ScanChoice scan;
    std::string to;
    bool deletedOnly = false;
    bool json = false;
    std::string formats = "text,vcard";
};

}  // namespace

void addExportCommand(CLI::App& app, CliContext& ctx) {
    auto opts = std::make_shared<ExportOptions>();
    auto* cmd = app.add_subcommand(
        "export",
        "Scan one backup folder and export its records as text files, vCards, CSV "
        "tables or an HTML report");
    addScanChoiceOptions(*cmd, opts->scan);
    cmd->add_option("--to", opts->to,
                    "The export folder (made when missing); default: a new folder named after "
                    "the date and time in the current folder");
    cmd->add_option("--format", opts->formats,
                    "The files to write, comma-separated: text, vcard, csv, html (photos and "
                    "videos are copied whatever the formats)")
        ->capture_default_str();
    cmd->add_flag("--deleted-only", opts->deletedOnly, "Export only deleted records");
    cmd->add_flag("--json", opts->json, "Print the summary as one JSON object");
    cmd->callback([opts, &ctx] {
        std::string formatError;
        const std::optional<ExportFormats> formats = parseExportFormats(opts->formats, formatError);
        if (!formats) {
            ctx.err << "marlowen-cli: --format: " << formatError << "\n";
            ctx.exitCode = 2;
            return;
        }
        configureLog(ctx);
        ScanRun run;
        if (!runChosenScan(opts->scan, ctx, run)) return;

        ResultIntake& results = *run.results;
        const int selected = checkRecords(results, opts->deletedOnly);
        results.selectedFilesNum = selected;
        std::error_code ec;
        const std::filesystem::path folder =
            opts->to.empty() ? std::filesystem::current_path(ec) / proposedExportFolderName()
                             : std::filesystem::path(opts->to);

        RecordExport job(results, folder);
        job.setProtectedFolder(run.device->backUpFilePath());
        job.setFormats(*formats);
        job.setReportFacts(reportFactsOf(*run.device));
        ProgressBar bar(ctx.err, ctx.errIsTerminal);
        job.setProgressHandler([&bar, selected](int handled) {
            bar.update(static_cast<int>(int64_t{handled} * 100 / selected));
        });
        const ExportResult result = job.recoverFilesThread();
        bar.finish();

        if (result.firstFailure && result.firstFailure->step == ExportStep::RefusedFolder) {
            ctx.err << "marlowen-cli: " << result.firstError() << "\n";
            ctx.exitCode = 2;
            return;
        }
        if (opts->json) {
            ctx.out << exportSummaryJson(folder, selected, result)
                           .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                    << "\n";
        } else {
            ctx.out << exportSummaryLine(folder, result) << "\n";
            if (!result.ok()) ctx.out << exportNotWrittenLine(result) << "\n";
        }
        if (result.keptAsTemporary > 0)
            ctx.err << "marlowen-cli: " << result.keptAsTemporary
                    << " text file(s) kept as \"TXT.txt\" (or \"TXT <n>.txt\"): the folder "
                       "already held their names\n";
        if (!result.ok()) {
            ctx.err << "marlowen-cli: " << result.failed << " item(s) could not be written:\n";
            for (const ExportFailure& failure : result.failures)
                ctx.err << "  " << failure.text() << "\n";
            ctx.exitCode = 1;
        }
    });
}

}  // namespace marlowen::cli
