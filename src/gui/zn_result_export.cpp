// The export of the checked records: the save dialog, the progress sheet
// with its one-second timer, and the export job on a thread of its own.
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "core/export/export_folder.h"
#include "gui/export_report.h"
#include "gui/prompter.h"
#include "gui/result_view_style.h"
#include "gui/sheet_placement.h"
#include "gui/zn_result_view_controller.h"

namespace marlowen::gui {

void ZNResultViewController::actRecovery() {
    if (isExporting()) return;
    intake_.recovredFilesNum = 0;
    const QString proposed = QString::fromStdString(proposedExportFolderName());
    const QString path =
        prompter_.saveFolderPath(window(), QDir::homePath(), proposed, exportFormats_);
    if (path.isEmpty()) return;
    recoverPath_ = path;
    showSaveWindow();
    saveProgressor_->setValue(0);
    savepercentlab_->setText(percentText(0));
    recoverTimer_.start();

    const std::filesystem::path target = path.toStdString();
    const std::string protectedFolder = backupFolder_;
    recoverThread_ = std::thread(
        [this, target, protectedFolder, formats = exportFormats_, facts = reportFacts_] {
            RecordExport job(intake_, target);
            if (!protectedFolder.empty()) job.setProtectedFolder(protectedFolder);
            job.setFormats(formats);
            job.setReportFacts(facts);
            const ExportResult result = job.recoverFilesThread();
            if (detached_) return;
            QMetaObject::invokeMethod(
                this, [this, result] { saveProgressorHanderToMainThreadHandle(result); },
                Qt::QueuedConnection);
        });
}

void ZNResultViewController::showSaveWindow() {
    if (!saveWindow_) {
        saveWindow_ = new QDialog(window());
        saveWindow_->setObjectName(QStringLiteral("saveWindow"));
        saveWindow_->setWindowTitle(tr("Recovering"));
        auto* l = new QVBoxLayout(saveWindow_);
        auto* title = new QLabel(tr("Recovering the checked files, please wait..."));
        title->setFont(lucida(12));
        l->addWidget(title);
        auto* row = new QHBoxLayout;
        saveProgressor_ = new QProgressBar;
        saveProgressor_->setObjectName(QStringLiteral("saveProgressor"));
        saveProgressor_->setRange(0, 100);
        saveProgressor_->setTextVisible(false);
        savepercentlab_ = new QLabel;
        savepercentlab_->setObjectName(QStringLiteral("savepercentlab"));
        savepercentlab_->setMinimumWidth(40);
        row->addWidget(saveProgressor_, 1);
        row->addWidget(savepercentlab_);
        l->addLayout(row);
        saveWindow_->setFixedSize(420, 100);
        saveWindow_->setWindowModality(Qt::WindowModal);
        keepSheetPlaced(saveWindow_, window());
    }
    placeSheet(saveWindow_, window());
    saveWindow_->open();
}

void ZNResultViewController::recoverTimerFired() {
    const int selected = intake_.selectedFilesNum.load();
    const int done = intake_.recovredFilesNum.load();
    const int percent =
        selected > 0
            ? static_cast<int>(static_cast<float>(done) * 100.0f / static_cast<float>(selected))
            : 0;
    saveProgressor_->setValue(std::clamp(percent, 0, 100));
    savepercentlab_->setText(percentText(percent));
}

void ZNResultViewController::saveProgressorHanderToMainThreadHandle(const ExportResult& result) {
    if (recoverThread_.joinable()) recoverThread_.join();
    recoverTimer_.stop();
    if (saveWindow_) saveWindow_->close();
    saveProgressor_->setValue(0);
    savepercentlab_->setText(percentText(0));
    intake_.recovredFilesNum = 0;
    const bool opened = prompter_.revealFolder(recoverPath_);
    const ExportReport report = exportReport(result, opened, recoverPath_);
    prompter_.alert(window(), report.message, tr("Ok"), QString(), report.details);
    emit exportEnded(result.failed);
}

}  // namespace marlowen::gui
