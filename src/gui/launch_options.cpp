#include "gui/launch_options.h"

#include <QDir>
#include <QFileInfo>

#include "marlowen_version.h"

namespace marlowen::gui {

QString launchUsage() {
    return QStringLiteral(
        "Usage: marlowen [OPTIONS] [FOLDER]\n"
        "Recovers contacts, messages, calls, notes and photos from phone backups.\n"
        "\n"
        "FOLDER is a folder of backups or one backup folder (default:\n"
        "$MARLOWEN_BACKUP_ROOT, else the sync program's backup folder of the\n"
        "current user).\n"
        "\n"
        "  -v, --verbose  also write the diagnostic log to stderr\n"
        "      --version  print the version and exit\n"
        "  -h, --help     print this help and exit\n");
}

int answerWithoutDisplay(const std::vector<std::string>& args, std::FILE* out) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--version") {
            std::fprintf(out, "marlowen %s\n", kVersion);
            return 0;
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(launchUsage().toLocal8Bit().constData(), out);
            return 0;
        }
    }
    return -1;
}

LaunchOptions parseLaunchOptions(const QStringList& args) {
    LaunchOptions options;
    bool onlyFolders = false;
    QStringList folders;
    for (const QString& arg : args) {
        if (!onlyFolders && arg == QLatin1String("--")) {
            onlyFolders = true;
        } else if (!onlyFolders &&
                   (arg == QLatin1String("-v") || arg == QLatin1String("--verbose"))) {
            options.verbose = true;
        } else if (!onlyFolders && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            options.error =
                QStringLiteral("marlowen: unknown option %1 (see marlowen --help)").arg(arg);
            return options;
        } else {
            folders.append(arg);
        }
    }
    if (folders.size() > 1) {
        options.error = QStringLiteral("marlowen: one folder at most, not %1").arg(folders.size());
        return options;
    }
    if (folders.size() == 1) {
        const QFileInfo folder(folders.front());
        if (!folder.isDir()) {
            options.error = QStringLiteral("marlowen: %1 is not a folder").arg(folders.front());
            return options;
        }
        options.backupRoot = QDir::cleanPath(folder.absoluteFilePath());
    }
    return options;
}

}  // namespace marlowen::gui
