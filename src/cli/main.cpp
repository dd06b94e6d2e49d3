#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/backup_password.h"
#include "cli/cli_app.h"
#include "core/backup/working_folder.h"
#include "core/log/log.h"

namespace {

// Ctrl-C, a closed terminal or a kill must not leave decrypted copies in
// the working folder. The signals are blocked in every thread and taken by
// one thread of their own, which may then do what no signal handler may:
// remove the folders, put the terminal's echo back and exit.
void handleStopSignalsOnAThread() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([stops] {
        int signal = 0;
        if (sigwait(&stops, &signal) != 0) return;
        marlowen::cli::restoreTerminalEcho();
        marlowen::removeAllWorkingFolders();
        _exit(128 + signal);
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    handleStopSignalsOnAThread();
    // The log stays quiet unless --verbose asks for it, so normal output stays clean.
    std::vector<std::string> args(argv + 1, argv + argc);
    marlowen::cli::CliContext ctx{std::cout, std::cerr};
    ctx.errIsTerminal = isatty(STDERR_FILENO) != 0;
    ctx.inIsTerminal = isatty(STDIN_FILENO) != 0;
    return marlowen::cli::runCli(args, ctx);
}
