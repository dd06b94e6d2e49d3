#include "core/extract/contacts_reader.h"

#include <cstdlib>

#include "core/extract/database_files.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

// Selects kPersonQueryColumns, in that order.
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

}  // namespace

ContactNodePtr contactFromRow(const QueryRow& row) {
    auto node = std::make_shared<ZNContactNode>();
    // As sqlite3_column_int reads it: the low 32 bits; 0 (also for NULL)
    // leaves the row id unset.
    if (const char* t = row.text(0)) {
        const auto rowid = static_cast<int32_t>(std::strtoll(t, nullptr, 10));
        if (rowid != 0) node->setRowid(rowid);
    }
    if (const char* t = row.text(1)) node->setContactName(GetStringFormChar(t));
    if (const char* t = row.text(2)) node->setContactCompany(GetStringFormChar(t));
    if (const char* t = row.text(5))
        node->setContactCompany(appended(node->contactCompany(), GetStringFormChar(t)));
    if (const char* t = row.text(6))
        node->setContactCompany(appended(node->contactCompany(), GetStringFormChar(t)));
    if (const char* t = row.text(7))
        node->setContactName(appended(node->contactName(), GetStringFormChar(t)));
    if (const char* t = row.text(10))
        node->setContactName(appended(node->contactName(), GetStringFormChar(t)));
    if (const char* t = row.text(11)) node->setContactNote(GetStringFormChar(t));
    if (const char* t = row.text(15)) node->setContactBirthday(GetStringFormChar(t));
    return node;
}

void appendContactValue(ZNContactNode& contact, const char* property, const char* value) {
    if (!value) return;
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

namespace {

void addValues(sqlite3_stmt* values, ZNContactNode& contact) {
    sqlite3_reset(values);
    sqlite3_bind_int(values, 1, contact.rowid());
    while (sqlite3_step(values) == SQLITE_ROW)
        appendContactValue(contact, columnText(values, 0), columnText(values, 2));
}

}  // namespace

void scanContactThread(const std::string& backupPath, ReaderContext& ctx) {
    if (backupPath.empty()) return;
    const auto found = ctx.database(backupPath, kContactsDatabase);
    if (!found) {
        logLine("contactDB is not exist");
        return;
    }
    const PreparedDatabase& prepared = *found;
    {
        SqliteConnection db = openDatabase(prepared);
        if (db) {
            const std::size_t first = ctx.arrays.contactArray.size();
            {
                SqliteStatement persons(db.get(), kPersonQuery);
                if (persons) {
                    while (!ctx.stopping() && sqlite3_step(persons.get()) == SQLITE_ROW)
                        ctx.arrays.contactArray.push_back(
                            contactFromRow(StatementRow(persons.get())));
                }
            }
            // One statement rebound per contact answers exactly what a fresh
            // prepare per contact would.
            SqliteStatement values(db.get(), kValueQuery);
            for (std::size_t i = first; i < ctx.arrays.contactArray.size() && !ctx.stopping(); ++i) {
                const ContactNodePtr& contact = ctx.arrays.contactArray[i];
                if (values) addValues(values.get(), *contact);
                ctx.nc.postNotificationName(kScanContactInfo, contact);
            }
        }
    }
    ctx.postProgress(kProgressContacts);
}

}  // namespace marlowen
