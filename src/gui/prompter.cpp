#include "gui/prompter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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
                                       const QString& proposedName) {
    QFileDialog dialog(parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(directory);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString DialogPrompter::chooseFolder(QWidget* parent, const QString& directory) {
    return QFileDialog::getExistingDirectory(parent, QString(), directory);
}

bool DialogPrompter::revealFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DialogPrompter::openPage(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace marlowen::gui
