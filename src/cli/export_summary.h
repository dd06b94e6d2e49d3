// What `marlowen-cli export` prints when the export is done.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "core/export/record_export.h"

namespace marlowen::cli {

// One line: `Exported to "DIR": Photo&Video 1, Contacts 2 (vCards 2),
// Messages 0, Notes 0, Call History 0; failed 0`.
std::string exportSummaryLine(const std::filesystem::path& folder, const ExportResult& result);

// The checked records that are not in the export folder, per category:
// `Not written: Photo&Video 0, Contacts 3 (vCards 3), Messages 0, Notes 0,
// Call History 0`.
std::string exportNotWrittenLine(const ExportResult& result);

// {"exportFolder", "selected", "written" and "notWritten": {"photoAndVideo",
// "contact", "vCard", "message", "note", "callHistory"}, "failed",
// "keptAsTemporary", "failures": [{"category", "path", "text"}],
// "firstError" (null when nothing failed)}. Dump with
// error_handler_t::replace: paths are raw bytes.
nlohmann::json exportSummaryJson(const std::filesystem::path& folder, int selected,
                                 const ExportResult& result);

}  // namespace marlowen::cli
