#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/discovery/backup_root.h"
#include "core/log/log.h"
#include "core/log/log_file.h"
#include "gui/launch_options.h"
#include "gui/prompter.h"
#include "gui/quillon_app_delegate.h"
#include "gui/resources.h"
#include "marlowen_version.h"

namespace {

// An older log past this size is kept once as "<name>.1" and a new one begun.
constexpr std::uintmax_t kLogFileLimit = 2 * 1024 * 1024;

// The diagnostic log goes to a file in the user's cache folder, and to
// stderr as well with --verbose (-v) or MARLOWEN_LOG=1. Answers the file's
// path, or "" when no file could be opened.
std::filesystem::path routeLog(bool verboseOption) {
    const bool verbose = verboseOption || qgetenv("MARLOWEN_LOG") == "1";
    std::vector<marlowen::LogSink> sinks;
    std::filesystem::path path = marlowen::defaultLogFilePath();
    if (!path.empty()) {
        std::error_code ec;
        if (std::filesystem::file_size(path, ec) > kLogFileLimit && !ec)
            std::filesystem::rename(path, path.string() + ".1", ec);
        marlowen::LogSink file = marlowen::fileLogSink(path, ec);
        if (file) {
            sinks.push_back(std::move(file));
        } else {
            std::fprintf(stderr, "marlowen: cannot write the log file %s: %s\n", path.c_str(),
                         ec.message().c_str());
            path.clear();
        }
    }
    if (verbose) sinks.push_back(marlowen::logToStderr);
    marlowen::setLogSink(marlowen::teeLogSinks(std::move(sinks)));
    return path;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int answered = marlowen::gui::answerWithoutDisplay(
        std::vector<std::string>(argv + 1, argv + argc), stdout);
    if (answered >= 0) return answered;
    // The GStreamer backend of the movie preview fails hard where its plugins
    // are missing; the ffmpeg backend needs nothing else.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlowen"));
    QApplication::setApplicationVersion(QString::fromLatin1(marlowen::kVersion));
    // The installed theme icon when there is one, else the built-in copy; the
    // desktop entry's name ties the windows to the installed entry.
    marlowen::gui::initResources();
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.marlowen.Marlowen"),
                                                 QIcon(QStringLiteral(":/icons/marlowen.png"))));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.marlowen.Marlowen"));
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const marlowen::gui::LaunchOptions options = marlowen::gui::parseLaunchOptions(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", options.error.toLocal8Bit().constData());
        return 2;
    }
    const std::filesystem::path logFile = routeLog(options.verbose);
    marlowen::gui::DialogPrompter prompter;
    marlowen::gui::QuillonAppDelegate controller(prompter, options.backupRoot.isEmpty()
                                                               ? marlowen::defaultBackupRoot()
                                                               : options.backupRoot.toStdString());
    controller.setLogFilePath(QString::fromStdString(logFile.string()));
    controller.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    marlowen::setLogSink(nullptr);
    return status;
}
