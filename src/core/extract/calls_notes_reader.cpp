#include "core/extract/calls_notes_reader.h"

#include <cstdlib>
#include <optional>

#include "core/extract/database_files.h"
#include "core/extract/note_body_text.h"
#include "core/extract/note_store_reader.h"
#include "core/extract/reader_queries.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

constexpr int kCallFlagOutgoing = 5;
// The columns callFromCallRecordRow reads, in its order.
constexpr const char* kCallRecordColumns[] = {"ZADDRESS",  "ZDATE",     "ZDURATION", "ZORIGINATED",
                                              "ZANSWERED", "ZCALLTYPE", "ZNAME"};

// The whole result of one query as a table of texts: a header row, then the
// data rows; cell (r, c) is entry r * columns + c. Freed on destruction.
class TextTable {
public:
    TextTable(sqlite3* db, const char* sql) {
        char** result = nullptr;
        if (sqlite3_get_table(db, sql, &result, &rows_, &columns_, nullptr) == SQLITE_OK) {
            result_ = result;
        } else {
            sqlite3_free_table(result);
        }
    }
    TextTable(const TextTable&) = delete;
    TextTable& operator=(const TextTable&) = delete;
    ~TextTable() { sqlite3_free_table(result_); }

    bool ok() const { return result_ != nullptr; }
    int rows() const { return ok() ? rows_ : 0; }
    // The cell's text when present and not empty, else nullptr.
    const char* cell(int row, int column) const {
        if (!ok() || row < 1 || row > rows_ || column < 0 || column >= columns_) return nullptr;
        const char* t = result_[static_cast<long>(row) * columns_ + column];
        return (t && t[0] != '\0') ? t : nullptr;
    }

    int columns() const { return ok() ? columns_ : 0; }

private:
    char** result_ = nullptr;
    int rows_ = 0;
    int columns_ = 0;
};

// Row r (1-based) of a TextTable.
class TableRow final : public QueryRow {
public:
    TableRow(const TextTable& table, int r) : table_(table), r_(r) {}
    const char* text(int column) const override { return table_.cell(r_, column); }
    std::string_view bytes(int column) const override {
        const char* t = table_.cell(r_, column);
        return t ? std::string_view(t) : std::string_view();
    }
    int columns() const override { return table_.columns(); }

private:
    const TextTable& table_;
    int r_;
};

}  // namespace

CallHistoryNodePtr callFromRow(const QueryRow& row) {
    auto node = std::make_shared<ZNCallHistoryNode>();
    if (const char* t = row.text(0)) node->setCallPhone(GetStringFormChar(t));
    if (const auto v = row.integer(1)) node->setCallDate(formatRecordDate(*v, 0));
    if (const auto v = row.integer(2)) node->setCallTime(static_cast<int32_t>(*v));
    node->setCallType(row.integer(3) == kCallFlagOutgoing ? "Outgoing" : "Incoming");
    // A row without a duration keeps -1 and shows "-1 second".
    if (node->callTime() != 0) {
        node->setCallDuration(getCallHistoryDuration(node->callTime()));
    } else {
        node->setCallDuration(node->callType() == "Outgoing" ? "Cancelled" : "Missed");
    }
    return node;
}

CallHistoryNodePtr callFromCallRecordRow(const QueryRow& row) {
    auto node = std::make_shared<ZNCallHistoryNode>();
    // ZADDRESS is text on most versions and a blob of the same UTF-8 bytes
    // on some; a zero byte ends it either way.
    std::string_view address = row.bytes(0);
    address = address.substr(0, address.find('\0'));
    if (!address.empty()) node->setCallPhone(GetStringFormChar(address));
    // Core Data dates are seconds since 2001 as a real: always 2001-based,
    // so the note kind reads them (kind 0 would take values past 2038 for
    // 1970-based ones).
    if (const auto seconds = row.real(1); seconds && *seconds > -1e15 && *seconds < 1e15)
        node->setCallDate(formatRecordDate(static_cast<int64_t>(*seconds), kDateKindNote));
    if (const auto seconds = row.real(2); seconds && *seconds >= 0 && *seconds < 2147483647.0)
        node->setCallTime(static_cast<int32_t>(*seconds));
    const bool outgoing = row.integer(3) == 1;
    node->setCallType(outgoing ? "Outgoing" : "Incoming");
    const auto answered = row.integer(4);
    const bool missed = !outgoing && (!answered || *answered == 0);
    if (missed) {
        node->setCallDuration("Missed");
    } else if (node->callTime() > 0) {
        node->setCallDuration(getCallHistoryDuration(node->callTime()));
    } else {
        node->setCallDuration(outgoing ? "Cancelled" : getCallHistoryDuration(node->callTime()));
    }
    return node;
}

std::string callRecordQuery(sqlite3* db) {
    return selectExisting(db, "ZCALLRECORD", kCallRecordColumns).value_or(std::string());
}

NoteNodePtr noteFromRow(const QueryRow& row) {
    auto node = std::make_shared<ZNNoteNode>();
    if (const char* t = row.text(0)) node->setNoteTitle(GetStringFormChar(t));
    if (const auto v = row.integer(2)) node->setNoteDate(formatRecordDate(*v, 1));
    if (const char* t = row.text(4)) node->setNoteContent(noteBodyText(GetStringFormChar(t)));
    return node;
}

namespace {

// The calls of the Core Data store. The contact's name wins; the name the
// phone stored with the call stands in when no contact matches.
void readCallRecords(const PreparedDatabase& prepared, ReaderContext& ctx) {
    SqliteConnection db = openDatabase(prepared);
    if (!db) return;
    const std::string sql = callRecordQuery(db.get());
    SqliteStatement stmt(db.get(), sql.c_str());
    if (sql.empty() || !stmt) {
        logLine(prepared.storedPath + ": no readable ZCALLRECORD table");
        return;
    }
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        const StatementRow row(stmt.get());
        CallHistoryNodePtr node = callFromCallRecordRow(row);
        std::optional<std::string> name = ctx.getNameByPhoneNumber(node->callPhone());
        if (!name)
            if (const char* stored = row.text(6)) name = GetStringFormChar(stored);
        node->setCallName(std::move(name));
        ctx.nc.postNotificationName(kScanCallHistoryInfo, std::move(node));
    }
}

}  // namespace

void scanCallHistoryThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto [prepared, records] =
        ctx.storesOrLog(backupPath, kCallHistoryDatabase, &kCallHistoryAltDatabase,
                        kCallRecordDatabase, "messageDB is not exist");
    if (!prepared && !records) return;
    if (prepared) {
        SqliteConnection db = openDatabase(*prepared);
        if (db) {
            TextTable table(db.get(), kCallQuery);
            for (int r = 1; r <= table.rows() && !ctx.stopping(); ++r) {
                CallHistoryNodePtr node = callFromRow(TableRow(table, r));
                node->setCallName(ctx.getNameByPhoneNumber(node->callPhone()));
                ctx.nc.postNotificationName(kScanCallHistoryInfo, std::move(node));
            }
        }
    }
    if (records) readCallRecords(*records, ctx);
    ctx.postProgress(kProgressCalls);
}

void scanNoteThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto [prepared, store] = ctx.storesOrLog(backupPath, kNotesDatabase, &kNotesAltDatabase,
                                                   kNoteStoreDatabase, "messageDB is not exist");
    if (!prepared && !store) return;
    if (prepared) {
        SqliteConnection db = openDatabase(*prepared);
        if (db) {
            std::optional<TextTable> table;
            table.emplace(db.get(), kNoteQueryOld);
            if (!table->ok()) table.emplace(db.get(), kNoteQueryCoreData);
            for (int r = 1; r <= table->rows() && !ctx.stopping(); ++r)
                ctx.nc.postNotificationName(kScanNoteInfo, noteFromRow(TableRow(*table, r)));
        }
    }
    if (store) readNoteStore(*store, ctx);
    ctx.postProgress(kProgressNotes);
}

}  // namespace marlowen
