#include "cli/export_summary.h"

namespace marlowen::cli {

std::string exportSummaryLine(const std::filesystem::path& folder, const ExportResult& r) {
    const ExportCounts& w = r.written;
    return "Exported to \"" + folder.string() + "\": Photo&Video " +
           std::to_string(w.photoAndVideo) + ", Contacts " + std::to_string(w.contact) +
           " (vCards " + std::to_string(w.vCard) + "), Messages " + std::to_string(w.message) +
           ", Notes " + std::to_string(w.note) + ", Call History " + std::to_string(w.callHistory) +
           "; failed " + std::to_string(r.failed);
}

nlohmann::json exportSummaryJson(const std::filesystem::path& folder, int selected,
                                 const ExportResult& r) {
    const ExportCounts& w = r.written;
    nlohmann::json out;
    out["exportFolder"] = folder.string();
    out["selected"] = selected;
    out["written"] = {{"photoAndVideo", w.photoAndVideo},
                      {"contact", w.contact},
                      {"vCard", w.vCard},
                      {"message", w.message},
                      {"note", w.note},
                      {"callHistory", w.callHistory}};
    out["failed"] = r.failed;
    out["keptAsTemporary"] = r.keptAsTemporary;
    out["firstError"] = r.firstFailure ? nlohmann::json(r.firstError()) : nlohmann::json();
    return out;
}

}  // namespace marlowen::cli
