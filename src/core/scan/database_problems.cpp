#include "core/scan/database_problems.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/extract/database_files.h"

namespace marlowen {
namespace {

// The database header is the first 100 bytes of the file.
constexpr std::size_t kHeaderBytes = 100;
constexpr char kHeaderMagic[] = "SQLite format 3";  // and its terminating NUL: 16 bytes

std::uint32_t bigEndian(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

struct FileStart {
    bool readable = false;
    std::uint64_t size = 0;
    std::size_t got = 0;
    std::array<unsigned char, kHeaderBytes> header{};
};

FileStart readFileStart(const std::string& path) {
    FileStart start;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return start;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        start.readable = true;
        start.size = static_cast<std::uint64_t>(st.st_size);
        while (start.got < kHeaderBytes) {
            const ssize_t n = ::read(fd, start.header.data() + start.got, kHeaderBytes - start.got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) start.readable = false;
            if (n <= 0) break;
            start.got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return start;
}

// SQLite itself reads the schema on first use, not at open: a file that is
// no database or whose first pages are damaged fails here.
std::optional<std::string> sqliteReadProblem(const std::string& path) {
    SqliteConnection db = openDatabase(PreparedDatabase{path, false, {}});
    if (!db) return "SQLite cannot open the file.";
    SqliteStatement schema(db.get(), "SELECT count(*) FROM sqlite_master");
    const int rc = schema ? sqlite3_step(schema.get()) : sqlite3_errcode(db.get());
    if (rc == SQLITE_ROW) return std::nullopt;
    return std::string("SQLite cannot read the file: ") + sqlite3_errmsg(db.get()) + ".";
}

}  // namespace

const std::vector<CategoryDatabase>& categoryDatabases() {
    // The second call history is the one in "HomeDomain" of older backups,
    // the second notes database the older "notes.db".
    static const std::vector<CategoryDatabase> list = {
        {"Contacts", &kContactsDatabase, "AddressBook.sqlitedb"},
        {"Messages", &kMessagesDatabase, "sms.db"},
        {"Call History", &kCallHistoryDatabase, "call_history.db", &kCallHistoryAltDatabase,
         "call_history.db", &kCallRecordDatabase, "CallHistory.storedata"},
        {"Notes", &kNotesDatabase, "notes.sqlite", &kNotesAltDatabase, "notes.db",
         &kNoteStoreDatabase, "NoteStore.sqlite"},
    };
    return list;
}

std::optional<LocatedDatabase> locateCategoryDatabase(const BackupArchive& archive,
                                                      const CategoryDatabase& db) {
    // The same order the readers look the names up in.
    if (auto file = archive.find(db.name->domain, db.name->relativePath))
        return LocatedDatabase{file->storedPath, db.fileName, *file};
    if (db.altName)
        if (auto file = archive.find(db.altName->domain, db.altName->relativePath))
            return LocatedDatabase{file->storedPath, db.altFileName ? db.altFileName : db.fileName,
                                   *file};
    if (db.laterName)
        if (auto file = archive.find(db.laterName->domain, db.laterName->relativePath))
            return LocatedDatabase{file->storedPath, db.laterFileName, *file};
    return std::nullopt;
}

std::optional<LocatedDatabase> locateCategoryDatabase(const std::string& backupPath,
                                                      const CategoryDatabase& db) {
    const BackupArchive::Opened opened = BackupArchive::open(backupPath);
    if (opened.status != ArchiveOpenStatus::Ok) return std::nullopt;
    return locateCategoryDatabase(*opened.archive, db);
}

std::optional<std::string> databaseFileProblem(const std::optional<std::string>& path,
                                               bool backupEncrypted) {
    if (!path) return "The database is missing from the backup.";
    if (backupEncrypted)
        return "The backup is encrypted; the database cannot be read without the backup "
               "password.";
    const FileStart start = readFileStart(*path);
    if (!start.readable) return "The file cannot be read.";
    if (start.size == 0) {
        // A database made in WAL mode and never checkpointed keeps even its
        // first page in the log; the staged copy is checkpointed before it
        // is read.
        struct stat wal {};
        if (::stat((*path + "-wal").c_str(), &wal) == 0 && S_ISREG(wal.st_mode) && wal.st_size > 0)
            return std::nullopt;
        return "The file is empty.";
    }
    if (start.got < sizeof kHeaderMagic ||
        std::memcmp(start.header.data(), kHeaderMagic, sizeof kHeaderMagic) != 0)
        return "The file is not an SQLite database (its header does not begin with \"SQLite "
               "format 3\").";
    if (start.got < kHeaderBytes) return "The file is truncated: it ends inside its header.";

    // Offset 16: the page size, big-endian; 1 stands for 65536.
    const std::uint32_t raw = bigEndian(start.header.data() + 16, 2);
    const std::uint32_t pageSize = raw == 1 ? 65536 : raw;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return "The page size in its header (" + std::to_string(raw) +
               ") is not a power of two between 512 and 65536.";
    // Offset 28: the page count, valid when the change counter (24) equals
    // the version-valid-for number (92).
    const std::uint32_t pages = bigEndian(start.header.data() + 28, 4);
    const bool pagesValid = pages > 0 && bigEndian(start.header.data() + 24, 4) ==
                                             bigEndian(start.header.data() + 92, 4);
    if (pagesValid && std::uint64_t{pages} * pageSize > start.size)
        return "The file is truncated: its header counts " + std::to_string(pages) + " pages of " +
               std::to_string(pageSize) + " bytes, the file holds only " +
               std::to_string(start.size) + " bytes.";
    if (start.size % pageSize != 0)
        return "The file is truncated: its " + std::to_string(start.size) +
               " bytes are not a whole number of " + std::to_string(pageSize) + "-byte pages.";
    return sqliteReadProblem(*path);
}

std::vector<DatabaseProblem> checkCategoryDatabases(const std::string& backupPath,
                                                    const std::vector<CategoryDatabase>& categories,
                                                    bool backupEncrypted) {
    std::vector<DatabaseProblem> problems;
    if (backupEncrypted) {
        // Without the keys the index cannot be read: the stored names tell
        // which databases are there.
        for (const CategoryDatabase& db : categories) {
            std::optional<std::string> path =
                storedFileByName(backupPath, db.name->domain, db.name->relativePath);
            const char* fileName = db.fileName;
            if (!path && db.altName) {
                path = storedFileByName(backupPath, db.altName->domain, db.altName->relativePath);
                if (db.altFileName) fileName = db.altFileName;
            }
            if (auto reason = databaseFileProblem(path, true))
                problems.push_back({db.category, fileName, *reason});
        }
        return problems;
    }
    const BackupArchive::Opened opened = BackupArchive::open(backupPath);
    if (opened.status != ArchiveOpenStatus::Ok) {
        for (const CategoryDatabase& db : categories)
            problems.push_back(
                {db.category, db.fileName, *databaseFileProblem(std::nullopt, false)});
        return problems;
    }
    return checkCategoryDatabases(*opened.archive, categories,
                                  [](const BackupFile& f) { return f.storedPath; });
}

std::vector<DatabaseProblem> checkCategoryDatabases(
    const BackupArchive& archive, const std::vector<CategoryDatabase>& categories,
    const std::function<std::optional<std::string>(const BackupFile&)>& readable) {
    std::vector<DatabaseProblem> problems;
    for (const CategoryDatabase& db : categories) {
        const std::optional<LocatedDatabase> found = locateCategoryDatabase(archive, db);
        std::optional<std::string> reason;
        if (!found) {
            reason = databaseFileProblem(std::nullopt, false);
        } else if (const std::optional<std::string> path = readable(found->file)) {
            reason = databaseFileProblem(*path, false);
        } else {
            reason = "The database cannot be copied out of the backup.";
        }
        if (reason)
            problems.push_back({db.category, found ? found->fileName : db.fileName, *reason});
    }
    return problems;
}

}  // namespace marlowen
