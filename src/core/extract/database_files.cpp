#include "core/extract/database_files.h"

#include <cctype>
#include <unordered_set>

#include "core/backup/backup_archive.h"
#include "core/log/log.h"

namespace marlowen {

std::string DatabaseName::fileID() const {
    return backupFileID(domain, relativePath);
}

std::optional<PreparedDatabase> ReaderContext::database(const std::string& backupPath,
                                                        const DatabaseName& name,
                                                        const DatabaseName* alternative) const {
    if (backupPath.empty()) return std::nullopt;
    auto named = [](std::optional<PreparedDatabase> found, const DatabaseName& as) {
        if (found) found->relativePath = as.relativePath;
        return found;
    };
    if (findDatabase) {
        if (auto found = findDatabase(name)) return named(std::move(found), name);
        if (alternative) return named(findDatabase(*alternative), *alternative);
        return std::nullopt;
    }
    const BackupArchive::Opened opened = BackupArchive::open(backupPath);
    if (opened.status != ArchiveOpenStatus::Ok) return std::nullopt;
    const DatabaseName* used = &name;
    auto file = opened.archive->find(name.domain, name.relativePath);
    if (!file && alternative) {
        used = alternative;
        file = opened.archive->find(alternative->domain, alternative->relativePath);
    }
    if (!file) return std::nullopt;
    return named(prepare(file->storedPath), *used);
}

std::optional<PreparedDatabase> ReaderContext::databaseOrLog(const std::string& backupPath,
                                                             const DatabaseName& name,
                                                             const DatabaseName* alternative,
                                                             const char* missingLine) const {
    if (backupPath.empty()) return std::nullopt;
    auto found = database(backupPath, name, alternative);
    if (!found) logLine(missingLine);
    return found;
}

ReaderContext::Stores ReaderContext::storesOrLog(const std::string& backupPath,
                                                 const DatabaseName& older,
                                                 const DatabaseName* olderAlternative,
                                                 const DatabaseName& newer,
                                                 const char* missingLine) const {
    if (backupPath.empty()) return {};
    Stores found{database(backupPath, older, olderAlternative), database(backupPath, newer)};
    if (!found.older && !found.newer) logLine(missingLine);
    return found;
}

std::string foundInText(std::string_view path, std::string_view search) {
    const std::size_t slash = path.rfind('/');
    std::string text(slash == std::string_view::npos ? path : path.substr(slash + 1));
    if (text.empty()) text = "database";
    return text + ", " + std::string(search);
}

SqliteConnection openDatabase(const PreparedDatabase& db) {
    return openSqliteFile(
        db.path, db.isWorkingCopy ? SqliteOpen::WorkingCopy : SqliteOpen::ReadOnlyImmutable);
}

std::optional<std::string> selectExisting(sqlite3* db, const std::string& table,
                                          std::span<const char* const> columns,
                                          const std::string& rest) {
    if (!db) return std::nullopt;
    // Table and column names come from our own constants and the file's
    // schema; they are quoted all the same.
    auto quoted = [](std::string_view name) {
        std::string out = "\"";
        for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    std::unordered_set<std::string> present;
    {
        SqliteStatement info(db, ("pragma table_info(" + quoted(table) + ")").c_str());
        while (info && sqlite3_step(info.get()) == SQLITE_ROW) {
            std::string name = columnText(info.get(), 1) ? columnText(info.get(), 1) : "";
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            present.insert(name);
        }
    }
    if (present.empty()) return std::nullopt;
    std::string sql = "select ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ",";
        std::string chosen;
        if (columns[i][0] == '=') chosen = columns[i] + 1;
        for (std::string_view names(columns[i]); chosen.empty();) {
            const size_t bar = names.find('|');
            std::string name(names.substr(0, bar));
            std::string upper = name;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (present.count(upper)) chosen = quoted(table) + "." + quoted(name);
            if (bar == std::string_view::npos) break;
            names.remove_prefix(bar + 1);
        }
        sql += chosen.empty() ? "NULL" : chosen;
    }
    sql += " from " + quoted(table);
    if (!rest.empty()) sql += " " + rest;
    return sql;
}

}  // namespace marlowen
