#include "core/extract/contacts_reader.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "core/extract/database_files.h"
#include "core/extract/reader_queries.h"
#include "core/extract/value_conversions.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

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

// Birthdays are seconds since 2001-01-01 00:00 UTC, stored as text or a
// real; the phone keeps the day at midnight or noon UTC, so the calendar
// date is the UTC day.
std::optional<std::chrono::year_month_day> birthdayOf(const QueryRow& row, int column) {
    std::optional<double> stored = row.storedReal(column);
    if (!stored)
        if (const auto whole = row.storedInteger(column)) stored = static_cast<double>(*whole);
    if (!stored) {
        // A text must be a number and nothing else.
        const char* text = row.text(column);
        if (!text) return std::nullopt;
        char* end = nullptr;
        stored = std::strtod(text, &end);
        if (end == text || *end != '\0') return std::nullopt;
    }
    const double seconds = *stored;
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11) return std::nullopt;
    using namespace std::chrono;
    const auto days = static_cast<int>(std::floor(seconds / 86400.0));
    return year_month_day(sys_days(year(2001) / January / 1) + std::chrono::days(days));
}

void setBirthday(ZNContactNode& node, const QueryRow& row, int column) {
    const auto date = birthdayOf(row, column);
    if (!date) {  // not a number: kept as stored
        node.setContactBirthday(GetStringFormChar(row.text(column)));
        return;
    }
    const int y = static_cast<int>(date->year());
    const unsigned m = static_cast<unsigned>(date->month());
    const unsigned d = static_cast<unsigned>(date->day());
    char text[32];
    // The readers' date order (month-day-year), without a time of day.
    std::snprintf(text, sizeof text, "%02u-%02u-%04d", m, d, y);
    node.setContactBirthday(text);
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    node.setBirthdayDate(text);
}

std::string textOr(const QueryRow& row, int column) {
    const char* t = row.text(column);
    return t ? GetStringFormChar(t) : std::string();
}

}  // namespace

ContactNodePtr contactFromRow(const QueryRow& row) {
    auto node = std::make_shared<ZNContactNode>();
    // As sqlite3_column_int reads it: the low 32 bits; 0 (also for NULL)
    // leaves the row id unset.
    if (const auto v = row.integer(0)) {
        const auto rowid = static_cast<int32_t>(*v);
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
    if (row.text(15)) setBirthday(*node, row, 15);
    node->setNameParts(
        {textOr(row, 1), textOr(row, 7), textOr(row, 10), textOr(row, 13), textOr(row, 14)});
    node->setDepartment(textOr(row, 2));
    node->setJobTitle(textOr(row, 5));
    node->setOrganization(textOr(row, 6));
    return node;
}

void appendContactValue(ZNContactNode& contact, std::optional<int64_t> property, const char* value,
                        const std::string& label) {
    if (!value) return;
    const std::string text = GetStringFormChar(value);
    switch (static_cast<int>(property.value_or(0))) {
        case kPropertyPhone:
            contact.setContactPhone(appended(contact.contactPhone(), text));
            contact.addPhone({text, label});
            break;
        case kPropertyEmail:
            contact.setContactEmail(appended(contact.contactEmail(), text));
            contact.addEmail({text, label});
            break;
        case kPropertyAddress:
            contact.setContactAdress(appended(contact.contactAdress(), text));
            contact.addAddress({.street = text, .label = label});
            break;
        case kPropertyWeb:
            contact.setContactHomepage(appended(contact.contactHomepage(), text));
            contact.addHomepage({text, label});
            break;
        default:
            break;
    }
}

void appendContactAddress(ZNContactNode& contact, ContactAddress address) {
    for (const std::string* part :
         {&address.street, &address.city, &address.region, &address.postalCode, &address.country})
        if (!part->empty()) contact.setContactAdress(appended(contact.contactAdress(), *part));
    contact.addAddress(std::move(address));
}

namespace {

// rowid -> value of a small name table (ABMultiValueLabel,
// ABMultiValueEntryKey); empty when the table is missing.
std::unordered_map<int64_t, std::string> nameTable(sqlite3* db, const char* table) {
    std::unordered_map<int64_t, std::string> names;
    const std::string query = std::string("select ROWID, value from ") + table;
    SqliteStatement rows(db, query.c_str());
    if (!rows) return names;
    while (sqlite3_step(rows.get()) == SQLITE_ROW)
        if (const char* t = columnText(rows.get(), 1))
            names.emplace(sqlite3_column_int64(rows.get(), 0), GetStringFormChar(t));
    return names;
}

// The values of each contact with their labels, and postal addresses from
// their parts.
class ValueReader {
public:
    explicit ValueReader(sqlite3* db)
        : values_(db, kValueQuery),
          parts_(db, kAddressPartQuery),
          labels_(nameTable(db, "ABMultiValueLabel")),
          partNames_(nameTable(db, "ABMultiValueEntryKey")) {}

    void addValues(ZNContactNode& contact) {
        if (!values_) return;
        sqlite3_stmt* values = values_.get();
        sqlite3_reset(values);
        sqlite3_bind_int(values, 1, contact.rowid());
        while (sqlite3_step(values) == SQLITE_ROW) {
            const std::optional<int64_t> property = StatementRow(values).integer(0);
            std::string label;
            if (sqlite3_column_type(values, 1) != SQLITE_NULL)
                if (auto it = labels_.find(sqlite3_column_int64(values, 1)); it != labels_.end())
                    label = it->second;
            const char* value = columnText(values, 2);
            if (!value && property == kPropertyAddress &&
                sqlite3_column_type(values, 3) != SQLITE_NULL) {
                if (auto address = addressOf(sqlite3_column_int64(values, 3))) {
                    address->label = std::move(label);
                    appendContactAddress(contact, std::move(*address));
                }
                continue;
            }
            appendContactValue(contact, property, value, label);
        }
    }

private:
    std::optional<ContactAddress> addressOf(int64_t uid) {
        if (!parts_) return std::nullopt;
        sqlite3_stmt* parts = parts_.get();
        sqlite3_reset(parts);
        sqlite3_bind_int64(parts, 1, uid);
        ContactAddress address;
        std::string countryCode;
        bool any = false;
        while (sqlite3_step(parts) == SQLITE_ROW) {
            const char* value = columnText(parts, 1);
            const auto name = partNames_.find(sqlite3_column_int64(parts, 0));
            if (!value || name == partNames_.end()) continue;
            std::string* part = name->second == "Street"        ? &address.street
                                : name->second == "City"        ? &address.city
                                : name->second == "State"       ? &address.region
                                : name->second == "ZIP"         ? &address.postalCode
                                : name->second == "Country"     ? &address.country
                                : name->second == "CountryCode" ? &countryCode
                                                                : nullptr;
            if (!part) continue;
            *part = GetStringFormChar(value);
            any = true;
        }
        if (!any) return std::nullopt;
        // Only the code of the country is stored when the user picked none.
        if (address.country.empty()) address.country = countryCode;
        return address;
    }

    SqliteStatement values_;
    SqliteStatement parts_;
    std::unordered_map<int64_t, std::string> labels_;
    std::unordered_map<int64_t, std::string> partNames_;
};

bool isPicture(std::string_view bytes) {
    return bytes.starts_with("\xFF\xD8\xFF") || bytes.starts_with("\x89PNG\r\n\x1A\n");
}

// Contact pictures live in their own database: the full-size picture first,
// else a thumbnail; thumbnails of some versions are raw pixels, which are
// not a picture file and are skipped.
void addPictures(const std::string& backupPath, ReaderContext& ctx, std::size_t first) {
    const auto found = ctx.database(backupPath, kContactImagesDatabase);
    if (!found) return;
    SqliteConnection db = openDatabase(*found);
    if (!db) return;
    constexpr const char* kQueries[] = {
        "select data from ABFullSizeImage where record_id = ?",
        "select data from ABThumbnailImage where record_id = ? order by format desc"};
    std::vector<SqliteStatement> statements;
    for (const char* query : kQueries)
        if (SqliteStatement s(db.get(), query); s) statements.push_back(std::move(s));
    for (std::size_t i = first; i < ctx.arrays.contactArray.size() && !ctx.stopping(); ++i) {
        ZNContactNode& contact = *ctx.arrays.contactArray[i];
        for (SqliteStatement& s : statements) {
            sqlite3_reset(s.get());
            sqlite3_bind_int(s.get(), 1, contact.rowid());
            while (contact.picture().empty() && sqlite3_step(s.get()) == SQLITE_ROW) {
                const auto* data = static_cast<const char*>(sqlite3_column_blob(s.get(), 0));
                const std::string_view bytes(data ? data : "",
                                             data ? sqlite3_column_bytes(s.get(), 0) : 0);
                if (isPicture(bytes)) contact.setPicture(std::string(bytes));
            }
            if (!contact.picture().empty()) break;
        }
    }
}

}  // namespace

void scanContactThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto found =
        ctx.databaseOrLog(backupPath, kContactsDatabase, nullptr, "contactDB is not exist");
    if (!found) return;
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
            ValueReader values(db.get());
            for (std::size_t i = first; i < ctx.arrays.contactArray.size() && !ctx.stopping(); ++i)
                values.addValues(*ctx.arrays.contactArray[i]);
            // Pictures before posting: a posted node is not changed again.
            addPictures(backupPath, ctx, first);
            for (std::size_t i = first; i < ctx.arrays.contactArray.size() && !ctx.stopping(); ++i)
                ctx.nc.postNotificationName(kScanContactInfo, ctx.arrays.contactArray[i]);
        }
    }
    ctx.postProgress(kProgressContacts);
}

}  // namespace marlowen
