// Writes an address book database as the phone keeps it: ABPerson rows and
// their phone numbers, e-mail, postal and web addresses in ABMultiValue.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/address_book_schema.h"
#include "support/db_options.h"
#include "support/phone_time.h"
#include "support/sqlite_db.h"

namespace marlowen::fixture {

// ABMultiValue.property codes.
namespace property {
inline constexpr int kPhone = 3;
inline constexpr int kEmail = 4;
inline constexpr int kAddress = 5;
inline constexpr int kUrl = 22;
}  // namespace property

// ABMultiValueLabel texts; the system labels carry the "_$!<...>!$_" wrapping.
namespace label {
inline constexpr std::string_view kMobile = "_$!<Mobile>!$_";
inline constexpr std::string_view kIPhone = "iPhone";
inline constexpr std::string_view kHome = "_$!<Home>!$_";
inline constexpr std::string_view kWork = "_$!<Work>!$_";
inline constexpr std::string_view kMain = "_$!<Main>!$_";
inline constexpr std::string_view kHomePage = "_$!<HomePage>!$_";
inline constexpr std::string_view kWorkFax = "_$!<WorkFAX>!$_";
inline constexpr std::string_view kOther = "_$!<Other>!$_";
}  // namespace label

// When records were made, unless a PersonSpec says otherwise.
inline constexpr Moment kDefaultRecordTime = utc(2012, 10, 5, 14, 22, 11);

// One ABPerson row. Empty texts are stored as NULL, as the phone does.
struct PersonSpec {
    // Row id to use; by default the table's next one.
    std::optional<std::int64_t> rowid;
    std::string first, last, middle;
    std::string firstPhonetic, middlePhonetic, lastPhonetic;
    std::string organization, department, jobTitle;
    std::string note, nickname, prefix, suffix, displayName;
    // Stored as the decimal text of its seconds since 2001; none gives NULL.
    std::optional<Moment> birthday;
    // 0 a person, 1 an organisation.
    int kind = 0;
    Moment created = kDefaultRecordTime;
    std::optional<Moment> modified;  // defaults to created
    // Which alphabet the sort keys belong to (0 Latin; small numbers).
    int firstSortLanguageIndex = 0;
    int lastSortLanguageIndex = 0;
    std::int64_t personLink = -1;
    bool isPreferredName = true;
};

struct PostalAddress {
    std::string street, city, state, zip, country, countryCode;
};

struct AddressBookOptions {
    DbOptions db;
    AddressBookSchema schema = AddressBookSchema::Columns34;
};

class AddressBookBuilder {
public:
    // Creates a new database at `path` (replacing a file there) with the
    // full schema. The phone wrote this file in record format 4.
    explicit AddressBookBuilder(const std::filesystem::path& path, AddressBookOptions options = {});
    ~AddressBookBuilder();

    // Answers the new row's ROWID.
    std::int64_t addPerson(const PersonSpec& person);

    // One ABMultiValue row of `person`; answers its UID. `label` is a label
    // text, stored as the row id of its ABMultiValueLabel row (added when
    // new). An empty value is stored as NULL.
    std::int64_t addValue(std::int64_t person, int property, const std::string& value,
                          std::string_view labelText = label::kOther);
    std::int64_t addPhone(std::int64_t person, const std::string& number,
                          std::string_view labelText = label::kMobile);
    std::int64_t addEmail(std::int64_t person, const std::string& address,
                          std::string_view labelText = label::kHome);
    std::int64_t addUrl(std::int64_t person, const std::string& url,
                        std::string_view labelText = label::kHomePage);
    // The phone's way of storing a postal address: an ABMultiValue row whose
    // value is NULL, the parts in ABMultiValueEntry rows keyed by
    // ABMultiValueEntryKey ("Street", "City", ...).
    std::int64_t addPostalAddress(std::int64_t person, const PostalAddress& address,
                                  std::string_view labelText = label::kHome);

    std::int64_t addGroup(const std::string& name);
    void addToGroup(std::int64_t group, std::int64_t person);

    // Deletes the person, its multi-values (with their entries and last-four
    // rows) and its group memberships. Answers whether the person existed.
    bool deletePerson(std::int64_t rowid);
    // Deletes every person matching an SQL predicate on ABPerson (e.g.
    // "Last = 'Lee'") the same way; answers how many.
    std::int64_t deletePeopleWhere(std::string_view predicate);
    bool deleteValue(std::int64_t uid);
    std::int64_t deleteValuesWhere(std::string_view predicate);

    // Transactions for bulk writing (every call runs in its own otherwise).
    void begin() { db_.begin(); }
    void commit() { db_.commit(); }
    void checkpoint() { db_.checkpoint(); }
    void close();

    SqliteDb& db() { return db_; }
    const std::filesystem::path& path() const { return db_.path(); }

private:
    std::int64_t labelId(std::string_view text);
    std::int64_t entryKeyId(std::string_view text);
    std::int64_t nextIdentifier(std::int64_t person);

    AddressBookOptions options_;
    SqliteDb db_;
    struct Statements;
    std::unique_ptr<Statements> statements_;
    std::map<std::string, std::int64_t, std::less<>> labels_;
    std::map<std::string, std::int64_t, std::less<>> entryKeys_;
    std::map<std::int64_t, std::int64_t> nextIdentifier_;
};

}  // namespace marlowen::fixture
