#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/cli_app.h"
#include "cli/device_json.h"
#include "cli/record_json.h"
#include "cli/scan_runner.h"

namespace marlowen::cli {
namespace {

const char* mark(bool deleted) {
    return deleted ? "[deleted] " : "          ";
}

// Appends " label: value" for non-empty values; the texts are shown as the
// readers stored them.
void field(std::ostream& out, const char* label, const std::string& value) {
    if (!value.empty()) out << "  " << label << ": " << value;
}

void printListing(std::ostream& out, const ResultIntake& r) {
    out << "Contacts: " << r.contactNum() << " live, " << r.delContactNum() << " deleted\n";
    for (const auto& c : r.contactArray()) {
        out << mark(c->bDeleted()) << (c->contactName().empty() ? "(no name)" : c->contactName());
        field(out, "Phone", c->contactPhone());
        field(out, "Email", c->contactEmail());
        field(out, "Company", c->contactCompany());
        field(out, "JobTitle", c->contactJobtitle());
        field(out, "Home Page", c->contactHomepage());
        field(out, "Address", c->contactAdress());
        field(out, "Birthday", c->contactBirthday());
        field(out, "Note", c->contactNote());
        out << "\n";
    }
    out << "Messages: " << r.messageNum() << " live, " << r.delMessageNum() << " deleted\n";
    for (const auto& m : r.messageArray()) {
        out << mark(m->bDeleted()) << m->messageDate() << "  " << m->messageType();
        field(out, "Phone", m->messagePhone());
        field(out, "Name", m->messageName());
        if (m->bImessage()) out << "  (iMessage)";
        field(out, "Content", m->messageContent());
        out << "\n";
    }
    out << "Call History: " << r.callNum() << " live, " << r.delCallNum() << " deleted\n";
    for (const auto& c : r.callHistoryArray()) {
        out << mark(c->bDeleted()) << c->callDate() << "  " << c->callType() << "  "
            << c->callDuration();
        field(out, "Phone", c->callPhone());
        field(out, "Name", c->callName());
        out << "\n";
    }
    out << "Notes: " << r.noteNum() << " live, " << r.delNoteNum() << " deleted\n";
    for (const auto& n : r.noteArray()) {
        out << mark(n->bDeleted()) << n->noteDate();
        field(out, "Title", n->noteTitle());
        field(out, "Note", n->noteContent());
        out << "\n";
    }
    out << "Photo&Video: " << r.photovideoNum() << "\n";
    for (const auto& p : r.photoAndVideoArray())
        out << mark(false) << p->fileNodeName() << "  " << p->fileNodeSize() << "  "
            << p->filePath() << "\n";
    out << "Total: " << r.BackUpFilesNum() << " live, " << r.deleteeFilesNum() << " deleted\n";
}

struct ScanOptions {
    ScanChoice scan;
    bool json = false;
};

}  // namespace

void addScanCommand(CLI::App& app, CliContext& ctx) {
    auto opts = std::make_shared<ScanOptions>();
    auto* cmd = app.add_subcommand("scan", "Scan one backup folder and list what it holds");
    addScanChoiceOptions(*cmd, opts->scan);
    cmd->add_flag("--json", opts->json, "Print one JSON object");
    cmd->callback([opts, &ctx] {
        configureLog(ctx);
        ScanRun run;
        if (!runChosenScan(opts->scan, ctx, run)) return;
        if (opts->json) {
            nlohmann::json out = resultsToJson(*run.results);
            out["device"] = deviceNodeToJson(*run.device);
            out["problems"] = nlohmann::json::array();
            for (const DatabaseProblem& p : run.problems)
                out["problems"].push_back(
                    {{"category", p.category}, {"database", p.database}, {"reason", p.reason}});
            ctx.out << out.dump(2) << "\n";
        } else {
            ctx.out << "Backup: " << run.device->strDeviceName() << " ("
                    << run.device->strDeviceType() << ", iOS " << run.device->strIOSVersion()
                    << "), " << run.device->backUpFilePath() << "\n";
            printListing(ctx.out, *run.results);
        }
    });
}

}  // namespace marlowen::cli
