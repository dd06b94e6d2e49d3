#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "core/extract/calls_notes_reader.h"
#include "core/extract/contacts_reader.h"
#include "core/extract/database_files.h"
#include "core/extract/messages_reader.h"
#include "core/extract/photo_video_reader.h"
#include "core/log/log.h"
#include "scan_recorder.h"
#include "support/address_book_builder.h"
#include "support/backup_folder.h"
#include "support/call_db_builder.h"
#include "support/message_db_builder.h"
#include "support/notes_db_builder.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

using namespace marlowen::fixture;
namespace fs = std::filesystem;

// A backup folder, a notification center and a reader context over them.
class LiveReaderTest : public ::testing::Test {
protected:
    LiveReaderTest() : backup(tmp.path() / "backup"), recorder(nc), ctx{nc, arrays, false, {}} {
        previousSink = setLogSink([this](std::string_view line) { log.emplace_back(line); });
    }
    ~LiveReaderTest() override { setLogSink(previousSink); }

    std::string folder() const { return backup.folder().string(); }

    TempDir tmp;
    BackupFolderBuilder backup;
    NotificationCenter nc;
    testing::ScanRecorder recorder;
    ScanWorkingArrays arrays;
    ReaderContext ctx;
    std::vector<std::string> log;
    LogSink previousSink;
};

TEST_F(LiveReaderTest, ContactsJoinNamesCompanyAndValuesWithSingleBlanks) {
    {
        AddressBookBuilder book(backup.databasePath(DatabaseKind::AddressBook));
        const auto ann = book.addPerson({.first = "Ann",
                                         .last = "Lee",
                                         .organization = "Harbour",
                                         .department = "Design",
                                         .jobTitle = "Lead",
                                         .note = "Met at the fair"});
        book.addPhone(ann, "555-0100");
        book.addPhone(ann, "555-0101");
        book.addEmail(ann, "ann@example.com");
        book.addUrl(ann, "http://ann.example");
        book.addValue(ann, 7, "ignored: property 7");
        book.addPerson({.last = "Solo"});
        book.addPerson({.first = "Mid", .last = "Dle", .middle = "Q"});
    }
    scanContactThread(folder(), ctx);

    const auto contacts = recorder.nodes<ZNContactNode>(kScanContactInfo);
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0]->contactName(), "Ann Lee");
    EXPECT_EQ(contacts[0]->contactCompany(), "Design Lead Harbour");
    EXPECT_EQ(contacts[0]->contactPhone(), " 555-0100 555-0101");
    EXPECT_EQ(contacts[0]->contactEmail(), " ann@example.com");
    EXPECT_EQ(contacts[0]->contactHomepage(), " http://ann.example");
    EXPECT_EQ(contacts[0]->contactNote(), "Met at the fair");
    EXPECT_EQ(contacts[0]->contactAdress(), "");
    EXPECT_EQ(contacts[1]->contactName(), " Solo");
    EXPECT_EQ(contacts[1]->contactPhone(), "");
    EXPECT_EQ(contacts[2]->contactName(), "Mid Q Dle");
    EXPECT_EQ(arrays.contactArray.size(), 3u);
    EXPECT_EQ(recorder.progress(), std::vector<int>{40});
}

// Beside the joined texts, each value with its label, the name in its
// parts, postal addresses from their entry rows, the birthday as a date and
// the picture from the images database.
TEST_F(LiveReaderTest, ContactsKeepEachValueWithItsLabelAndAddressesFromTheirParts) {
    std::int64_t ann = 0;
    {
        AddressBookBuilder book(backup.databasePath(DatabaseKind::AddressBook));
        ann = book.addPerson({.first = "Ann",
                              .last = "Lee",
                              .middle = "Q",
                              .organization = "Harbour",
                              .department = "Design",
                              .jobTitle = "Lead",
                              .prefix = "Dr.",
                              .suffix = "Jr.",
                              .birthday = utc(1984, 3, 9, 12, 0, 0)});
        book.addPhone(ann, "555-0100", label::kMobile);
        book.addPhone(ann, "555-0101", label::kWorkFax);
        book.addEmail(ann, "ann@example.com", label::kWork);
        book.addPostalAddress(ann, {"1 Quay St", "Leith", "Lothian", "EH6 6", "", "gb"},
                              label::kWork);
        book.addPostalAddress(ann, {.city = "Paris", .country = "France"}, label::kHome);
        book.addPerson({.last = "Solo", .birthday = utc(2001, 1, 1, 0, 0, 0)});
    }
    // Pictures: a JPEG for Ann; raw pixels (a thumbnail of some versions) are no picture.
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF picture bytes";
    {
        sqlite3* db = nullptr;
        const fs::path images = backup.hashedFilePath(
            DatabaseName{"HomeDomain", "Library/AddressBook/AddressBookImages.sqlitedb"}.fileID());
        fs::create_directories(images.parent_path());
        ASSERT_EQ(sqlite3_open(images.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db,
                     "CREATE TABLE ABFullSizeImage (record_id INTEGER, crop_x INTEGER, data BLOB);"
                     "CREATE TABLE ABThumbnailImage (record_id INTEGER, format INTEGER, data BLOB);"
                     "INSERT INTO ABThumbnailImage VALUES (2, 0, x'00112233');",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO ABFullSizeImage VALUES (?, 0, ?)", -1, &insert,
                           nullptr);
        sqlite3_bind_int64(insert, 1, ann);
        sqlite3_bind_blob(insert, 2, jpeg.data(), static_cast<int>(jpeg.size()), SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }
    scanContactThread(folder(), ctx);

    const auto contacts = recorder.nodes<ZNContactNode>(kScanContactInfo);
    ASSERT_EQ(contacts.size(), 2u);
    const ZNContactNode& a = *contacts[0];
    EXPECT_EQ(a.nameParts(), (ContactNameParts{"Ann", "Q", "Lee", "Dr.", "Jr."}));
    EXPECT_EQ(a.organization(), "Harbour");
    EXPECT_EQ(a.department(), "Design");
    EXPECT_EQ(a.jobTitle(), "Lead");
    EXPECT_EQ(a.contactJobtitle(), "") << "the shown company text holds the title";
    EXPECT_EQ(a.phones(), (std::vector<ContactValue>{{"555-0100", std::string(label::kMobile)},
                                                     {"555-0101", std::string(label::kWorkFax)}}));
    EXPECT_EQ(a.emails(),
              (std::vector<ContactValue>{{"ann@example.com", std::string(label::kWork)}}));
    ASSERT_EQ(a.addresses().size(), 2u);
    EXPECT_EQ(a.addresses()[0], (ContactAddress{"1 Quay St", "Leith", "Lothian", "EH6 6", "gb",
                                                std::string(label::kWork)}))
        << "the country code stands in for a missing country";
    EXPECT_EQ(a.addresses()[1],
              (ContactAddress{"", "Paris", "", "", "France", std::string(label::kHome)}));
    EXPECT_EQ(a.contactAdress(), " 1 Quay St Leith Lothian EH6 6 gb Paris France");
    EXPECT_EQ(a.contactBirthday(), "03-09-1984");
    EXPECT_EQ(a.birthdayDate(), "1984-03-09");
    EXPECT_EQ(a.picture(), jpeg);

    EXPECT_EQ(contacts[1]->birthdayDate(), "2001-01-01");
    EXPECT_EQ(contacts[1]->picture(), "") << "raw pixels are not a picture";
}

TEST_F(LiveReaderTest, MissingDatabasesLogTheirLineAndPostNoProgress) {
    scanContactThread(folder(), ctx);
    scanMessageThread(folder(), ctx);
    scanCallHistoryThread(folder(), ctx);
    scanNoteThread(folder(), ctx);
    EXPECT_TRUE(recorder.posts.empty());
    EXPECT_EQ(log, (std::vector<std::string>{"contactDB is not exist", "messageDB is not exist",
                                             "messageDB is not exist", "messageDB is not exist"}));
}

TEST_F(LiveReaderTest, DatabaseThatIsNotSqliteYieldsNothingButItsProgress) {
    std::ofstream(backup.databasePath(DatabaseKind::AddressBook)) << "this is not a database";
    std::ofstream(backup.databasePath(DatabaseKind::CallHistory)) << std::string(5000, '\x0f');
    scanContactThread(folder(), ctx);
    scanCallHistoryThread(folder(), ctx);
    EXPECT_TRUE(recorder.nodes<ZNContactNode>(kScanContactInfo).empty());
    EXPECT_EQ(recorder.progress(), (std::vector<int>{40, 60}));
}

TEST_F(LiveReaderTest, NewerBackupLayoutIsFoundInItsHexSubfolder) {
    BackupFolderBuilder nested(tmp.path() / "nested", {},
                               {.layout = BackupLayout::HashedSubfolders});
    {
        AddressBookBuilder book(nested.databasePath(DatabaseKind::AddressBook));
        book.addPerson({.first = "Nested"});
    }
    ASSERT_TRUE(fs::exists(nested.folder() / "31" / "31bb7ba8914766d4ba40d6dfb6113c8b614be442"));
    scanContactThread(nested.folder().string(), ctx);
    ASSERT_EQ(arrays.contactArray.size(), 1u);
    EXPECT_EQ(arrays.contactArray[0]->contactName(), "Nested");
}

struct DirectionCase {
    std::int64_t flags;
    bool iMessage;
    const char* type;
};

TEST_F(LiveReaderTest, Os5MessagesTakeDirectionFromFlagsAndIMessageFields) {
    {
        AddressBookBuilder book(backup.databasePath(DatabaseKind::AddressBook));
        book.addPhone(book.addPerson({.first = "Bo"}), "+1 (555) 010-2233");
    }
    {
        MessageDbBuilder db(backup.databasePath(DatabaseKind::Messages),
                            {.layout = MessageLayout::Os5});
        db.addMessage({.address = "+15550102233", .text = "sent", .fromMe = true, .flags = 3});
        db.addMessage({.address = "+15550102233", .text = "received", .flags = 2});
        db.addMessage({.address = "+15550109999", .text = "odd", .flags = 0});
        db.addMessage({.address = "bo@example.net",
                       .text = "imessage body",
                       .fromMe = true,
                       .iMessage = true,
                       .flags = 16387,
                       .attachmentInfo = Bytes{'a', 'b', 'c', 0, 'd', 'e', 'f'}});
    }
    scanContactThread(folder(), ctx);
    scanMessageThread(folder(), ctx);

    const auto messages = recorder.nodes<ZNMessageNode>(kScanMessageInfo);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0]->messageType(), "Send");
    EXPECT_EQ(messages[0]->messageName(), "Bo");
    EXPECT_EQ(messages[1]->messageType(), "Received");
    EXPECT_EQ(messages[2]->messageType(), "unknown");
    EXPECT_FALSE(messages[2]->hasMessageName());
    EXPECT_TRUE(messages[3]->bImessage());
    EXPECT_EQ(messages[3]->messagePhone(), "bo@example.net");
    EXPECT_EQ(messages[3]->messageType(), "Send");
    EXPECT_EQ(messages[3]->messageContent(), "abcdef");
    EXPECT_EQ(recorder.progress(), (std::vector<int>{40, 50}));
}

TEST_F(LiveReaderTest, MessageLayoutsFallBackToTheOtherLayoutsOwnColumns) {
    {
        MessageDbBuilder db(backup.databasePath(DatabaseKind::Messages),
                            {.layout = MessageLayout::Os6});
        db.addMessage({.address = "+15550102233", .text = "hello", .fromMe = true});
        db.addMessage({.address = "+15550102233", .text = "back", .fromMe = false});
    }
    // A later phone with a version text other than 6 keeps the handle layout.
    ctx.currentNodeIsiOS6Version = false;
    scanMessageThread(folder(), ctx);
    auto messages = recorder.nodes<ZNMessageNode>(kScanMessageInfo);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]->messageContent(), "hello");
    EXPECT_EQ(messages[0]->messagePhone(), "+15550102233");
    EXPECT_EQ(messages[0]->messageType(), "Send");
    EXPECT_EQ(messages[1]->messageType(), "Received");
    EXPECT_TRUE(log.empty());

    // An OS 6 flag on a backup whose database still has the older layout.
    TempDir other;
    BackupFolderBuilder old(other.path() / "b");
    {
        MessageDbBuilder db(old.databasePath(DatabaseKind::Messages),
                            {.layout = MessageLayout::Os5WithoutMadrid});
        db.addMessage({.address = "+15550102233", .text = "old layout", .flags = 2});
    }
    recorder.posts.clear();
    ctx.currentNodeIsiOS6Version = true;
    scanMessageThread(old.folder().string(), ctx);
    messages = recorder.nodes<ZNMessageNode>(kScanMessageInfo);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->messageContent(), "old layout");
    EXPECT_EQ(messages[0]->messagePhone(), "+15550102233");
    EXPECT_EQ(messages[0]->messageType(), "Received");
    EXPECT_FALSE(messages[0]->bImessage());
}

TEST_F(LiveReaderTest, MessageDatabaseWithoutAKnownLayoutLogsAndStillPostsProgress) {
    {
        sqlite3* db = nullptr;
        sqlite3_open(backup.databasePath(DatabaseKind::Messages).c_str(), &db);
        sqlite3_exec(db, "create table unrelated(x)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    scanMessageThread(folder(), ctx);
    EXPECT_EQ(log, std::vector<std::string>{"[CsmsModule] sqlite3_prepare smsdb failed!"});
    EXPECT_EQ(recorder.progress(), std::vector<int>{50});
}

TEST_F(LiveReaderTest, CallsDeriveTypeDurationAndUseTheSecondFileName) {
    {
        CallDbBuilder db(backup.databasePath(DatabaseKind::CallHistoryAlternative));
        db.addCall({.address = "555", .duration = 0, .flags = call_flags::kOutgoing});
        db.addCall({.address = "556", .duration = 0, .flags = call_flags::kIncoming});
        db.addCall({.address = "557", .duration = 75});
        db.addCall({.address = "558", .duration = 7260, .flags = call_flags::kOutgoing});
    }
    scanCallHistoryThread(folder(), ctx);
    const auto calls = recorder.nodes<ZNCallHistoryNode>(kScanCallHistoryInfo);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0]->callType() + "/" + calls[0]->callDuration(), "Outgoing/Cancelled");
    EXPECT_EQ(calls[1]->callType() + "/" + calls[1]->callDuration(), "Incoming/Missed");
    EXPECT_EQ(calls[2]->callDuration(), "1 minute");
    EXPECT_EQ(calls[3]->callDuration(), "2 hours");
    EXPECT_EQ(calls[2]->callTime(), 75);
    EXPECT_EQ(calls[0]->callDate(), "10-05-2012 14:22");
    EXPECT_EQ(recorder.progress(), std::vector<int>{60});
}

TEST_F(LiveReaderTest, NotesAreReadInBothLayoutsAlsoWithoutABody) {
    for (NotesLayout layout : {NotesLayout::NoteTable, NotesLayout::CoreData}) {
        TempDir dir;
        BackupFolderBuilder b(dir.path() / "b");
        {
            NotesDbBuilder db(b.databasePath(DatabaseKind::Notes), {.layout = layout});
            db.addNote({.title = "Shopping", .body = "<div>eggs</div>"});
            db.addNote({.title = "Empty"});
        }
        recorder.posts.clear();
        scanNoteThread(b.folder().string(), ctx);
        const auto notes = recorder.nodes<ZNNoteNode>(kScanNoteInfo);
        ASSERT_EQ(notes.size(), 2u) << static_cast<int>(layout);
        EXPECT_EQ(notes[0]->noteTitle(), "Shopping");
        EXPECT_EQ(notes[0]->noteContent(), "eggs");  // the HTML body as plain text
        EXPECT_EQ(notes[0]->noteDate(), "10-05-2012 14:22");
        EXPECT_EQ(notes[1]->noteContent(), "");
        EXPECT_EQ(recorder.progress(), std::vector<int>{70});
    }
}

TEST_F(LiveReaderTest, PhotoCandidatesAndProgressCheckpoints) {
    fs::create_directories(tmp.path() / "photos");
    const std::string dir = (tmp.path() / "photos").string();
    std::ofstream(dir + "/small", std::ios::binary) << std::string(49999, 'x');
    std::ofstream(dir + "/big", std::ios::binary) << std::string(50000, 'x');
    scanPhotoAndVideoThread(dir, ctx);
    EXPECT_EQ(recorder.paths(), std::vector<std::string>{dir + "/big"});
    EXPECT_EQ(recorder.progress(),
              (std::vector<int>{1, 2, 3}));  // before entries 0 and 1, then after

    for (int i = 0; i < 8; ++i) std::ofstream(dir + "/f" + std::to_string(i)) << "x";
    recorder.posts.clear();
    scanPhotoAndVideoThread(dir, ctx);  // 10 entries
    std::vector<int> expected;
    for (int v = 1; v <= 11; ++v) expected.push_back(v);
    EXPECT_EQ(recorder.progress(), expected);

    for (int i = 8; i < 40; ++i) std::ofstream(dir + "/f" + std::to_string(i)) << "x";
    recorder.posts.clear();
    scanPhotoAndVideoThread(dir, ctx);  // 42 entries: every checkpoint distinct
    EXPECT_EQ(recorder.progress().size(), 30u);
    EXPECT_EQ(recorder.progress().back(), 30);

    recorder.posts.clear();
    scanPhotoAndVideoThread((tmp.path() / "does-not-exist").string(), ctx);
    EXPECT_TRUE(recorder.posts.empty());
}

}  // namespace
}  // namespace marlowen
