#include <QApplication>

#include "core/discovery/backup_root.h"
#include "gui/prompter.h"
#include "gui/quillon_app_delegate.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlowen"));
    marlowen::gui::DialogPrompter prompter;
    marlowen::gui::QuillonAppDelegate controller(prompter, marlowen::defaultBackupRoot());
    controller.applicationDidFinishLaunching();
    return QApplication::exec();
}
