// The desktop program's own command-line options. --version and --help are
// answered before any window system is touched, so both work without a
// display; the rest is read from the arguments that Qt leaves after taking
// its own (-platform, -style, ...).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>
#include <vector>

namespace marlowen::gui {

struct LaunchOptions {
    bool verbose = false;
    // The folder of backups (or the one backup folder) to list at start, made
    // absolute; "" keeps the default root.
    QString backupRoot;
    // Set when the arguments are wrong; the program prints it and exits 2.
    QString error;
};

// "marlowen <version>" for --version, the usage for -h / --help: written to
// `out`, and the exit status (0) returned. -1 when neither was asked for.
// `args` are the raw arguments without the program's name.
int answerWithoutDisplay(const std::vector<std::string>& args, std::FILE* out);

// The usage text of the desktop program.
QString launchUsage();

// Reads the arguments without the program's name.
LaunchOptions parseLaunchOptions(const QStringList& args);

}  // namespace marlowen::gui
