#include "core/results/result_intake.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/notify/scan_notifications.h"
#include "core/results/media_kind.h"
#include "support/file_bytes.h"
#include "support/media_files.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

// Writes `bytes` as the file `name` of `dir`; answers its path.
std::string writeFile(const fixture::TempDir& dir, const char* name, const fixture::Bytes& bytes) {
    fixture::writeFileBytes(dir.path() / name, bytes);
    return (dir.path() / name).string();
}

ContactNodePtr contact(std::string name, std::string phone) {
    auto c = std::make_shared<ZNContactNode>();
    c->setContactName(std::move(name));
    c->setContactPhone(std::move(phone));
    return c;
}

MessageNodePtr message(std::string phone, std::string content, std::string date) {
    auto m = std::make_shared<ZNMessageNode>();
    m->setMessagePhone(std::move(phone));
    m->setMessageContent(std::move(content));
    m->setMessageDate(std::move(date));
    return m;
}

class IntakeTest : public ::testing::Test {
protected:
    NotificationCenter nc;
    ResultIntake intake{nc};
};

TEST_F(IntakeTest, CarvedContactsAreDroppedOnlyWhenNameAndPhoneBothRepeat) {
    nc.postNotificationName(kScanContactInfo, contact("Ann", " 555"));
    nc.postNotificationName(kScanDelContactInfo, contact("Ann", " 555"));  // live copy
    nc.postNotificationName(kScanDelContactInfo, contact("Ann", " 556"));  // other phone
    nc.postNotificationName(kScanDelContactInfo, contact("Ann", " 556"));  // repeats a carved one
    nc.postNotificationName(kScanDelContactInfo, contact("Ann 5", "55"));  // no run-together match

    ASSERT_EQ(intake.contactArray().size(), 3u);
    EXPECT_FALSE(intake.contactArray()[0]->bDeleted());
    EXPECT_TRUE(intake.contactArray()[1]->bDeleted());
    EXPECT_EQ(intake.contactArray()[2]->contactName(), "Ann 5");
    EXPECT_EQ(intake.BackUpFilesNum(), 1);
    EXPECT_EQ(intake.contactNum(), 1);
    EXPECT_EQ(intake.deleteeFilesNum(), 2);
    EXPECT_EQ(intake.delContactNum(), 2);
}

TEST_F(IntakeTest, CarvedMessagesNeedAPhoneOrContentAndADifferentKey) {
    nc.postNotificationName(kScanMessageInfo, message("555", "hi", "01-01-2013 10:00"));
    nc.postNotificationName(kScanDelMessageInfo, message("", "", "01-01-2013 10:00"));
    nc.postNotificationName(kScanDelMessageInfo, message("555", "hi", "01-01-2013 10:00"));
    nc.postNotificationName(kScanDelMessageInfo, message("555", "hi", "01-01-2013 10:01"));
    ASSERT_EQ(intake.messageArray().size(), 2u);
    EXPECT_TRUE(intake.messageArray()[1]->bDeleted());
    EXPECT_EQ(intake.delMessageNum(), 1);
}

TEST_F(IntakeTest, NotesRepeatByContentAloneAndCallsByPhoneAndDate) {
    auto note = [](std::string title, std::string content) {
        auto n = std::make_shared<ZNNoteNode>();
        n->setNoteTitle(std::move(title));
        n->setNoteContent(std::move(content));
        return n;
    };
    nc.postNotificationName(kScanNoteInfo, note("A", "body"));
    nc.postNotificationName(kScanDelNoteInfo, note("Other title", "body"));
    nc.postNotificationName(kScanDelNoteInfo, note("", ""));
    nc.postNotificationName(kScanDelNoteInfo, note("Title only", ""));
    EXPECT_EQ(intake.noteArray().size(), 2u);
    EXPECT_EQ(intake.delNoteNum(), 1);

    auto call = [](std::optional<std::string> name, std::string phone, std::string date) {
        auto c = std::make_shared<ZNCallHistoryNode>();
        c->setCallName(std::move(name));
        c->setCallPhone(std::move(phone));
        c->setCallDate(std::move(date));
        return c;
    };
    nc.postNotificationName(kScanCallHistoryInfo, call(std::nullopt, "555", "d1"));
    nc.postNotificationName(kScanDelCallHistoryInfo,
                            call(std::nullopt, "", "d1"));  // no name, no phone
    nc.postNotificationName(kScanDelCallHistoryInfo,
                            call("Ann", "555", "d1"));  // same phone and date
    nc.postNotificationName(kScanDelCallHistoryInfo, call(std::nullopt, "555", "d2"));
    EXPECT_EQ(intake.callHistoryArray().size(), 2u);
    EXPECT_EQ(intake.delCallNum(), 1);
}

TEST_F(IntakeTest, PhotosAndMoviesAreNumberedApartAndOtherFilesDropped) {
    fixture::TempDir dir;
    auto write = [&](const char* name, const fixture::Bytes& bytes) {
        return writeFile(dir, name, bytes);
    };
    int mainThreadHops = 0;
    intake.setMainThreadRunner([&](const std::function<void()>& work) {
        ++mainThreadHops;
        work();
    });
    nc.postNotificationName(kScanPhotoAndVideoInfo, write("a", fixture::jpegImage()));
    nc.postNotificationName(kScanPhotoAndVideoInfo, write("b", fixture::pngImage()));
    nc.postNotificationName(kScanPhotoAndVideoInfo, write("c", fixture::quickTimeMovie()));
    nc.postNotificationName(kScanPhotoAndVideoInfo, write("d", fixture::Bytes(60000, 0x0f)));

    const auto& list = intake.photoAndVideoArray();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->fileNodeName(), "00000001.jpg");
    EXPECT_EQ(list[1]->fileNodeName(), "00000002.png");  // a PNG keeps its own extension
    EXPECT_EQ(list[2]->fileNodeName(), "00000001.mov");
    EXPECT_TRUE(list[2]->bmov());
    EXPECT_EQ(list[2]->fileNodeSize(), "60.00K");
    EXPECT_EQ(intake.photovideoNum(), 3);
    EXPECT_EQ(mainThreadHops, 4);
}

// The detector reads only a file's first bytes: each kind is still told,
// in a file far larger than what it reads, and no other file passes.
TEST(MediaKindDetectorTest, EachKindIsToldByItsFirstBytesWhateverTheFileSize) {
    fixture::TempDir dir;
    auto write = [&](const char* name, const fixture::Bytes& bytes) {
        return writeFile(dir, name, bytes);
    };
    // An ISO media file's first box: 24 bytes of "ftyp", brand heic.
    const std::uint8_t ftyp[] = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c',
                                 0, 0, 0, 0,    'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'};
    fixture::Bytes heic(70000, 0);
    std::copy(std::begin(ftyp), std::end(ftyp), heic.begin());
    const std::string text(60000, 'a');
    const std::string gif = std::string("GIF89a") + std::string(40, '\x01');
    MediaKindDetector detector;
    const std::pair<std::string, MediaKindDetector::Detected> cases[] = {
        {write("small.jpg", fixture::jpegImage()), {MediaKind::Image, ".jpg"}},
        {write("large.jpg", fixture::jpegImage(12 * 1024 * 1024)), {MediaKind::Image, ".jpg"}},
        {write("p", fixture::pngImage()), {MediaKind::Image, ".png"}},
        {write("h", heic), {MediaKind::Image, ".heic"}},
        {write("q", fixture::quickTimeMovie()), {MediaKind::Movie, ".mov"}},
        {write("m", fixture::mp4Movie(9 * 1024 * 1024)), {MediaKind::Movie, ".mov"}},
        {write("t", fixture::Bytes(text.begin(), text.end())), {}},
        {write("z", fixture::Bytes(60000, 0x0f)), {}},
        {write("g", fixture::Bytes(gif.begin(), gif.end())), {MediaKind::Image, ".gif"}},
        // Too short for any signature: neither the JPEG marker nor a crash.
        {write("two", fixture::Bytes{0xff, 0xd8}), {}},
        {write("empty", fixture::Bytes{}), {}},
    };
    for (const auto& [path, expected] : cases) {
        const auto found = detector.detectWithExtension(path);
        EXPECT_EQ(found.kind, expected.kind) << path;
        EXPECT_EQ(found.extension, expected.extension) << path;
    }
    // A FIFO no one writes to is no picture, and asking does not wait.
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(detector.detectWithExtension(fifo).kind, MediaKind::Other);
    EXPECT_EQ(detector.detect(fifo), MediaKind::Other);
}

TEST_F(IntakeTest, ShowViewResetsCountersButKeepsListsUntilReleased) {
    nc.postNotificationName(kScanContactInfo, contact("Ann", ""));
    nc.postNotificationName(kScanProgressInfo, 40);
    EXPECT_EQ(intake.lastProgress(), 40);
    intake.showView();
    EXPECT_EQ(intake.BackUpFilesNum(), 0);
    EXPECT_EQ(intake.contactArray().size(), 1u);
    intake.releaseUIMemory();
    EXPECT_TRUE(intake.contactArray().empty());
    // After release, a carved copy of a released contact is new again.
    nc.postNotificationName(kScanDelContactInfo, contact("Ann", ""));
    EXPECT_EQ(intake.contactArray().size(), 1u);
}

}  // namespace
}  // namespace marlowen
