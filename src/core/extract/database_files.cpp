#include "core/extract/database_files.h"

#include "core/backup/backup_archive.h"

namespace marlowen {

std::string DatabaseName::fileID() const {
    return backupFileID(domain, relativePath);
}

std::optional<PreparedDatabase> ReaderContext::database(const std::string& backupPath,
                                                        const DatabaseName& name,
                                                        const DatabaseName* alternative) const {
    if (backupPath.empty()) return std::nullopt;
    if (findDatabase) {
        if (auto found = findDatabase(name)) return found;
        if (alternative) return findDatabase(*alternative);
        return std::nullopt;
    }
    const BackupArchive::Opened opened = BackupArchive::open(backupPath);
    if (opened.status != ArchiveOpenStatus::Ok) return std::nullopt;
    auto file = opened.archive->find(name.domain, name.relativePath);
    if (!file && alternative)
        file = opened.archive->find(alternative->domain, alternative->relativePath);
    if (!file) return std::nullopt;
    return prepare(file->storedPath);
}

SqliteConnection openDatabase(const PreparedDatabase& db) {
    return openSqliteFile(db.path, db.isWorkingCopy ? SqliteOpen::WorkingCopy
                                                    : SqliteOpen::ReadOnlyImmutable);
}

}  // namespace marlowen
