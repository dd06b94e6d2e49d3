#include "support/sample_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/extract/reader_queries.h"
#include "support/backup_folder.h"
#include "support/file_bytes.h"
#include "support/fixture_error.h"
#include "support/media_files.h"
#include "support/plist_file.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

class SampleBackupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new TempDir("marlowen-sample");
        sample_ = new SampleBackup(writeSampleBackup(root_->path()));
    }
    static void TearDownTestSuite() {
        delete sample_;
        delete root_;
    }
    static std::filesystem::path database(DatabaseKind kind) {
        return sample_->folder / hashedFileName(kind);
    }
    static TempDir* root_;
    static SampleBackup* sample_;
};

TempDir* SampleBackupTest::root_ = nullptr;
SampleBackup* SampleBackupTest::sample_ = nullptr;

TEST_F(SampleBackupTest, IsOneFolderOfAnIos6Phone) {
    std::vector<std::filesystem::path> entries(std::filesystem::directory_iterator(root_->path()),
                                               {});
    ASSERT_EQ(entries.size(), 1u);
    const std::string name = entries[0].filename().string();
    EXPECT_EQ(name.size(), 40u);
    EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) { return std::isxdigit(c); }));

    PlistPtr info = readPlistFile(sample_->folder / "Info.plist");
    ASSERT_TRUE(info);
    EXPECT_EQ(plistString(info.get(), "Device Name"), "Ann's phone");
    EXPECT_EQ(plistString(info.get(), "Product Type"), "iPhone5,2");
    EXPECT_EQ(plistString(info.get(), "Product Version"), "6.1.2");
    PlistPtr manifest = readPlistFile(sample_->folder / "Manifest.plist");
    EXPECT_NE(plistDict(manifest.get(), "Lockdown"), nullptr);
}

TEST_F(SampleBackupTest, AddressBookListsTheLiveAndKeepsTheDeletedInItsBytes) {
    auto path = database(DatabaseKind::AddressBook);
    TextTable people = queryTexts(
        path,
        "select DISTINCT Rowid, first, Department,DisplayName,firstPhonetic,jobTitle,organization,"
        "middle,middlePhonetic,CreationDate,Last,Note,Nickname,prefix, suffix, Birthday from "
        "abperson ");
    EXPECT_EQ(people.size(), 9u);
    EXPECT_EQ(sample_->livePeople.size(), 9u);
    ASSERT_EQ(sample_->deletedPeople.size(), 3u);
    std::set<std::string> kinds;
    for (const TextRow& row : people)
        for (const TextRow& v : queryTexts(
                 path, "select property,label,value, UID from abmultivalue where record_id = ? ",
                 std::stoll(*row[0])))
            kinds.insert(*v[0]);
    EXPECT_EQ(kinds, (std::set<std::string>{"3", "4", "5", "22"}));
    EXPECT_EQ(queryTexts(path, "select value from ABMultiValue where property = 5 order by UID"),
              (TextTable{{std::nullopt}, {"1 Dock Road, Portmouth"}}))
        << "one postal address as entries, one as text";

    Bytes file = readFileBytes(path);
    for (const char* text : {"George", "Hannah", "Julia", "+1 (555) 010-9090", "(555) 010-2234",
                             "http://www.example.com/~ghart"})
        EXPECT_TRUE(containsBytes(file, text)) << text;
    EXPECT_TRUE(
        queryTexts(path, "select ROWID from ABPerson where First in ('George','Hannah','Julia')")
            .empty());
    // Every Latin-named person record shows the header the carver looks for.
    EXPECT_GE(countOccurrences(file, Bytes{0x0f, 0x0f, 0x08, 0x08, 0x01}), 8u);
}

TEST_F(SampleBackupTest, MessagesCallsAndNotesHaveDeletedRowsInTheirBytes) {
    auto messages = database(DatabaseKind::Messages);
    TextTable live = queryTexts(messages, kQueryHandle);
    EXPECT_EQ(live.size(), 15u);
    Bytes bytes = readFileBytes(messages);
    ASSERT_EQ(sample_->deletedMessages.size(), 4u);
    for (const std::string& text : sample_->deletedMessages) {
        EXPECT_TRUE(containsBytes(bytes, text)) << text;
        for (const TextRow& row : live) EXPECT_NE(row[1], text);
    }

    auto calls = database(DatabaseKind::CallHistory);
    EXPECT_EQ(queryTexts(calls, "select address,date,duration,flags from call").size(), 5u);
    bytes = readFileBytes(calls);
    for (const std::string& number : sample_->deletedCalls)
        EXPECT_TRUE(containsBytes(bytes, number));

    auto notes = database(DatabaseKind::Notes);
    TextTable liveNotes =
        queryTexts(notes,
                   "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT "
                   "from znote LEFT JOIN ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK");
    EXPECT_EQ(liveNotes.size(), 3u);
    bytes = readFileBytes(notes);
    ASSERT_EQ(sample_->deletedNotes.size(), 2u);
    for (const std::string& title : sample_->deletedNotes) EXPECT_TRUE(containsBytes(bytes, title));
    EXPECT_TRUE(containsBytes(bytes, "otters-2012"));
}

TEST_F(SampleBackupTest, HoldsOnePictureCandidate) {
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sample_->folder)) {
        Bytes bytes = readFileBytes(entry.path());
        if (bytes.size() >= kPhotoCandidateMinimum && readBigEndian(bytes, 0, 4) == 0xFFD8FFE0u)
            ++pictures;
    }
    EXPECT_EQ(pictures, 1);
}

TEST_F(SampleBackupTest, RefusesToOverwriteAnExistingFolder) {
    EXPECT_THROW(writeSampleBackup(root_->path()), FixtureError);
}

}  // namespace
}  // namespace marlowen::fixture
