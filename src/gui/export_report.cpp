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
    for (ExportCategory category :
         {ExportCategory::PhotoAndVideo, ExportCategory::Contact, ExportCategory::VCard,
          ExportCategory::Message, ExportCategory::Note, ExportCategory::CallHistory}) {
        const int written = result.written.of(category);
        const int failed = result.failedRecords.of(category);
        QString line =
            tr("%1: %2 written").arg(QString::fromUtf8(exportCategoryName(category))).arg(written);
        if (failed > 0) line += tr(", %1 failed").arg(failed);
        lines << line;
    }
    if (result.csvFiles > 0) lines << tr("CSV tables: %1 written").arg(result.csvFiles);
    if (!result.reportFile.empty())
        lines << tr("HTML report: %1")
                     .arg(QString::fromStdString(result.reportFile.filename().string()));
    if (!result.failures.empty()) {
        lines << QString() << tr("Not written:");
        for (const ExportFailure& failure : result.failures)
            lines << QString::fromStdString(failure.text());
    }
    if (!folderOpened)
        lines << QString()
              << tr("The folder could not be opened in a file viewer; it is %1").arg(folder);
    report.details = lines.join(QLatin1Char('\n'));
    return report;
}

}  // namespace marlowen::gui
