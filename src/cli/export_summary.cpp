#include "cli/export_summary.h"

namespace marlowen::cli {
namespace {

std::string countsText(const ExportCounts& c) {
    return "Photo&Video " + std::to_string(c.photoAndVideo) + ", Contacts " +
           std::to_string(c.contact) + " (vCards " + std::to_string(c.vCard) + "), Messages " +
           std::to_string(c.message) + ", Notes " + std::to_string(c.note) + ", Call History " +
           std::to_string(c.callHistory);
}

nlohmann::json countsJson(const ExportCounts& c) {
    return {{"photoAndVideo", c.photoAndVideo},
            {"contact", c.contact},
            {"vCard", c.vCard},
            {"message", c.message},
            {"note", c.note},
            {"callHistory", c.callHistory}};
}

}  // namespace

std::string exportSummaryLine(const std::filesystem::path& folder, const ExportResult& r) {
    std::string line = "Exported to \"" + folder.string() + "\": " + countsText(r.written);
    if (r.csvFiles > 0) line += "; CSV tables " + std::to_string(r.csvFiles);
    if (!r.reportFile.empty()) line += "; HTML report " + r.reportFile.filename().string();
    return line + "; failed " + std::to_string(r.failed);
}

std::string exportNotWrittenLine(const ExportResult& r) {
    return "Not written: " + countsText(r.failedRecords);
}

nlohmann::json exportSummaryJson(const std::filesystem::path& folder, int selected,
                                 const ExportResult& r) {
    nlohmann::json out;
    out["exportFolder"] = folder.string();
    out["selected"] = selected;
    out["written"] = countsJson(r.written);
    out["notWritten"] = countsJson(r.failedRecords);
    out["failed"] = r.failed;
    out["keptAsTemporary"] = r.keptAsTemporary;
    out["csvFiles"] = r.csvFiles;
    out["report"] = r.reportFile.empty() ? nlohmann::json() : nlohmann::json(r.reportFile.string());
    out["failures"] = nlohmann::json::array();
    for (const ExportFailure& f : r.failures)
        out["failures"].push_back({{"category", exportCategoryName(f.category)},
                                   {"path", f.path.string()},
                                   {"text", f.text()}});
    out["firstError"] = r.firstFailure ? nlohmann::json(r.firstError()) : nlohmann::json();
    return out;
}

}  // namespace marlowen::cli
