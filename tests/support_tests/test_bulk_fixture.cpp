#include "support/bulk_fixture.h"

#include <gtest/gtest.h>

#include "core/extract/reader_queries.h"
#include "support/file_bytes.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

TEST(BulkFixture, AddressBookHasTheAskedCountsAndSeveralScripts) {
    TempDir dir;
    BulkAddressBookSpec plan;
    plan.contacts = 400;
    plan.multiValues = 1000;
    BulkAddressBookResult result = writeBulkAddressBook(dir / "ab", plan);
    EXPECT_EQ(result.contacts, 400);
    EXPECT_EQ(result.multiValues, 1000);
    auto path = dir / "ab";
    EXPECT_EQ(queryTexts(path, "select count(*) from ABPerson"), (TextTable{{"400"}}));
    EXPECT_EQ(queryTexts(path, "select count(*) from ABMultiValue"), (TextTable{{"1000"}}));
    EXPECT_EQ(
        queryTexts(path, "select count(*) from ABMultiValue where property = 3 and record_id = 1"),
        (TextTable{{"1"}}))
        << "every contact starts with a phone number";
    // Latin (0), Cyrillic (1) and CJK (2) names all occur.
    EXPECT_EQ(queryTexts(path, "select distinct FirstSortLanguageIndex from ABPerson order by 1"),
              (TextTable{{"0"}, {"1"}, {"2"}}));
    // More bytes than characters: a name outside ASCII.
    EXPECT_EQ(queryTexts(path,
                         "select count(*) > 0 from ABPerson "
                         "where length(CAST(First AS BLOB)) > length(First)"),
              (TextTable{{"1"}}));
}

TEST(BulkFixture, SameSeedSameBytesOtherSeedOtherBytes) {
    TempDir a, b, c;
    BulkAddressBookSpec plan;
    plan.contacts = 150;
    plan.multiValues = 300;
    writeBulkAddressBook(a / "ab", plan);
    writeBulkAddressBook(b / "ab", plan);
    plan.seed = 2;
    writeBulkAddressBook(c / "ab", plan);
    EXPECT_EQ(readFileBytes(a / "ab"), readFileBytes(b / "ab"));
    EXPECT_NE(readFileBytes(a / "ab"), readFileBytes(c / "ab"));
}

TEST(BulkFixture, GrowsToTheMinimumSizeAndDeletesAShare) {
    TempDir dir;
    BulkAddressBookSpec plan;
    plan.contacts = 10;
    plan.multiValues = 30;
    plan.minimumBytes = 1024 * 1024;
    plan.deletedPercent = 20;
    BulkAddressBookResult result = writeBulkAddressBook(dir / "ab", plan);
    EXPECT_GE(result.bytes, plan.minimumBytes);
    EXPECT_GE(static_cast<std::int64_t>(std::filesystem::file_size(dir / "ab")), plan.minimumBytes);
    EXPECT_GT(result.contacts, 10);
    EXPECT_EQ(result.multiValues, result.contacts * 3);
    EXPECT_GT(result.deleted, result.contacts / 10);
    EXPECT_LT(result.deleted, result.contacts * 3 / 10);
    EXPECT_EQ(queryTexts(dir / "ab", "select count(*) from ABPerson"),
              (TextTable{{std::to_string(result.contacts - result.deleted)}}));
}

TEST(BulkFixture, MessagesSpreadOverConversations) {
    TempDir dir;
    BulkMessagesSpec plan;
    plan.messages = 500;
    plan.deletedPercent = 10;
    BulkMessagesResult result = writeBulkMessages(dir / "sms", plan);
    EXPECT_EQ(result.messages, 500);
    EXPECT_EQ(result.conversations, 21);
    TextTable rows = queryTexts(dir / "sms", kQueryHandle);
    EXPECT_EQ(static_cast<std::int64_t>(rows.size()), 500 - result.deleted);
    EXPECT_GT(result.deleted, 0);
    for (const TextRow& row : rows)
        ASSERT_TRUE(row[4].has_value()) << "every message has its handle";
    EXPECT_EQ(
        queryTexts(dir / "sms", "select count(*) > 0 from message where service = 'iMessage'"),
        (TextTable{{"1"}}));
}

}  // namespace
}  // namespace marlowen::fixture
