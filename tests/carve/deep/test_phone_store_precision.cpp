// Precision of the deep scan on generated phone stores: deleted people come
// back under their own name, and no live record, earlier version or
// misjoined value is ever listed.
#include <gtest/gtest.h>

#include "core/deep/table_schema.h"
#include "support/phone_store_eval.h"
#include "support/temp_dir.h"

using namespace marlowen::fixture;
using marlowen::carve::deep::parseCreateIndex;
using marlowen::carve::deep::parseCreateTable;

TEST(PhoneStorePrecision, AddressBooksListNoLivePersonAndNoMisjoinedValue) {
    TempDir dir;
    int n = 0;
    for (int pageSize : {1024, 4096})
        for (AddressBookSchema schema :
             {AddressBookSchema::Columns34, AddressBookSchema::Columns36}) {
            PhoneStorePlan plan;
            plan.seed = static_cast<std::uint64_t>(7 + n);
            plan.records = 300;
            plan.deletedPercent = 20;
            plan.pageSize = pageSize;
            const auto path = dir / ("book" + std::to_string(n++) + ".db");
            const StoreScore s = scoreAddressBook(path, writePhoneAddressBook(path, plan, schema));
            // One entry may be a value cut short in the middle of a blank,
            // which the scoring cannot parse back.
            EXPECT_LE(s.wrong, 1) << (s.wrongExamples.empty() ? "" : s.wrongExamples[0]);
            EXPECT_GE(100 * s.foundNamed, 95 * s.surviving) << pageSize;
        }
}

TEST(PhoneStorePrecision, EditedMessagesAreNotListedAsDeleted) {
    TempDir dir;
    PhoneStorePlan plan;
    plan.records = 400;
    plan.deletedPercent = 30;
    plan.editedPercent = 20;
    plan.pageSize = 4096;
    const auto path = dir / "sms.db";
    const StoreScore s = scoreMessages(path, writePhoneMessages(path, plan));
    EXPECT_EQ(s.wrong, 0) << (s.wrongExamples.empty() ? "" : s.wrongExamples[0]);
    EXPECT_GT(s.foundNamed, 0);
}

// Freed messages and calls often sit in a page's gap, where the content
// area grows down over their tails: what is left before the new cell comes
// back, and a number cut short is never read as another.
TEST(PhoneStorePrecision, MessagesAndCallsComeBackWithNothingFalse) {
    TempDir dir;
    for (int pageSize : {1024, 4096}) {
        SCOPED_TRACE(pageSize);
        PhoneStorePlan plan;
        plan.seed = static_cast<std::uint64_t>(11 + pageSize);
        plan.records = 500;
        plan.deletedPercent = 30;
        plan.pageSize = pageSize;
        const auto sms = dir / ("sms" + std::to_string(pageSize) + ".db");
        const StoreScore m = scoreMessages(sms, writePhoneMessages(sms, plan));
        EXPECT_EQ(m.wrong, 0) << (m.wrongExamples.empty() ? "" : m.wrongExamples[0]);
        EXPECT_GE(100 * m.foundNamed, 95 * m.surviving) << m.foundNamed << " of " << m.surviving;
        const auto calls = dir / ("calls" + std::to_string(pageSize) + ".db");
        const StoreScore c = scoreCalls(calls, writePhoneCalls(calls, plan));
        EXPECT_EQ(c.wrong, 0) << (c.wrongExamples.empty() ? "" : c.wrongExamples[0]);
        EXPECT_GE(100 * c.foundNamed, 92 * c.surviving) << c.foundNamed << " of " << c.surviving;
    }
}

TEST(PhoneStorePrecision, IndexAndUniqueKeysAreReadFromTheSchema) {
    auto ix = parseCreateIndex(
        "CREATE INDEX ABPersonFirstSortIndex ON ABPerson(FirstSortLanguageIndex, FirstSort "
        "COLLATE NOCASE DESC)");
    ASSERT_TRUE(ix);
    EXPECT_EQ(ix->table, "ABPerson");
    EXPECT_EQ(ix->columns, (std::vector<std::string>{"FirstSortLanguageIndex", "FirstSort"}));
    // An expression is no column's values.
    EXPECT_FALSE(parseCreateIndex("CREATE INDEX x ON t(lower(name))"));
    EXPECT_FALSE(parseCreateIndex("CREATE TABLE t(a)"));
    auto t = parseCreateTable(
        "CREATE TABLE t (ROWID INTEGER PRIMARY KEY, guid TEXT UNIQUE NOT NULL, a INT, b TEXT, "
        "UNIQUE(a, b))");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->uniqueKeys, (std::vector<std::vector<int>>{{1}, {2, 3}}));
}
