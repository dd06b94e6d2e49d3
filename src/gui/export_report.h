// The message shown when an export ends: what was written and what failed,
// per category, every failed file by name, and where the folder is when no
// file viewer could show it.
#pragma once

#include <QString>

#include "core/export/record_export.h"

namespace marlowen::gui {

struct ExportReport {
    QString message;  // one sentence
    QString details;  // one line per category, then the failures
};

ExportReport exportReport(const ExportResult& result, bool folderOpened, const QString& folder);

}  // namespace marlowen::gui
