#include "support/address_book_builder.h"

#include <gtest/gtest.h>

#include "core/extract/reader_queries.h"
#include "support/file_bytes.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

PersonSpec ann() {
    PersonSpec p;
    p.first = "Ann";
    p.last = "Lee";
    p.organization = "Harbour Works";
    p.department = "Design";
    p.jobTitle = "Lead";
    p.note = "met at the fair";
    p.birthday = utc(1980, 5, 17);
    return p;
}

TEST(AddressBookBuilder, AnswersTheLiveReadersQueries) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    std::int64_t annId = book.addPerson(ann());
    book.addPhone(annId, "+1 (555) 010-2233");
    book.addPhone(annId, "555-0199", label::kWork);
    book.addEmail(annId, "ann.lee@example.com");
    book.addUrl(annId, "http://www.example.com/ann");
    PersonSpec bo;
    bo.last = "Østergaard";
    std::int64_t boId = book.addPerson(bo);
    book.close();

    TextTable people = queryTexts(dir / "ab.sqlitedb", kPersonQuery);
    ASSERT_EQ(people.size(), 2u);
    const TextRow& a = people[0];
    EXPECT_EQ(a[0], std::to_string(annId));
    EXPECT_EQ(a[1], "Ann");
    EXPECT_EQ(a[2], "Design");
    EXPECT_EQ(a[5], "Lead");
    EXPECT_EQ(a[6], "Harbour Works");
    EXPECT_EQ(a[7], std::nullopt) << "absent fields are NULL, never empty texts";
    EXPECT_EQ(a[9], std::to_string(secondsSince2001(kDefaultRecordTime)));
    EXPECT_EQ(a[10], "Lee");
    EXPECT_EQ(a[11], "met at the fair");
    EXPECT_EQ(a[15], std::to_string(secondsSince2001(utc(1980, 5, 17))));
    EXPECT_EQ(people[1][1], std::nullopt);
    EXPECT_EQ(people[1][10], "Østergaard");

    TextTable values = queryTexts(dir / "ab.sqlitedb", kValueQuery, annId);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0][0], "3");
    EXPECT_EQ(values[0][2], "+1 (555) 010-2233");
    EXPECT_EQ(values[1][2], "555-0199");
    EXPECT_EQ(values[2][0], "4");
    EXPECT_EQ(values[3][0], "22");
    EXPECT_NE(values[0][1], values[1][1]) << "Mobile and Work are different label rows";
    EXPECT_TRUE(queryTexts(dir / "ab.sqlitedb", kValueQuery, boId).empty());

    TextTable labels = queryTexts(
        dir / "ab.sqlitedb", "select value from ABMultiValueLabel where ROWID = " + *values[0][1]);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0][0], "_$!<Mobile>!$_");
}

TEST(AddressBookBuilder, FillsTheBookkeepingColumnsLikeThePhone) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    std::int64_t id = book.addPerson(ann());
    book.addPhone(id, "555-0100");
    book.addEmail(id, "a@example.com");
    book.close();

    TextTable row =
        queryTexts(dir / "ab.sqlitedb",
                   "select Kind, StoreID, PersonLink, IsPreferredName, FirstSortSection, "
                   "LastSortSection, FirstSortLanguageIndex, typeof(CreationDate), "
                   "length(FirstSort) > 0, ImageURI from ABPerson");
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0], (TextRow{"0", "0", "-1", "1", "A", "L", "0", "integer", "1", std::nullopt}));
    EXPECT_EQ(queryTexts(dir / "ab.sqlitedb", "select identifier from ABMultiValue order by UID"),
              (TextTable{{"0"}, {"1"}}));
    EXPECT_EQ(queryTexts(dir / "ab.sqlitedb", "select value from ABPhoneLastFour"),
              (TextTable{{"0100"}}));
}

// A person record whose header shows FirstSortSection .. IsPreferredName as
// a one-character text twice, two zero constants, a one-byte -1, NULL and
// the constant 1, preceded by the header length 35 and the NULL of ROWID.
TEST(AddressBookBuilder, RecordsCarryThePhonesSerialTypes) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    std::int64_t first = book.addPerson(ann());
    book.addPhone(first, "555-0100");
    PersonSpec p = ann();
    p.rowid = 5;
    book.addPhone(book.addPerson(p), "555-0101");
    book.close();

    Bytes file = readFileBytes(dir / "ab.sqlitedb");
    EXPECT_EQ(readBigEndian(file, 44, 4), 4u) << "record format 4";
    EXPECT_TRUE(containsBytes(file, Bytes{0x0f, 0x0f, 0x08, 0x08, 0x01, 0x00, 0x09}));
    EXPECT_TRUE(containsBytes(file, Bytes{0x23, 0x00}));
    // ABMultiValue: header length 7, NULL UID, record_id (the constant 1 for
    // person 1, a one-byte integer for person 5), property one byte,
    // identifier 0, label 1 (the first label row).
    EXPECT_TRUE(containsBytes(file, Bytes{0x07, 0x00, 0x09, 0x01, 0x08, 0x09}));
    EXPECT_TRUE(containsBytes(file, Bytes{0x07, 0x00, 0x01, 0x01, 0x08, 0x09}));
}

TEST(AddressBookBuilder, DeletedPeopleStayInTheFileButLeaveSql) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    PersonSpec keep;
    keep.first = "Keepme";
    keep.last = "Around";
    std::int64_t keepId = book.addPerson(keep);
    book.addPhone(keepId, "555-0111");
    PersonSpec gone;
    gone.first = "Zebulon";
    gone.last = "Vanished";
    std::int64_t goneId = book.addPerson(gone);
    book.addPhone(goneId, "555-0987");
    book.addEmail(goneId, "zebulon@example.org");
    PersonSpec also;
    also.first = "Quirina";
    also.last = "Vanished";
    book.addPerson(also);

    EXPECT_TRUE(book.deletePerson(goneId));
    EXPECT_FALSE(book.deletePerson(goneId));
    EXPECT_EQ(book.deletePeopleWhere("Last = 'Vanished'"), 1);
    book.close();

    auto path = dir / "ab.sqlitedb";
    EXPECT_EQ(queryTexts(path, "select First from ABPerson"), (TextTable{{"Keepme"}}));
    EXPECT_TRUE(queryTexts(path, kValueQuery, goneId).empty());
    EXPECT_EQ(queryTexts(path, "select count(*) from ABPhoneLastFour"), (TextTable{{"1"}}));

    Bytes file = readFileBytes(path);
    for (const char* text : {"Zebulon", "Quirina", "555-0987", "zebulon@example.org"})
        EXPECT_TRUE(containsBytes(file, text)) << text << " was zeroed: secure_delete is on";
}

TEST(AddressBookBuilder, DeletesSingleValues) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    std::int64_t id = book.addPerson(ann());
    std::int64_t mobile = book.addPhone(id, "555-0100");
    book.addPhone(id, "555-0200", label::kHome);
    book.addEmail(id, "ann@example.com");
    EXPECT_TRUE(book.deleteValue(mobile));
    EXPECT_EQ(book.deleteValuesWhere("property = 4"), 1);
    book.close();
    TextTable values = queryTexts(dir / "ab.sqlitedb", kValueQuery, id);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0][2], "555-0200");
}

TEST(AddressBookBuilder, StoresPostalAddressesAsEntries) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    std::int64_t id = book.addPerson(ann());
    book.addPostalAddress(id,
                          {"1 Quay Street", "Portmouth", "", "PO1 2AB", "United Kingdom", "gb"});
    book.addValue(id, property::kAddress, "2 Mill Lane, Oakford");
    book.close();
    auto path = dir / "ab.sqlitedb";
    TextTable values = queryTexts(path, kValueQuery, id);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0][2], std::nullopt);
    EXPECT_EQ(values[1][2], "2 Mill Lane, Oakford");
    EXPECT_EQ(
        queryTexts(path,
                   "select k.value, e.value from ABMultiValueEntry e join ABMultiValueEntryKey k "
                   "on e.key = k.ROWID where e.parent_id = " +
                       *values[0][3] + " order by e.ROWID"),
        (TextTable{{"Street", "1 Quay Street"},
                   {"City", "Portmouth"},
                   {"ZIP", "PO1 2AB"},
                   {"Country", "United Kingdom"},
                   {"CountryCode", "gb"}}));
}

TEST(AddressBookBuilder, LaterSchemaHas36Columns) {
    TempDir dir;
    AddressBookOptions options;
    options.schema = AddressBookSchema::Columns36;
    AddressBookBuilder book(dir / "ab.sqlitedb", options);
    book.addPerson(ann());
    book.close();
    auto path = dir / "ab.sqlitedb";
    EXPECT_EQ(queryTexts(path, "select count(*) from pragma_table_info('ABPerson')"),
              (TextTable{{"36"}}));
    TextTable guid = queryTexts(path, "select length(guid), PhonemeData from ABPerson");
    EXPECT_EQ(guid, (TextTable{{"36", std::nullopt}}));
    EXPECT_EQ(queryTexts(path, kPersonQuery).size(), 1u);
}

TEST(AddressBookBuilder, ExplicitRowIdsAreKept) {
    TempDir dir;
    AddressBookBuilder book(dir / "ab.sqlitedb");
    PersonSpec p = ann();
    p.rowid = 130;
    EXPECT_EQ(book.addPerson(p), 130);
    EXPECT_EQ(book.addPerson(ann()), 131);
}

}  // namespace
}  // namespace marlowen::fixture
