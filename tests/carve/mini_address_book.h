// A small address book in the phone's layout (the 34-column ABPerson and
// the 6-column ABMultiValue), written with SQLite and with secure_delete
// off, so that deleted rows stay in the file's free space. Only what the
// carver tests need.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace marlowen::carve::testing {

class MiniAddressBook {
public:
    explicit MiniAddressBook(const std::string& path, int pageSize = 4096) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("open " + path);
        exec("PRAGMA page_size=" + std::to_string(pageSize));
        exec("PRAGMA secure_delete=OFF");
        exec("PRAGMA journal_mode=DELETE");
        exec(
            "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, "
            "Middle TEXT, FirstPhonetic TEXT, MiddlePhonetic TEXT, LastPhonetic TEXT, "
            "Organization TEXT, Department TEXT, Note TEXT, Kind INTEGER, Birthday TEXT, "
            "JobTitle TEXT, Nickname TEXT, Prefix TEXT, Suffix TEXT, FirstSort TEXT, LastSort TEXT, "
            "CreationDate INTEGER, ModificationDate INTEGER, CompositeNameFallback TEXT, "
            "ExternalIdentifier TEXT, ExternalModificationTag TEXT, ExternalUUID TEXT, "
            "StoreID INTEGER, DisplayName TEXT, ExternalRepresentation BLOB, "
            "FirstSortSection TEXT, LastSortSection TEXT, "
            "FirstSortLanguageIndex INTEGER DEFAULT 2147483647, "
            "LastSortLanguageIndex INTEGER DEFAULT 2147483647, PersonLink INTEGER DEFAULT -1, "
            "ImageURI TEXT, IsPreferredName INTEGER DEFAULT 1)");
        exec(
            "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, "
            "property INTEGER, identifier INTEGER, label INTEGER, value TEXT)");
    }
    ~MiniAddressBook() { sqlite3_close(db_); }
    MiniAddressBook(const MiniAddressBook&) = delete;
    MiniAddressBook& operator=(const MiniAddressBook&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(message + " in " + sql);
        }
    }

    // A person as the phone stores one: sort sections and language indexes
    // set, the rest of the optional columns NULL. Answers its row id.
    int64_t addPerson(const std::string& first, const std::string& last,
                      const std::string& jobTitle = "", const std::string& nickname = "") {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db_,
                           "INSERT INTO ABPerson (First, Last, Kind, JobTitle, Nickname, FirstSort, "
                           "LastSort, CreationDate, ModificationDate, FirstSortSection, "
                           "LastSortSection, FirstSortLanguageIndex, LastSortLanguageIndex, "
                           "PersonLink, IsPreferredName) "
                           "VALUES (?1, ?2, 0, ?3, ?4, ?1 || ' ' || ?2, ?2 || ' ' || ?1, 371139731, "
                           "371139731, substr(?1, 1, 1), substr(?2, 1, 1), 0, 0, -1, 1)",
                           -1, &stmt, nullptr);
        bindText(stmt, 1, first);
        bindText(stmt, 2, last);
        bindText(stmt, 3, jobTitle);
        bindText(stmt, 4, nickname);
        step(stmt);
        return sqlite3_last_insert_rowid(db_);
    }

    // One multi-value of `person`; property 3 phone, 4 e-mail, 22 web.
    void addValue(int64_t person, int property, const std::string& value) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db_,
                           "INSERT INTO ABMultiValue (record_id, property, identifier, label, value) "
                           "VALUES (?1, ?2, 0, 1, ?3)",
                           -1, &stmt, nullptr);
        sqlite3_bind_int64(stmt, 1, person);
        sqlite3_bind_int(stmt, 2, property);
        bindText(stmt, 3, value);
        step(stmt);
    }

    void deletePerson(int64_t person) {
        exec("DELETE FROM ABMultiValue WHERE record_id = " + std::to_string(person));
        exec("DELETE FROM ABPerson WHERE ROWID = " + std::to_string(person));
    }

private:
    static void bindText(sqlite3_stmt* stmt, int index, const std::string& text) {
        if (text.empty()) {
            sqlite3_bind_null(stmt, index);
        } else {
            sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        }
    }
    void step(sqlite3_stmt* stmt) {
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    }

    sqlite3* db_ = nullptr;
};

}  // namespace marlowen::carve::testing
