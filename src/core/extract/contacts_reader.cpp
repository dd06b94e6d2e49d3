#include "core/extract/contacts_reader.h"

#include <cstdlib>

#include "core/extract/database_files.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

constexpr const char* kPersonQuery =
    "select DISTINCT Rowid, first, Department,DisplayName,firstPhonetic,jobTitle,organization,"
    "middle,middlePhonetic,CreationDate,Last,Note,Nickname,prefix, suffix, Birthday from abperson ";
constexpr const char* kValueQuery =
    "select property,label,value, UID from abmultivalue where record_id = ? ";

// abmultivalue.property codes.
constexpr int kPropertyPhone = 3;
constexpr int kPropertyEmail = 4;
constexpr int kPropertyAddress = 5;
constexpr int kPropertyWeb = 22;

// Appending joins with one blank, also to an empty field: a contact with
// only a last name shows " Last". Readers compose; nobody trims.
std::string appended(const std::string& current, const std::string& part) {
    return current + " " + part;
}

ContactNodePtr contactFromRow(sqlite3_stmt* row) {
    auto node = std::make_shared<ZNContactNode>();
    if (const int rowid = sqlite3_column_int(row, 0); rowid != 0) node->setRowid(rowid);
    if (const char* t = columnText(row, 1)) node->setContactName(GetStringFormChar(t));
    if (const char* t = columnText(row, 2)) node->setContactCompany(GetStringFormChar(t));
    if (const char* t = columnText(row, 5))
        node->setContactCompany(appended(node->contactCompany(), GetStringFormChar(t)));
    if (const char* t = columnText(row, 6))
        node->setContactCompany(appended(node->contactCompany(), GetStringFormChar(t)));
    if (const char* t = columnText(row, 7))
        node->setContactName(appended(node->contactName(), GetStringFormChar(t)));
    if (const char* t = columnText(row, 10))
        node->setContactName(appended(node->contactName(), GetStringFormChar(t)));
    if (const char* t = columnText(row, 11)) node->setContactNote(GetStringFormChar(t));
    if (const char* t = columnText(row, 15)) node->setContactBirthday(GetStringFormChar(t));
    return node;
}

void addValues(sqlite3_stmt* values, ZNContactNode& contact) {
    sqlite3_reset(values);
    sqlite3_bind_int(values, 1, contact.rowid());
    while (sqlite3_step(values) == SQLITE_ROW) {
        const char* property = columnText(values, 0);
        const char* value = columnText(values, 2);
        if (!value) continue;
        const std::string text = GetStringFormChar(value);
        switch (property ? std::atoi(property) : 0) {
            case kPropertyPhone:
                contact.setContactPhone(appended(contact.contactPhone(), text));
                break;
            case kPropertyEmail:
                contact.setContactEmail(appended(contact.contactEmail(), text));
                break;
            case kPropertyAddress:
                contact.setContactAdress(appended(contact.contactAdress(), text));
                break;
            case kPropertyWeb:
                contact.setContactHomepage(appended(contact.contactHomepage(), text));
                break;
            default:
                break;
        }
    }
}

}  // namespace

void scanContactThread(const std::string& backupPath, ReaderContext& ctx) {
    if (backupPath.empty()) return;
    const auto dbPath = findDatabaseFile(backupPath, kContactsDbName);
    if (!dbPath) {
        logLine("contactDB is not exist");
        return;
    }
    const PreparedDatabase prepared = ctx.prepare(*dbPath);
    {
        SqliteConnection db = openDatabase(prepared);
        if (db) {
            const std::size_t first = ctx.arrays.contactArray.size();
            {
                SqliteStatement persons(db.get(), kPersonQuery);
                if (persons) {
                    while (sqlite3_step(persons.get()) == SQLITE_ROW)
                        ctx.arrays.contactArray.push_back(contactFromRow(persons.get()));
                }
            }
            // One statement rebound per contact answers exactly what a fresh
            // prepare per contact would.
            SqliteStatement values(db.get(), kValueQuery);
            for (std::size_t i = first; i < ctx.arrays.contactArray.size(); ++i) {
                const ContactNodePtr& contact = ctx.arrays.contactArray[i];
                if (values) addValues(values.get(), *contact);
                ctx.nc.postNotificationName(kScanContactInfo, contact);
            }
        }
    }
    ctx.postProgress(kProgressContacts);
}

}  // namespace marlowen
