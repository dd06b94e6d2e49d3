#include "support/address_book_schema.h"

namespace marlowen::fixture {
namespace {

// ABPerson column order matters beyond SQL: a person record's header holds
// one serial type per column in this order, and deleted people are found by
// the serial types of FirstSortSection .. IsPreferredName (one-character
// texts, two small language indexes, PersonLink -1, NULL, the constant 1).
constexpr const char* kPersonTable34 =
    "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, "
    "Middle TEXT, FirstPhonetic TEXT, MiddlePhonetic TEXT, LastPhonetic TEXT, Organization TEXT, "
    "Department TEXT, Note TEXT, Kind INTEGER, Birthday TEXT, JobTitle TEXT, Nickname TEXT, "
    "Prefix TEXT, Suffix TEXT, FirstSort TEXT, LastSort TEXT, CreationDate INTEGER, "
    "ModificationDate INTEGER, CompositeNameFallback TEXT, ExternalIdentifier TEXT, "
    "ExternalModificationTag TEXT, ExternalUUID TEXT, StoreID INTEGER, DisplayName TEXT, "
    "ExternalRepresentation BLOB, FirstSortSection TEXT, LastSortSection TEXT, "
    "FirstSortLanguageIndex INTEGER DEFAULT 2147483647, "
    "LastSortLanguageIndex INTEGER DEFAULT 2147483647, PersonLink INTEGER DEFAULT -1, "
    "ImageURI TEXT, IsPreferredName INTEGER DEFAULT 1";

constexpr const char* kOtherTables = R"sql(
CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));
CREATE TABLE ABGroup (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, ExternalIdentifier TEXT, StoreID INTEGER, ExternalModificationTag TEXT, ExternalRepresentation BLOB, ExternalUUID TEXT);
CREATE TABLE ABGroupChanges (record INTEGER, type INTEGER);
CREATE TABLE ABGroupMembers (UID INTEGER PRIMARY KEY, group_id INTEGER, member_type INTEGER, member_id INTEGER, UNIQUE(group_id, member_type, member_id));
CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, identifier INTEGER, label INTEGER, value TEXT);
CREATE TABLE ABMultiValueEntry (parent_id INTEGER, key INTEGER, value TEXT, UNIQUE(parent_id, key));
CREATE TABLE ABMultiValueEntryKey (value TEXT, UNIQUE(value));
CREATE TABLE ABMultiValueLabel (value TEXT, UNIQUE(value));
CREATE TABLE ABPersonChanges (record INTEGER, type INTEGER, Image INTEGER, ExternalIdentifier TEXT, StoreID INTEGER);
CREATE TABLE ABPersonMultiValueDeletes (record_id INTEGER, property_id INTEGER, identifier INTEGER);
CREATE TABLE ABPhoneLastFour (multivalue_id INTEGER PRIMARY KEY, value TEXT);
CREATE TABLE ABRecent (date INTEGER, name TEXT, property INTEGER, value TEXT);
CREATE TABLE ABStore (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, ExternalIdentifier TEXT, Type INTEGER, ConstraintsPath TEXT, ExternalModificationTag TEXT, ExternalSyncTag TEXT, AccountID INTEGER, Enabled INTEGER, SyncData BLOB, MeIdentifier INTEGER);
CREATE TABLE ABAccount (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, AccountIdentifier TEXT);
CREATE TABLE FirstSortSectionCount (LanguageIndex INTEGER, FirstSortSection TEXT, count INTEGER, UNIQUE(LanguageIndex, FirstSortSection));
CREATE TABLE LastSortSectionCount (LanguageIndex INTEGER, LastSortSection TEXT, count INTEGER, UNIQUE(LanguageIndex, LastSortSection));
CREATE INDEX ABMultiValueRecordIDIndex ON ABMultiValue(record_id);
CREATE INDEX ABMultiValueEntryParentIndex ON ABMultiValueEntry(parent_id);
CREATE INDEX ABGroupMembersMemberIndex ON ABGroupMembers(member_id);
CREATE INDEX ABPersonFirstSortIndex ON ABPerson(FirstSortLanguageIndex, FirstSort);
CREATE INDEX ABPersonLastSortIndex ON ABPerson(LastSortLanguageIndex, LastSort);
CREATE INDEX ABPersonStoreIndex ON ABPerson(StoreID);
)sql";

}  // namespace

std::string addressBookDdl(AddressBookSchema schema) {
    std::string person = kPersonTable34;
    if (schema == AddressBookSchema::Columns36) person += ", guid TEXT, PhonemeData TEXT";
    person += ");\n";
    return person + kOtherTables;
}

const std::vector<std::string>& abPersonColumns(AddressBookSchema schema) {
    static const std::vector<std::string> columns34 = {"First",
                                                       "Last",
                                                       "Middle",
                                                       "FirstPhonetic",
                                                       "MiddlePhonetic",
                                                       "LastPhonetic",
                                                       "Organization",
                                                       "Department",
                                                       "Note",
                                                       "Kind",
                                                       "Birthday",
                                                       "JobTitle",
                                                       "Nickname",
                                                       "Prefix",
                                                       "Suffix",
                                                       "FirstSort",
                                                       "LastSort",
                                                       "CreationDate",
                                                       "ModificationDate",
                                                       "CompositeNameFallback",
                                                       "ExternalIdentifier",
                                                       "ExternalModificationTag",
                                                       "ExternalUUID",
                                                       "StoreID",
                                                       "DisplayName",
                                                       "ExternalRepresentation",
                                                       "FirstSortSection",
                                                       "LastSortSection",
                                                       "FirstSortLanguageIndex",
                                                       "LastSortLanguageIndex",
                                                       "PersonLink",
                                                       "ImageURI",
                                                       "IsPreferredName"};
    static const std::vector<std::string> columns36 = [] {
        auto c = columns34;
        c.push_back("guid");
        c.push_back("PhonemeData");
        return c;
    }();
    return schema == AddressBookSchema::Columns36 ? columns36 : columns34;
}

}  // namespace marlowen::fixture
