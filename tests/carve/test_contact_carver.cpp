#include "core/carve/contact_carver.h"

#include <gtest/gtest.h>

#include <string>

#include "carve_run.h"
#include "record_bytes.h"

namespace marlowen::carve {
namespace {

using testing::Image;
using testing::Person;

std::vector<uint8_t> personCell(int64_t rowid, const std::string& first) {
    return testing::cellOf(rowid, testing::recordOf(testing::personColumns({.first = first})));
}

std::vector<uint8_t> valueCell(int64_t uid, int8_t owner, int8_t property, const std::string& v) {
    return testing::cellOf(uid, testing::recordOf({testing::nullColumn(), testing::int8(owner),
                                                   testing::int8(property), testing::constant(0),
                                                   testing::constant(1), testing::text(v)}));
}

// A cell of some other table: three small texts.
std::vector<uint8_t> otherCell() {
    return testing::cellOf(
        1, testing::recordOf({testing::text("ab"), testing::text("cd"), testing::text("ef")}));
}

struct Carved {
    ContactCarveOutcome outcome;
    std::vector<ContactNodePtr> contacts;
    std::vector<DelContactValuePtr> values;
};

Carved carve(const std::vector<uint8_t>& bytes, size_t budget = kDefaultCarveBudget) {
    Carved c;
    const PageReader db = PageReader::fromBytes(bytes);
    c.outcome = carveDeletedContacts(db, c.contacts, c.values, budget);
    return c;
}

std::vector<std::string> namesOf(const std::vector<ContactNodePtr>& contacts) {
    std::vector<std::string> names;
    for (const auto& c : contacts) names.push_back(c->contactName());
    return names;
}

std::vector<std::string> valuesOf(const std::vector<DelContactValuePtr>& values) {
    std::vector<std::string> texts;
    for (const auto& v : values) texts.push_back(v->contactValue());
    return texts;
}

TEST(ContactCarver, OnlyPagesWhoseFirstCellLooksLikeARecordAreSearched) {
    // Page 1: another table's cell first, a person behind it. Page 2: a
    // person first. Page 3: the same person, but page 3 is an index leaf.
    Image image(1024, 4);
    image.leaf(1, 100);
    image.put(1, 100, otherCell());
    image.put(1, 300, personCell(2, "Hidden"));
    image.leaf(2, 100);
    image.put(2, 100, personCell(3, "Found"));
    image.put(2, 400, personCell(4, "Behind"));
    image.put(3, 100, personCell(5, "Index"));
    image.bytes[static_cast<size_t>(image.pageStart(3))] = 0x0A;

    const Carved c = carve(image.bytes);
    EXPECT_EQ(namesOf(c.contacts), (std::vector<std::string>{"Found", "Behind"}));
    EXPECT_TRUE(c.values.empty());
}

TEST(ContactCarver, PagesFromTheLastPersonsUpwardsValuesDownwards) {
    Image image(1024, 5);
    image.leaf(1, 100);
    image.put(1, 100, personCell(3, "P1a"));
    image.put(1, 500, personCell(4, "P1b"));
    image.leaf(2, 100);
    image.put(2, 100, personCell(5, "P2"));
    image.leaf(3, 100);
    image.put(3, 100, valueCell(1, 3, 3, "v-low"));
    image.put(3, 600, valueCell(2, 3, 3, "v-high"));
    image.leaf(4, 100);
    image.put(4, 100, valueCell(3, 5, 4, "v-last-page"));

    const Carved c = carve(image.bytes);
    EXPECT_TRUE(c.outcome.pageSize.valid());
    EXPECT_EQ(namesOf(c.contacts), (std::vector<std::string>{"P2", "P1a", "P1b"}));
    EXPECT_EQ(valuesOf(c.values), (std::vector<std::string>{"v-last-page", "v-high", "v-low"}));
}

TEST(ContactCarver, SignaturesRunIntoTheNextPageAndPastTheEndOfTheFile) {
    // A person signature split over pages 1 and 2 (page 2 is no leaf: its
    // bytes are only read as the continuation).
    Image split(512, 3);
    split.leaf(1, 100);
    split.put(1, 100, personCell(3, "First"));
    split.put(1, 509, {0x0F, 0x0F, 0x08});
    split.put(2, 0, {0x08, 0x01});
    EXPECT_EQ(carve(split.bytes).contacts.size(), 2u);

    // "0000040400" whose last byte lies past the end of the file, where
    // every byte reads as zero.
    Image tail(512, 2);
    tail.leaf(1, 100);
    tail.put(1, 100, personCell(3, "First"));
    tail.put(1, 508, {0x00, 0x00, 0x04, 0x04});
    EXPECT_EQ(carve(tail.bytes).contacts.size(), 2u);
    tail.put(1, 508, {0x00, 0x00, 0x04, 0x05});
    EXPECT_EQ(carve(tail.bytes).contacts.size(), 1u);
}

TEST(ContactCarver, TheCarveStopsAtItsMemoryBudget) {
    // A page of nothing but person signatures: a record every 5 bytes.
    Image image(4096, 2);
    image.leaf(1, 8);
    for (size_t at = 10; at + 5 <= 4096; at += 5) image.put(1, at, {0x0F, 0x0F, 0x08, 0x08, 0x01});
    const Carved all = carve(image.bytes);
    EXPECT_EQ(all.contacts.size(), 817u);
    EXPECT_FALSE(all.outcome.stoppedAtBudget);

    const Carved some = carve(image.bytes, 20 * 1024);
    EXPECT_TRUE(some.outcome.stoppedAtBudget);
    EXPECT_GT(some.contacts.size(), 0u);
    EXPECT_LT(some.contacts.size(), 100u);
}

DelContactValuePtr value(int32_t owner, int32_t property, const std::string& text) {
    auto v = std::make_shared<DelContactValue>();
    v->setRowID(owner);
    v->setValueType(property);
    v->setContactValue(text);
    return v;
}

TEST(ContactCarver, ValuesAttachToPersonsWithTheirRowIdInCarvingOrder) {
    const std::vector<DelContactValuePtr> values = {
        value(5, 3, "555-1"), value(6, 3, "other"),      value(5, 4, "a@b.c"),
        value(5, 3, "555-2"), value(5, 22, "w.example"), value(5, 5, "street"),
        value(5, 1, "junk"),  value(-1, 3, "555-9")};
    const DelContactValueIndex index(values);
    // clang-format off
    struct Case {
        int32_t rowid;
        std::string phone, email, homepage;
    } const cases[] = {
        {5, " 555-1 555-2", " a@b.c", " w.example"},
        {6, " other", "", ""},
        {-1, " 555-9", "", ""},
        {7, "", "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        ZNContactNode contact;
        contact.setRowid(c.rowid);
        size_t budget = kDefaultCarveBudget;
        EXPECT_TRUE(index.attachTo(contact, budget));
        EXPECT_EQ(contact.contactPhone(), c.phone) << c.rowid;
        EXPECT_EQ(contact.contactEmail(), c.email) << c.rowid;
        EXPECT_EQ(contact.contactHomepage(), c.homepage) << c.rowid;
        EXPECT_EQ(contact.contactAdress(), "") << c.rowid;  // addresses are never attached
    }
    ZNContactNode contact;
    contact.setRowid(5);
    size_t budget = 8;  // room for " 555-1" only
    EXPECT_FALSE(index.attachTo(contact, budget));
    EXPECT_EQ(contact.contactPhone(), " 555-1");
}

TEST(ContactCarverRun, PostsEveryPersonWithItsValuesThenTheProgress) {
    Image image(1024, 3);
    image.leaf(1, 100);
    image.put(1, 100, personCell(3, "Ann"));
    image.put(1, 400, personCell(4, "Bob"));
    image.leaf(2, 100);
    image.put(2, 100, valueCell(1, 4, 3, "555-0104"));
    image.put(2, 300, valueCell(2, 3, 3, "555-0103"));
    fixture::TempDir backup;
    const testing::CarveRun run = testing::carveBytes(backup, image.bytes);

    ASSERT_EQ(run.posted.size(), 2u);
    EXPECT_EQ(run.posted[0]->contactName(), "Ann");
    EXPECT_EQ(run.posted[0]->contactPhone(), " 555-0103");
    EXPECT_EQ(run.posted[1]->contactPhone(), " 555-0104");
    EXPECT_FALSE(run.posted[0]->bDeleted());  // the receiver marks what it accepts
    EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelContacts}));
    EXPECT_EQ(run.arrays.delContactArray, run.posted);
    EXPECT_EQ(run.arrays.delContactValueArray.size(), 2u);
    EXPECT_TRUE(run.log.empty());
}

TEST(ContactCarverRun, MissingOrUnreadableDatabases) {
    fixture::TempDir backup;
    const auto none = testing::runCarver(backup.path().string());
    EXPECT_TRUE(none.posted.empty());
    EXPECT_TRUE(none.progress.empty());
    EXPECT_EQ(none.log, (std::vector<std::string>{"contactDB is not exist"}));

    const auto noPath = testing::runCarver("");
    EXPECT_TRUE(noPath.progress.empty());
    EXPECT_TRUE(noPath.log.empty());

    // The preparation step answers a file that cannot be opened.
    testing::writeFile(backup.path() / kContactsDatabase.fileID(), Image(1024, 2).bytes);
    const auto unreadable = testing::runCarver(backup.path().string(), [&](const std::string&) {
        return PreparedDatabase{(backup.path() / "gone").string(), true, {}};
    });
    EXPECT_TRUE(unreadable.progress.empty());
}

TEST(ContactCarverRun, ReadsTheFileThePreparationAnswersInEitherLayout) {
    Image prepared(1024, 2);
    prepared.leaf(1, 100);
    prepared.put(1, 100, personCell(3, "FromCopy"));
    fixture::TempDir backup, work;
    testing::writeFile(work.path() / "copy", prepared.bytes);
    // The newer layout: a subfolder named by the first two digits.
    const auto nested = backup.path() / std::string(kContactsDatabase.fileID()).substr(0, 2) /
                        kContactsDatabase.fileID();
    testing::writeFile(nested, Image(1024, 2).bytes);

    std::string asked;
    const auto run = testing::runCarver(backup.path().string(), [&](const std::string& path) {
        asked = path;
        return PreparedDatabase{(work.path() / "copy").string(), true, {}};
    });
    EXPECT_EQ(asked, nested.string());
    ASSERT_EQ(run.posted.size(), 1u);
    EXPECT_EQ(run.posted[0]->contactName(), "FromCopy");
}

}  // namespace
}  // namespace marlowen::carve
