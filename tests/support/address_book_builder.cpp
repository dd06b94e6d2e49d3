#include "support/address_book_builder.h"

#include <cctype>

#include "support/fixture_error.h"
#include "support/seeded_random.h"
#include "support/sort_key.h"

namespace marlowen::fixture {
namespace {

std::string insertPersonSql(AddressBookSchema schema) {
    std::vector<std::string> columns{"ROWID"};
    const auto& rest = abPersonColumns(schema);
    columns.insert(columns.end(), rest.begin(), rest.end());
    return insertSql("ABPerson", columns);
}

std::string lastFourDigits(const std::string& number) {
    std::string digits;
    for (char c : number)
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
    return digits.size() > 4 ? digits.substr(digits.size() - 4) : digits;
}

}  // namespace

struct AddressBookBuilder::Statements {
    Statement person;
    Statement value;
    Statement label;
    Statement entryKey;
    Statement entry;
    Statement lastFour;
    Statement group;
    Statement member;
};

AddressBookBuilder::AddressBookBuilder(const std::filesystem::path& path,
                                       AddressBookOptions options)
    : options_(options), db_(path, options.db, SchemaFormat::Current) {
    db_.exec("BEGIN; " + addressBookDdl(options.schema) + " COMMIT;");
    statements_ = std::make_unique<Statements>(Statements{
        db_.prepare(insertPersonSql(options.schema)),
        db_.prepare("INSERT INTO ABMultiValue (record_id, property, identifier, label, value) "
                    "VALUES (?, ?, ?, ?, ?)"),
        db_.prepare("INSERT INTO ABMultiValueLabel (value) VALUES (?)"),
        db_.prepare("INSERT INTO ABMultiValueEntryKey (value) VALUES (?)"),
        db_.prepare("INSERT INTO ABMultiValueEntry (parent_id, key, value) VALUES (?, ?, ?)"),
        db_.prepare("INSERT INTO ABPhoneLastFour (multivalue_id, value) VALUES (?, ?)"),
        db_.prepare("INSERT INTO ABGroup (Name, StoreID) VALUES (?, 0)"),
        db_.prepare(
            "INSERT INTO ABGroupMembers (group_id, member_type, member_id) VALUES (?, 0, ?)"),
    });
    SeededRandom random(seedFromText(path.filename().string()));
    db_.exec(
        "INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '18'); "
        "INSERT INTO _SqliteDatabaseProperties VALUES ('_UniqueIdentifier', '" +
        random.uuid() + "');");
}

AddressBookBuilder::~AddressBookBuilder() {
    try {
        close();
    } catch (...) {
        // Reported by an explicit close().
    }
}

void AddressBookBuilder::close() {
    statements_.reset();
    db_.close();
}

std::int64_t AddressBookBuilder::addPerson(const PersonSpec& p) {
    if (!statements_) throw FixtureError("the address book is closed");
    // First-name order and last-name order, as the two sort columns hold them.
    std::string firstSort = sortKey({p.first, p.middle, p.last, p.organization});
    std::string lastSort = sortKey({p.last, p.first, p.middle, p.organization});
    std::string firstSection =
        sortSection(p.first.empty() ? (p.last.empty() ? p.organization : p.last) : p.first);
    std::string lastSection =
        sortSection(p.last.empty() ? (p.first.empty() ? p.organization : p.first) : p.last);
    std::vector<SqlValue> row{
        integerOrNull(p.rowid),
        textOrNull(p.first),
        textOrNull(p.last),
        textOrNull(p.middle),
        textOrNull(p.firstPhonetic),
        textOrNull(p.middlePhonetic),
        textOrNull(p.lastPhonetic),
        textOrNull(p.organization),
        textOrNull(p.department),
        textOrNull(p.note),
        std::int64_t{p.kind},
        textOrNull(p.birthday ? std::to_string(secondsSince2001(*p.birthday)) : std::string()),
        textOrNull(p.jobTitle),
        textOrNull(p.nickname),
        textOrNull(p.prefix),
        textOrNull(p.suffix),
        textOrNull(firstSort),
        textOrNull(lastSort),
        secondsSince2001(p.created),
        secondsSince2001(p.modified.value_or(p.created)),
        SqlNull{},        // CompositeNameFallback
        SqlNull{},        // ExternalIdentifier
        SqlNull{},        // ExternalModificationTag
        SqlNull{},        // ExternalUUID
        std::int64_t{0},  // StoreID: the local store
        textOrNull(p.displayName),
        SqlNull{},  // ExternalRepresentation
        firstSection,
        lastSection,
        std::int64_t{p.firstSortLanguageIndex},
        std::int64_t{p.lastSortLanguageIndex},
        p.personLink,
        SqlNull{},  // ImageURI
        std::int64_t{p.isPreferredName ? 1 : 0},
    };
    if (options_.schema == AddressBookSchema::Columns36) {
        SeededRandom random(seedFromText(firstSort + lastSort) ^
                            static_cast<std::uint64_t>(p.rowid.value_or(0)));
        row.emplace_back(std::in_place_type<std::string>, random.uuid());  // guid
        row.emplace_back(std::in_place_type<SqlNull>);                     // PhonemeData
    }
    return statements_->person.run(row);
}

std::int64_t AddressBookBuilder::nextIdentifier(std::int64_t person) {
    auto it = nextIdentifier_.find(person);
    if (it == nextIdentifier_.end()) {
        auto existing = db_.selectIntegers(
            "SELECT IFNULL(MAX(identifier) + 1, 0) FROM ABMultiValue WHERE record_id = " +
            std::to_string(person));
        it = nextIdentifier_.emplace(person, existing.at(0)).first;
    }
    return it->second++;
}

std::int64_t AddressBookBuilder::labelId(std::string_view text) {
    auto it = labels_.find(text);
    if (it != labels_.end()) return it->second;
    std::int64_t id = statements_->label.run({std::string(text)});
    labels_.emplace(std::string(text), id);
    return id;
}

std::int64_t AddressBookBuilder::entryKeyId(std::string_view text) {
    auto it = entryKeys_.find(text);
    if (it != entryKeys_.end()) return it->second;
    std::int64_t id = statements_->entryKey.run({std::string(text)});
    entryKeys_.emplace(std::string(text), id);
    return id;
}

std::int64_t AddressBookBuilder::addValue(std::int64_t person, int propertyCode,
                                          const std::string& value, std::string_view labelText) {
    if (!statements_) throw FixtureError("the address book is closed");
    std::int64_t labelRow = labelId(labelText);
    std::int64_t uid = statements_->value.run(
        {person, std::int64_t{propertyCode}, nextIdentifier(person), labelRow, textOrNull(value)});
    if (propertyCode == property::kPhone && !value.empty())
        statements_->lastFour.run({uid, lastFourDigits(value)});
    return uid;
}

std::int64_t AddressBookBuilder::addPhone(std::int64_t person, const std::string& number,
                                          std::string_view labelText) {
    return addValue(person, property::kPhone, number, labelText);
}

std::int64_t AddressBookBuilder::addEmail(std::int64_t person, const std::string& address,
                                          std::string_view labelText) {
    return addValue(person, property::kEmail, address, labelText);
}

std::int64_t AddressBookBuilder::addUrl(std::int64_t person, const std::string& url,
                                        std::string_view labelText) {
    return addValue(person, property::kUrl, url, labelText);
}

std::int64_t AddressBookBuilder::addPostalAddress(std::int64_t person, const PostalAddress& a,
                                                  std::string_view labelText) {
    std::int64_t uid = addValue(person, property::kAddress, "", labelText);
    const std::pair<const char*, const std::string*> parts[] = {
        {"Street", &a.street}, {"City", &a.city},       {"State", &a.state},
        {"ZIP", &a.zip},       {"Country", &a.country}, {"CountryCode", &a.countryCode}};
    for (const auto& [key, text] : parts)
        if (!text->empty()) statements_->entry.run({uid, entryKeyId(key), *text});
    return uid;
}

std::int64_t AddressBookBuilder::addGroup(const std::string& name) {
    return statements_->group.run({name});
}

void AddressBookBuilder::addToGroup(std::int64_t group, std::int64_t person) {
    statements_->member.run({group, person});
}

bool AddressBookBuilder::deletePerson(std::int64_t rowid) {
    const std::string id = std::to_string(rowid);
    const std::string values = "(SELECT UID FROM ABMultiValue WHERE record_id = " + id + ")";
    db_.deleteWhere("ABMultiValueEntry", "parent_id IN " + values);
    db_.deleteWhere("ABPhoneLastFour", "multivalue_id IN " + values);
    db_.deleteWhere("ABMultiValue", "record_id = " + id);
    db_.deleteWhere("ABGroupMembers", "member_type = 0 AND member_id = " + id);
    nextIdentifier_.erase(rowid);
    return db_.deleteWhere("ABPerson", "ROWID = " + id) > 0;
}

std::int64_t AddressBookBuilder::deletePeopleWhere(std::string_view predicate) {
    std::int64_t count = 0;
    for (std::int64_t rowid :
         db_.selectIntegers("SELECT ROWID FROM ABPerson WHERE " + std::string(predicate)))
        count += deletePerson(rowid) ? 1 : 0;
    return count;
}

bool AddressBookBuilder::deleteValue(std::int64_t uid) {
    const std::string id = std::to_string(uid);
    db_.deleteWhere("ABMultiValueEntry", "parent_id = " + id);
    db_.deleteWhere("ABPhoneLastFour", "multivalue_id = " + id);
    return db_.deleteWhere("ABMultiValue", "UID = " + id) > 0;
}

std::int64_t AddressBookBuilder::deleteValuesWhere(std::string_view predicate) {
    std::int64_t count = 0;
    for (std::int64_t uid :
         db_.selectIntegers("SELECT UID FROM ABMultiValue WHERE " + std::string(predicate)))
        count += deleteValue(uid) ? 1 : 0;
    return count;
}

}  // namespace marlowen::fixture
