// File-level options every builder shares: page size, journal mode, a log
// left un-checkpointed, the record format.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/address_book_builder.h"
#include "support/file_bytes.h"
#include "support/fixture_error.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

PersonSpec named(const char* first, const char* last) {
    PersonSpec p;
    p.first = first;
    p.last = last;
    return p;
}

class PageSizes : public ::testing::TestWithParam<int> {};

TEST_P(PageSizes, HeaderStoresThePageSizeAndFileIsWholePages) {
    TempDir dir;
    AddressBookOptions options;
    options.db.pageSize = GetParam();
    AddressBookBuilder book(dir / "ab", options);
    for (int i = 0; i < 40; ++i) book.addPhone(book.addPerson(named("Page", "Filler")), "555-0100");
    book.close();
    Bytes file = readFileBytes(dir / "ab");
    // The header stores 65536 as 1.
    EXPECT_EQ(readBigEndian(file, 16, 2),
              GetParam() == 65536 ? 1u : static_cast<unsigned>(GetParam()));
    EXPECT_EQ(file.size() % static_cast<std::size_t>(GetParam()), 0u);
    EXPECT_EQ(readBigEndian(file, 18, 2), 0x0101u) << "rollback journal";
    EXPECT_EQ(readBigEndian(file, 52, 4), 0u) << "auto_vacuum off";
    EXPECT_EQ(queryTexts(dir / "ab", "select count(*) from ABPerson"), (TextTable{{"40"}}));
}

INSTANTIATE_TEST_SUITE_P(DbOptions, PageSizes, ::testing::Values(512, 1024, 4096, 65536));

TEST(DbOptions, RejectsImpossiblePageSizes) {
    TempDir dir;
    AddressBookOptions options;
    options.db.pageSize = 3000;
    EXPECT_THROW(AddressBookBuilder(dir / "ab", options), FixtureError);
}

TEST(DbOptions, WalModeMarksTheHeaderAndCheckpointsOnClose) {
    TempDir dir;
    AddressBookOptions options;
    options.db.journal = JournalMode::Wal;
    AddressBookBuilder book(dir / "ab", options);
    std::int64_t id = book.addPerson(named("Wally", "Logger"));
    book.deletePerson(id);
    book.close();
    Bytes file = readFileBytes(dir / "ab");
    EXPECT_EQ(file[18], 2);
    EXPECT_EQ(file[19], 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "ab-wal"));
    EXPECT_TRUE(containsBytes(file, "Wally")) << "the deleted row reached the main file";
}

TEST(DbOptions, KeptWalFramesHoldWhatCameAfterTheCheckpoint) {
    TempDir dir;
    AddressBookOptions options;
    options.db.journal = JournalMode::Wal;
    options.db.keepWalFrames = true;
    AddressBookBuilder book(dir / "ab", options);
    book.addPerson(named("Early", "Checkpointed"));
    book.checkpoint();
    book.addPerson(named("Late", "Logged"));
    book.deletePeopleWhere("First = 'Early'");
    book.close();

    ASSERT_TRUE(std::filesystem::exists(dir / "ab-wal"));
    EXPECT_GT(std::filesystem::file_size(dir / "ab-wal"), 0u);
    Bytes main = readFileBytes(dir / "ab");
    EXPECT_TRUE(containsBytes(main, "Early"));
    EXPECT_FALSE(containsBytes(main, "Late")) << "written after the checkpoint: only in the log";
    EXPECT_TRUE(containsBytes(readFileBytes(dir / "ab-wal"), "Late"));
    // A reader sees the log's state: Early deleted, Late present.
    EXPECT_EQ(queryTexts(dir / "ab", "select First from ABPerson"), (TextTable{{"Late"}}));
}

TEST(DbOptions, KeepingFramesNeedsWal) {
    TempDir dir;
    AddressBookOptions options;
    options.db.keepWalFrames = true;
    EXPECT_THROW(AddressBookBuilder(dir / "ab", options), FixtureError);
}

TEST(DbOptions, LegacyRecordFormatStoresZeroAndOneAsIntegers) {
    TempDir dir;
    AddressBookOptions options;
    options.db.schemaFormat = SchemaFormat::Legacy;
    AddressBookBuilder book(dir / "ab", options);
    book.addPerson(named("Old", "Format"));
    book.close();
    Bytes file = readFileBytes(dir / "ab");
    EXPECT_EQ(readBigEndian(file, 44, 4), 1u);
    // Sort sections, language indexes 0 and 0, PersonLink -1, NULL, IsPreferredName 1.
    EXPECT_TRUE(containsBytes(file, Bytes{0x0f, 0x0f, 0x01, 0x01, 0x01, 0x00, 0x01}));
    EXPECT_FALSE(containsBytes(file, Bytes{0x0f, 0x0f, 0x08, 0x08, 0x01}));
}

TEST(DbOptions, ReplacesAnExistingFile) {
    TempDir dir;
    {
        AddressBookBuilder book(dir / "ab");
        book.addPerson(named("First", "Build"));
    }
    AddressBookBuilder book(dir / "ab");
    book.close();
    EXPECT_EQ(queryTexts(dir / "ab", "select count(*) from ABPerson"), (TextTable{{"0"}}));
}

}  // namespace
}  // namespace marlowen::fixture
