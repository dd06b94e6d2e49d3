#include "core/carve/contact_records.h"

#include <gtest/gtest.h>

#include <string>

#include "carve_test_bytes.h"
#include "core/carve/contact_marks.h"
#include "record_bytes.h"

namespace marlowen::carve {
namespace {

using testing::Column;
using testing::Person;
using testing::readerOf;

TEST(ContactMarks, OneByteTests) {
    const PageReader db = readerOf(64, {{20, {0x7F, 0x80, 0x89, 0x8A, 0x09, 0x19, 0x00}}});
    // clang-format off
    struct Case {
        int64_t offset;
        int32_t noteAlter, imageURLAlter;
    } const cases[] = {
        {20, 0, 1},  // 0x7F
        {21, 1, 1},  // 0x80: first byte of a two-byte serial type
        {22, 1, 1},  // 0x89
        {23, 0, 1},  // 0x8A
        {24, 0, 0},  // 0x09: the constant 1
        {25, 0, 1},  // 0x19
        {26, 0, 1},  // 0x00
        {0, 0, 1},   // offset 0 reads nothing
        {500, 0, 1}, // past the end: zero
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(bNoteAlter(db, c.offset), c.noteAlter) << c.offset;
        EXPECT_EQ(bImageURLAlter(db, c.offset), c.imageURLAlter) << c.offset;
    }
}

TEST(ContactMarks, PersonHeaderStart) {
    const PageReader db = readerOf(
        64,
        {{10,
          {0x23, 0x00, 0x24, 0x00, 0x25, 0x00, 0x26, 0x00, 0x27, 0x00, 0x23, 0x01, 0x22, 0x00}}});
    // clang-format off
    struct Case {
        int64_t offset;
        int32_t count, type;
        bool mark;
    } const cases[] = {
        {10, 2, 4, true},   {12, 2, 4, true},  {14, 2, 4, true}, {16, 2, 4, true},
        {18, 2, 4, false},  // 39-byte header
        {20, 2, 4, false},  // row id column not NULL
        {22, 2, 4, false},  // 34-byte header
        {10, 1, 4, false},  // two digits cannot hold a four-digit mark
        {10, 2, 3, false},  // only type 4 has marks
        {0, 2, 4, false},
        {-1, 2, 4, false},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(getDeletedMark(db, c.offset, c.count, c.type), c.mark) << c.offset;
}

TEST(ContactMarks, DistanceBackToTheNearestZero) {
    // 0x00 at 15 (the end of the magic text) and at 40; none in 41..49.
    std::vector<uint8_t> bytes(60, 0x11);
    bytes[15] = 0;
    bytes[40] = 0;
    bytes[55] = 0;
    const PageReader db = PageReader::fromBytes(bytes);
    // clang-format off
    struct Case {
        int64_t offset, distance;
    } const cases[] = {
        {40, 0},  {41, 1}, {49, 9}, {20, 5}, {55, 0}, {56, 1},
        {14, 14},  // no zero below: the search stops at the start of the file
        {0, 0},    {70, 0},  // outside the file every byte is zero
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(bSortAlter(db, c.offset), c.distance) << c.offset;
}

// Carves the persons of a one-leaf image whose page 1 holds the given
// cells, in order, from byte 200 of the page on.
std::vector<ContactNodePtr> personsOf(const std::vector<std::vector<uint8_t>>& cells,
                                      int32_t pageSize = 4096) {
    testing::Image image(pageSize, 3);
    image.leaf(1, 200);
    size_t at = 200;
    for (const auto& cell : cells) {
        image.put(1, at, cell);
        at += cell.size() + 3;
    }
    const PageReader db = PageReader::fromBytes(image.bytes);
    FieldBuffer field(static_cast<size_t>(pageSize));
    RowIdCounter rowIds;
    std::vector<ContactNodePtr> persons;
    for (int64_t s = image.pageStart(1); s < image.pageStart(2); ++s) {
        uint8_t five[5];
        db.copyBytes(s, five);
        if (isPersonSignature(five)) persons.push_back(decodePersonRecord(db, s, field, rowIds));
    }
    return persons;
}

std::vector<uint8_t> personCell(int64_t rowid, const Person& p) {
    return testing::cellOf(rowid, testing::recordOf(testing::personColumns(p)));
}

TEST(PersonRecords, ColumnsOfThePersonLayout) {
    const std::string longText(100, 'x');
    // clang-format off
    struct Case {
        const char* what;
        Person person;
        std::string name, company, note, jobTitle;
    } const cases[] = {
        {"plain",
         {.first = "Ann", .last = "Lee", .organization = "Acme", .department = "Sales",
          .note = "likes tea", .jobTitle = "Boss", .nickname = "Bo"},
         "Ann Lee", "Acme Sales", "likes tea", "Boss"},
        {"middle name last", {.first = "Ann", .last = "Lee", .middle = "May"}, "Ann Lee May", "", "",
         ""},
        {"no first name: a leading blank", {.last = "Lee"}, " Lee", "", "", ""},
        {"department only", {.first = "Ann", .department = "Sales"}, "Ann", " Sales", "", ""},
        // The nickname is not the job title.
        {"nickname only", {.first = "Ann", .nickname = "Bo"}, "Ann", "", "", ""},
        // A note of 58 bytes or more has a two-byte serial type (v = 1).
        {"long note",
         {.first = "Ann", .last = "Lee", .organization = "Acme", .note = longText,
          .jobTitle = "Boss", .nickname = "Bo"},
         "Ann Lee", "Acme", longText, "Boss"},
        // A long sort key has a two-byte serial type in front of the
        // signature (u = 1).
        {"long sort key",
         {.first = "Ann", .last = "Lee", .note = "n", .jobTitle = "Boss", .firstSort = longText},
         "Ann Lee", "", "n", "Boss"},
        {"long note and sort key",
         {.first = "Ann", .last = "Lee", .note = longText, .jobTitle = "Boss",
          .firstSort = longText, .lastSort = longText},
         "Ann Lee", "", longText, "Boss"},
        // A long image address pushes the content one byte further (w = 1).
        {"long image address",
         {.first = "Ann", .last = "Lee", .jobTitle = "Boss", .imageURI = longText},
         "Ann Lee", "", "", "Boss"},
    };
    // clang-format on
    for (const auto& c : cases) {
        const auto persons = personsOf({personCell(3, c.person)});
        ASSERT_EQ(persons.size(), 1u) << c.what;
        EXPECT_EQ(persons[0]->contactName(), c.name) << c.what;
        EXPECT_EQ(persons[0]->contactCompany(), c.company) << c.what;
        EXPECT_EQ(persons[0]->contactNote(), c.note) << c.what;
        EXPECT_EQ(persons[0]->contactJobtitle(), c.jobTitle) << c.what;
        EXPECT_EQ(persons[0]->rowid(), 3) << c.what;
        EXPECT_EQ(persons[0]->contactPhone(), "") << c.what;
    }
}

TEST(PersonRecords, HighOneByteSerialTypesAndInvalidUtf8) {
    auto columns = testing::personColumns(Person{.first = "Ann", .last = "Lee"});
    // 0x85 standing alone in the header is read as a text of 60 bytes (it
    // is not taken as the start of a longer varint); a last name that is
    // not UTF-8 converts to an empty text.
    columns[1] = Column{{0x85}, std::vector<uint8_t>(60, 'f')};
    columns[2] = Column{{0x13}, {0xC3, 0x28, 0x41}};
    const auto persons = personsOf({testing::cellOf(4, testing::recordOf(columns))});
    ASSERT_EQ(persons.size(), 1u);
    EXPECT_EQ(persons[0]->contactName(), std::string(60, 'f') + " ");
}

TEST(PersonRecords, RowIdsAsTheCellPrefixGivesThem) {
    const Person p{.first = "Ann"};
    // Row id 5: ... 05 23 00 in front of the serial types.
    EXPECT_EQ(personsOf({personCell(5, p)})[0]->rowid(), 5);
    // Row id 130: ... 81 02 23 00.
    EXPECT_EQ(personsOf({personCell(130, p)})[0]->rowid(), 130);
    // Row id 300 (82 2C): only 0x81 starts a readable two-byte id; the
    // last byte alone is taken.
    EXPECT_EQ(personsOf({personCell(300, p)})[0]->rowid(), 0x2C);

    // Freed cells lost their prefix: they count down from the last
    // readable id; a readable id resets the count; a readable 0 counts up.
    const auto persons =
        personsOf({testing::freed(personCell(9, p)), testing::freed(personCell(9, p)),
                   personCell(7, p), testing::freed(personCell(9, p)), personCell(0, p)});
    ASSERT_EQ(persons.size(), 5u);
    std::vector<int32_t> ids;
    for (const auto& person : persons) ids.push_back(person->rowid());
    EXPECT_EQ(ids, (std::vector<int32_t>{-1, -2, 7, 6, 7}));
    EXPECT_EQ(persons[0]->contactName(), "Ann");  // the rest of a freed cell decodes
}

TEST(PersonRecords, SignaturesAreTheSetFourBytes) {
    const std::vector<std::vector<uint8_t>> person = {{0x0F, 0x0F, 0x08, 0x08, 0x01},
                                                      {0x00, 0x00, 0x04, 0x04, 0x01},
                                                      {0x00, 0x00, 0x04, 0x04, 0x00},
                                                      {0x00, 0x00, 0x04, 0x04, 0x13}};
    for (const auto& bytes : person) EXPECT_TRUE(isPersonSignature(bytes.data()));
    const uint8_t notPerson[][5] = {{0x0F, 0x0F, 0x08, 0x08, 0x02},
                                    {0x00, 0x00, 0x04, 0x04, 0x02},
                                    {0x01, 0x01, 0x08, 0x09, 0x00}};
    for (const auto& bytes : notPerson) EXPECT_FALSE(isPersonSignature(bytes));

    const uint8_t values[][4] = {
        {0x01, 0x01, 0x08, 0x09}, {0x01, 0x01, 0x09, 0x01}, {0x09, 0x01, 0x08, 0x09},
        {0x01, 0x01, 0x01, 0x01}, {0x01, 0x01, 0x08, 0x01}, {0x02, 0x01, 0x08, 0x01},
        {0x02, 0x01, 0x09, 0x01}, {0x02, 0x01, 0x08, 0x09}, {0x02, 0x01, 0x01, 0x01},
        {0x01, 0x09, 0x08, 0x09}, {0xFF, 0xD8, 0xFF, 0xE0}};
    for (const auto& bytes : values) EXPECT_TRUE(isMultiValueSignature(bytes));
    const uint8_t notValues[][4] = {
        {0x0F, 0x0F, 0x08, 0x08}, {0x01, 0x01, 0x08, 0x08}, {0x08, 0x01, 0x08, 0x09}};
    for (const auto& bytes : notValues) EXPECT_FALSE(isMultiValueSignature(bytes));
}

// A multi-value record of the 6-column ABMultiValue row.
std::vector<uint8_t> valueRecord(Column owner, Column property, const std::string& value) {
    return testing::recordOf({testing::nullColumn(), std::move(owner), std::move(property),
                              testing::constant(0), testing::constant(1),
                              value.empty() ? testing::nullColumn() : testing::text(value)});
}

TEST(MultiValueRecords, OwnerPropertyAndValue) {
    // clang-format off
    struct Case {
        const char* what;
        Column owner, property;
        std::string value;
        int32_t rowID, valueType;
        std::string contactValue;
    } const cases[] = {
        {"phone", testing::int8(5), testing::int8(3), "555-0100", 5, 3, "555-0100"},
        {"web address", testing::int8(12), testing::int8(22), "x.example", 12, 22, "x.example"},
        {"owner is the constant 1", testing::constant(1), testing::int8(4), "a@b.c", 1, 4, "a@b.c"},
        {"owner 0 is taken as 1", testing::int8(0), testing::int8(3), "1", 1, 3, "1"},
        {"no value", testing::int8(7), testing::int8(3), "", 7, 3, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        // Header length at 100, UID's NULL at 101: the signature is at 102.
        const auto record = valueRecord(c.owner, c.property, c.value);
        const PageReader db = readerOf(400, {{100, record}});
        FieldBuffer field(512);
        uint8_t four[4];
        db.copyBytes(102, four);
        ASSERT_TRUE(isMultiValueSignature(four)) << c.what;
        const DelContactValuePtr value = decodeMultiValueRecord(db, 102, field);
        EXPECT_EQ(value->rowID(), c.rowID) << c.what;
        EXPECT_EQ(value->valueType(), c.valueType) << c.what;
        EXPECT_EQ(value->contactValue(), c.contactValue) << c.what;
    }
}

}  // namespace
}  // namespace marlowen::carve
