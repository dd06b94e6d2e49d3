#include "cli/backup_password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <ostream>

#include "core/backup/plist_file.h"

namespace marlowen::cli {
namespace {

// The terminal state a running prompt changed, for restoreTerminalEcho().
std::mutex gTerminalMutex;
int gTerminalFd = -1;
termios gSavedTerminal{};

// Reads one line from the terminal with echo off; nullopt without one.
std::optional<std::string> promptOnTerminal(CliContext& ctx) {
    if (ctx.promptPassword) return ctx.promptPassword();
    if (!ctx.inIsTerminal) return std::nullopt;
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    {
        std::lock_guard<std::mutex> lock(gTerminalMutex);
        gTerminalFd = fd;
        gSavedTerminal = saved;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    const char prompt[] = "Backup password: ";
    (void)!::write(fd, prompt, sizeof prompt - 1);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    std::string line;
    char c;
    bool gotLine = false;
    while (::read(fd, &c, 1) == 1) {
        if (c == '\n') {
            gotLine = true;
            break;
        }
        line += c;
    }
    restoreTerminalEcho();
    ::close(fd);
    if (!gotLine && line.empty()) return std::nullopt;
    return line;
}

// The first line of the file, without its line end.
std::optional<std::string> firstLineOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (in.bad()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool manifestSaysEncrypted(const std::string& backupDir) {
    const PlistFile manifest = readPlistFile(backupDir + "/Manifest.plist");
    return manifest.status == PlistFileStatus::Ok &&
           manifest.document.root().boolean("IsEncrypted");
}

}  // namespace

void restoreTerminalEcho() {
    std::lock_guard<std::mutex> lock(gTerminalMutex);
    if (gTerminalFd >= 0) ::tcsetattr(gTerminalFd, TCSAFLUSH, &gSavedTerminal);
    gTerminalFd = -1;
}

void addPasswordOption(CLI::App& cmd, PasswordChoice& choice) {
    cmd.add_option("--password-file", choice.passwordFile,
                   std::string("The password of an encrypted backup, as the first line of FILE "
                               "(else $") +
                       kPasswordEnvironmentVariable + ", else a prompt on the terminal)");
}

std::shared_ptr<const BackupKeys> unlockForCli(const std::string& backupDir,
                                               const PasswordChoice& choice, CliContext& ctx) {
    // Missing parts are told before a password is asked for.
    const UnlockStatus parts = checkEncryptedBackupParts(backupDir);
    if (parts != UnlockStatus::Ok) {
        ctx.err << "marlowen-cli: " << unlockStatusMessage(parts) << "\n";
        ctx.exitCode = kExitLocked;
        return nullptr;
    }
    std::optional<std::string> password;
    if (!choice.passwordFile.empty()) {
        password = firstLineOf(choice.passwordFile);
        if (!password) {
            ctx.err << "marlowen-cli: cannot read the password file " << choice.passwordFile
                    << "\n";
            ctx.exitCode = 1;
            return nullptr;
        }
    } else if (const char* env = std::getenv(kPasswordEnvironmentVariable)) {
        password = env;
    } else {
        password = promptOnTerminal(ctx);
    }
    if (!password) {
        ctx.err << "marlowen-cli: This backup is encrypted: give its password with "
                   "--password-file FILE or "
                << kPasswordEnvironmentVariable << ".\n";
        ctx.exitCode = 1;
        return nullptr;
    }
    if (ctx.errIsTerminal) ctx.err << "Deriving the backup key (this takes a few seconds)...\n";
    UnlockResult unlocked = unlockBackup(backupDir, *password);
    password->assign(password->size(), '\0');
    if (unlocked.status != UnlockStatus::Ok) {
        ctx.err << unlockStatusMessage(unlocked.status) << "\n";
        ctx.exitCode = kExitLocked;
        return nullptr;
    }
    return unlocked.keys;
}

std::unique_ptr<BackupArchive> openBackupForCli(const std::string& backupDir,
                                                const PasswordChoice& choice, CliContext& ctx) {
    std::shared_ptr<const BackupKeys> keys;
    if (manifestSaysEncrypted(backupDir)) {
        keys = unlockForCli(backupDir, choice, ctx);
        if (!keys) return nullptr;
    }
    BackupArchive::Opened opened = BackupArchive::open(backupDir, keys);
    switch (opened.status) {
        case ArchiveOpenStatus::Ok:
            return std::move(opened.archive);
        case ArchiveOpenStatus::NotAFolder:
            ctx.err << "marlowen-cli: Not a backup folder: " << backupDir << "\n";
            ctx.exitCode = 2;
            return nullptr;
        case ArchiveOpenStatus::NeedsPassword:
        case ArchiveOpenStatus::IndexUnreadable:
        case ArchiveOpenStatus::BadIndex:
            break;
    }
    ctx.err << "marlowen-cli: The file index of this backup cannot be read.\n";
    ctx.exitCode = kExitLocked;
    return nullptr;
}

}  // namespace marlowen::cli
