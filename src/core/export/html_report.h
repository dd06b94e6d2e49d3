// The HTML report of an export: one self-contained file (no script, no
// external resource; pictures are inline data: URIs) with the device's
// facts, the count of checked and of deleted records per category, and one
// table per category in list order. Deleted rows carry class "deleted" and
// the text "yes" in their "Deleted" cell, so they stay marked without
// colours. Contact pictures and JPEG photos appear as thumbnails of at most
// kReportThumbnailSide pixels; other files by name only.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/export/record_export.h"

namespace marlowen {

class ZNIOSDeviceNode;

inline constexpr const char* kReportFile = "Report.html";
inline constexpr int kReportThumbnailSide = 96;

// One labelled fact of the device, shown at the top ("Device name", ...).
using ReportFact = std::pair<std::string, std::string>;

// The facts a report shows for `device`, those that are known.
std::vector<ReportFact> reportFactsOf(const ZNIOSDeviceNode& device);

// `text` with &, <, >, " and ' as character references.
std::string htmlEscape(const std::string& text);

// The report of the checked records of `lists`.
std::string htmlReport(const ExportLists& lists, const std::vector<ReportFact>& device);

}  // namespace marlowen
