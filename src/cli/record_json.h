// JSON objects of the record nodes, keyed by the nodes' field names, as
// `scan --json` and `export --json` print them.
#pragma once

#include <nlohmann/json.hpp>

#include "core/model/record_nodes.h"
#include "core/results/result_intake.h"

namespace marlowen::cli {

nlohmann::json toJson(const ZNContactNode& c);
nlohmann::json toJson(const ZNMessageNode& m);
nlohmann::json toJson(const ZNCallHistoryNode& c);
nlohmann::json toJson(const ZNNoteNode& n);
nlohmann::json toJson(const ZNPhotoAndVideoNode& p);

// {"contacts": [...], "messages": [...], "calls": [...], "notes": [...],
//  "photos": [...], "counts": {...}} of everything the intake lists.
nlohmann::json resultsToJson(const ResultIntake& results);

}  // namespace marlowen::cli
