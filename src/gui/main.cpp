#include <QApplication>

#include "core/discovery/backup_root.h"
#include "gui/prompter.h"
#include "gui/quillon_app_delegate.h"

int main(int argc, char* argv[]) {
    // The GStreamer backend of the movie preview fails hard where its plugins
    // are missing; the ffmpeg backend needs nothing else.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlowen"));
    marlowen::gui::DialogPrompter prompter;
    marlowen::gui::QuillonAppDelegate controller(prompter, marlowen::defaultBackupRoot());
    controller.applicationDidFinishLaunching();
    return QApplication::exec();
}
