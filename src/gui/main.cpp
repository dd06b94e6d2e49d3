#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/discovery/backup_root.h"
#include "core/log/log.h"
#include "core/log/log_file.h"
#include "gui/prompter.h"
#include "gui/quillon_app_delegate.h"

namespace {

// An older log past this size is kept once as "<name>.1" and a new one begun.
constexpr std::uintmax_t kLogFileLimit = 2 * 1024 * 1024;

// The diagnostic log goes to a file in the user's cache folder, and to
// stderr as well with --verbose (-v) or MARLOWEN_LOG=1. Answers the file's
// path, or "" when no file could be opened.
std::filesystem::path routeLog(const QStringList& arguments) {
    const bool verbose = arguments.contains(QStringLiteral("--verbose")) ||
                         arguments.contains(QStringLiteral("-v")) || qgetenv("MARLOWEN_LOG") == "1";
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
    // The GStreamer backend of the movie preview fails hard where its plugins
    // are missing; the ffmpeg backend needs nothing else.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlowen"));
    const std::filesystem::path logFile = routeLog(QApplication::arguments());
    marlowen::gui::DialogPrompter prompter;
    marlowen::gui::QuillonAppDelegate controller(prompter, marlowen::defaultBackupRoot());
    controller.setLogFilePath(QString::fromStdString(logFile.string()));
    controller.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    marlowen::setLogSink(nullptr);
    return status;
}
