#include "gui/export_report.h"

#include <QCoreApplication>
#include <QStringList>

namespace marlowen::gui {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("ExportReport", text);
}

}  // namespace

ExportReport exportReport(const ExportResult& result, bool folderOpened, const QString& folder) {
    ExportReport report;
    report.message =
        result.failed == 0
            ? tr("The export is finished.")
            : tr("The export is finished, but %1 files could not be written.").arg(result.failed);
    QStringList lines;
    const ExportCounts& w = result.written;
    lines << tr("Photos and videos: %1 copied").arg(w.photoAndVideo)
          << tr("Contacts: %1 written, %2 vCards").arg(w.contact).arg(w.vCard)
          << tr("Messages: %1 written").arg(w.message) << tr("Notes: %1 written").arg(w.note)
          << tr("Call history: %1 written").arg(w.callHistory);
    if (result.firstFailure) {
        lines << QString() << tr("Not written:")
              << QString::fromStdString(result.firstFailure->text());
    }
    if (!folderOpened)
        lines << QString()
              << tr("The folder could not be opened in a file viewer; it is %1").arg(folder);
    report.details = lines.join(QLatin1Char('\n'));
    return report;
}

}  // namespace marlowen::gui
