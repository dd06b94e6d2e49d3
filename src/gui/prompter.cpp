#include "gui/prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

namespace marlowen::gui {

bool DialogPrompter::alert(QWidget* parent, const QString& message, const QString& defaultButton,
                           const QString& alternateButton, const QString& informativeText) {
    QMessageBox box(parent);
    box.setWindowModality(Qt::WindowModal);
    box.setText(message);
    box.setInformativeText(informativeText);
    QPushButton* ok = box.addButton(defaultButton, QMessageBox::AcceptRole);
    if (!alternateButton.isEmpty()) box.addButton(alternateButton, QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok;
}

QString DialogPrompter::saveFolderPath(QWidget* parent, const QString& directory,
                                       const QString& proposedName, ExportFormats& formats) {
    QFileDialog dialog(parent);
    // Qt's own dialog: a platform dialog has no room for the check boxes.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(directory);
    dialog.selectFile(proposedName);

    auto* accessory = new QGroupBox(QFileDialog::tr("Export as"));
    accessory->setObjectName(QStringLiteral("exportFormats"));
    auto* row = new QHBoxLayout(accessory);
    struct Choice {
        const char* name;
        QString text;
        bool ExportFormats::*flag;
    };
    const Choice choices[] = {
        {"formatText", QFileDialog::tr("&Text files"), &ExportFormats::text},
        {"formatVCard", QFileDialog::tr("&vCards"), &ExportFormats::vCard},
        {"formatCsv", QFileDialog::tr("&CSV tables"), &ExportFormats::csv},
        {"formatHtml", QFileDialog::tr("&HTML report"), &ExportFormats::html},
    };
    std::vector<std::pair<QCheckBox*, bool ExportFormats::*>> boxes;
    for (const Choice& choice : choices) {
        auto* box = new QCheckBox(choice.text);
        box->setObjectName(QLatin1String(choice.name));
        box->setChecked(formats.*choice.flag);
        row->addWidget(box);
        boxes.emplace_back(box, choice.flag);
    }
    row->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
    else if (dialog.layout())
        dialog.layout()->addWidget(accessory);

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    for (const auto& [box, flag] : boxes) formats.*flag = box->isChecked();
    return dialog.selectedFiles().constFirst();
}

QString DialogPrompter::chooseFolder(QWidget* parent, const QString& directory) {
    return QFileDialog::getExistingDirectory(parent, QString(), directory);
}

bool DialogPrompter::revealFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DialogPrompter::openPage(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

}  // namespace marlowen::gui
