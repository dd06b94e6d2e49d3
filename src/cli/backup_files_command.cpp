// `marlowen-cli files BACKUP [--domain D] [--json]`: the backup's file
// index (domain, relative path, size, fileID, protection class), and
// `marlowen-cli extract BACKUP DOMAIN RELATIVE_PATH --to FILE`: one file's
// plain content, decrypted when the backup is encrypted. Both only read the
// backup; extract refuses a target inside it.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/backup_password.h"
#include "cli/cli_app.h"
#include "core/export/export_folder.h"

namespace marlowen::cli {
namespace {
namespace fs = std::filesystem;

struct FilesOptions {
    std::string backupDir;
    std::string domain;
    bool json = false;
    PasswordChoice password;
};

struct ExtractOptions {
    std::string backupDir;
    std::string domain;
    std::string relativePath;
    std::string to;
    PasswordChoice password;
};

const char* kindOf(std::uint32_t flags) {
    if (flags & kBackupEntryFolder) return "folder";
    if (flags & kBackupEntryLink) return "link";
    return "file";
}

// Control characters of hostile paths are not sent to the terminal as they are.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    return out;
}

void runFiles(const FilesOptions& opts, CliContext& ctx) {
    const std::unique_ptr<BackupArchive> archive =
        openBackupForCli(opts.backupDir, opts.password, ctx);
    if (!archive) return;
    if (archive->layout() == BackupLayout::Flat) {
        ctx.err << "marlowen-cli: this backup has no file index (Manifest.db or Manifest.mbdb); "
                   "its files are known by their fileIDs only\n";
    } else if (!archive->indexComplete()) {
        ctx.err << "marlowen-cli: the file index ends early; the entries before that are listed\n";
    }
    nlohmann::json list = nlohmann::json::array();
    for (const BackupEntry& listed : archive->entries()) {
        if (!opts.domain.empty() && listed.domain != opts.domain) continue;
        const BackupEntry e = archive->withFacts(listed);
        if (opts.json) {
            list.push_back({{"domain", e.domain},
                            {"relativePath", e.relativePath},
                            {"kind", kindOf(e.flags)},
                            {"size", e.size},
                            {"fileID", e.fileID},
                            {"protectionClass", e.protectionClass}});
        } else {
            ctx.out << printable(e.domain) << "\t" << printable(e.relativePath) << "\t"
                    << kindOf(e.flags) << "\t" << e.size << "\t" << e.fileID << "\t"
                    << e.protectionClass << "\n";
        }
    }
    if (opts.json)
        ctx.out << nlohmann::json{{"layout", layoutName(archive->layout())},
                                  {"encrypted", archive->encrypted()},
                                  {"files", list}}
                       .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                << "\n";
}

void runExtract(const ExtractOptions& opts, CliContext& ctx) {
    std::error_code ec;
    if (isSameOrInside(opts.to, opts.backupDir)) {
        ctx.err << "marlowen-cli: Will not write " << opts.to
                << ": it is inside the backup folder\n";
        ctx.exitCode = 1;
        return;
    }
    const std::unique_ptr<BackupArchive> archive =
        openBackupForCli(opts.backupDir, opts.password, ctx);
    if (!archive) return;
    const auto file = archive->find(opts.domain, opts.relativePath);
    if (!file) {
        ctx.err << "marlowen-cli: this backup holds no file " << printable(opts.relativePath)
                << " in " << printable(opts.domain) << "\n";
        ctx.exitCode = 1;
        return;
    }
    // Written beside the target and renamed into place, so a failed write
    // never leaves half a file under the target's name.
    const fs::path target(opts.to);
    const fs::path part = target.string() + ".part-" + std::to_string(::getpid());
    const CopyOutStatus status = archive->copyOut(*file, part);
    if (status != CopyOutStatus::Ok && status != CopyOutStatus::ShorterThanSize) {
        fs::remove(part, ec);
        ctx.err << "marlowen-cli: " << copyOutMessage(status, *file) << "\n";
        ctx.exitCode = 1;
        return;
    }
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        ctx.err << "marlowen-cli: cannot write " << opts.to << "\n";
        ctx.exitCode = 1;
        return;
    }
    if (status == CopyOutStatus::ShorterThanSize) {
        ctx.err << "marlowen-cli: " << copyOutMessage(status, *file) << "\n";
        ctx.exitCode = 1;
        return;
    }
    ctx.out << "Wrote " << opts.to << "\n";
}

}  // namespace

void addFilesCommand(CLI::App& app, CliContext& ctx) {
    auto opts = std::make_shared<FilesOptions>();
    auto* cmd = app.add_subcommand("files", "List the file index of one backup folder");
    cmd->add_option("BACKUP_DIR", opts->backupDir, "The backup folder")->required();
    cmd->add_option("--domain", opts->domain, "Only the files of this domain");
    cmd->add_flag("--json", opts->json, "Print one JSON object");
    addPasswordOption(*cmd, opts->password);
    cmd->callback([opts, &ctx] {
        configureLog(ctx);
        runFiles(*opts, ctx);
    });
}

void addExtractCommand(CLI::App& app, CliContext& ctx) {
    auto opts = std::make_shared<ExtractOptions>();
    auto* cmd = app.add_subcommand(
        "extract", "Write one file of a backup, decrypted when the backup is encrypted");
    cmd->add_option("BACKUP_DIR", opts->backupDir, "The backup folder")->required();
    cmd->add_option("DOMAIN", opts->domain, "The file's domain, e.g. HomeDomain")->required();
    cmd->add_option("RELATIVE_PATH", opts->relativePath, "The file's path in its domain")
        ->required();
    cmd->add_option("--to", opts->to, "The file to write (not inside the backup)")->required();
    addPasswordOption(*cmd, opts->password);
    cmd->callback([opts, &ctx] {
        configureLog(ctx);
        runExtract(*opts, ctx);
    });
}

}  // namespace marlowen::cli
