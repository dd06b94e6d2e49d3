// The carver on address books written by SQLite: rows inserted, then
// deleted with secure_delete off, come back from the file's free space.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "carve_run.h"
#include "core/extract/contacts_reader.h"
#include "core/results/result_intake.h"
#include "core/scan/scan_controller.h"
#include "support/address_book_builder.h"

namespace marlowen::carve {
namespace {

namespace fs = std::filesystem;

std::string nameOf(int i) {
    return "Person" + std::to_string(i);
}

// An address book of `count` persons, each with a phone and an e-mail
// address; the persons in `deleted` are then deleted.
void writeBook(const fs::path& path, int count, const std::set<int>& deleted) {
    fixture::AddressBookBuilder book(path);
    book.begin();
    for (int i = 0; i < count; ++i) {
        fixture::PersonSpec person;
        person.first = nameOf(i);
        person.last = "Lee";
        person.jobTitle = "Job" + std::to_string(i);
        person.nickname = "Nick" + std::to_string(i);
        const int64_t id = book.addPerson(person);
        book.addPhone(id, "555-01" + std::to_string(i));
        book.addEmail(id, "p" + std::to_string(i) + "@example.com");
    }
    book.commit();
    for (int i : deleted) book.deletePerson(i + 1);  // row ids count from 1
}

TEST(DeletedContacts, DeletedPersonsComeBackWithTheirNames) {
    fixture::TempDir backup;
    const std::set<int> deleted = {2, 3, 7, 11, 19};
    writeBook(backup.path() / kContactsDatabase.fileID(), 20, deleted);

    const testing::CarveRun run = testing::runCarver(backup.path().string());
    EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelContacts}));
    std::map<std::string, std::vector<ContactNodePtr>> byName;
    for (const auto& c : run.posted) byName[c->contactName()].push_back(c);
    for (int i = 0; i < 20; ++i) {
        // Deleted and live rows alike (the receiver drops the live copies).
        const auto& found = byName[nameOf(i) + " Lee"];
        ASSERT_EQ(found.size(), 1u) << nameOf(i);
        // The job title is JobTitle, never Nickname.
        EXPECT_EQ(found[0]->contactJobtitle(), "Job" + std::to_string(i));
        if (deleted.count(i)) continue;
        // A live row keeps its cell prefix, so its row id and values.
        EXPECT_EQ(found[0]->rowid(), i + 1);
        EXPECT_EQ(found[0]->contactPhone(), " 555-01" + std::to_string(i));
        // Row id 1 is stored as the constant 1: the owner's e-mail row
        // starts 09 01 09 01 (owner, property, identifier 1, label 2), which
        // is not among the multi-value signatures, so it is not carved.
        EXPECT_EQ(found[0]->contactEmail(),
                  i == 0 ? "" : " p" + std::to_string(i) + "@example.com");
    }
}

TEST(DeletedContacts, TheIntakeListsDeletedOnesAndDropsCopiesOfLiveOnes) {
    fixture::TempDir backup;
    const std::set<int> deleted = {1, 4};
    writeBook(backup.path() / kContactsDatabase.fileID(), 8, deleted);

    NotificationCenter nc;
    ResultIntake intake(nc);
    intake.showView();
    ScanWorkingArrays arrays;
    ReaderContext ctx{nc, arrays, false, {}};
    scanContactThread(backup.path().string(), ctx);
    scanDelContactThread(backup.path().string(), ctx);

    std::multiset<std::string> live, carved;
    for (const auto& c : intake.contactArray())
        (c->bDeleted() ? carved : live).insert(c->contactName() + "|" + c->contactPhone());
    EXPECT_EQ(live.size(), 6u);
    EXPECT_EQ(intake.contactNum(), 6);
    for (const auto& key : carved) EXPECT_EQ(live.count(key), 0u) << key;  // copies dropped
    std::multiset<std::string> carvedNames;
    for (const auto& c : intake.contactArray())
        if (c->bDeleted()) carvedNames.insert(c->contactName());
    for (int i : deleted) EXPECT_EQ(carvedNames.count(nameOf(i) + " Lee"), 1u) << nameOf(i);
    EXPECT_EQ(intake.delContactNum(), static_cast<int>(carved.size()));
    EXPECT_EQ(intake.lastProgress(), kProgressDelContacts);
}

// Every file of a folder with its size, time and bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        files[entry.path().string()] =
            std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count()) + ":" +
            bytes;
    }
    return files;
}

TEST(DeletedContacts, TheScanCarvesAfterTheLiveReaderAndLeavesTheBackupAsItWas) {
    fixture::TempDir backup;
    writeBook(backup.path() / kContactsDatabase.fileID(), 6, {2});
    const auto before = snapshot(backup.path());

    for (ScanSequence sequence : {ScanSequence::Contacts, ScanSequence::Full}) {
        NotificationCenter nc;
        std::vector<int> progress;
        std::vector<std::string> order;
        ScopedObserver p(nc, kScanProgressInfo, [&](const Notification& n) {
            progress.push_back(std::any_cast<int>(n.object));
        });
        ScopedObserver live(nc, kScanContactInfo,
                            [&](const Notification&) { order.push_back("live"); });
        ScopedObserver carved(nc, kScanDelContactInfo,
                              [&](const Notification&) { order.push_back("carved"); });
        LogSink previous = setLogSink({});
        ScanController controller(nc);
        controller.ScanIOSBackUpFilehand({backup.path().string(), "6.1.3", false}, sequence,
                                         DeletedRecordSearch::Signatures);
        setLogSink(std::move(previous));

        ASSERT_GE(progress.size(), 2u);
        EXPECT_EQ(progress[progress.size() - 2], kProgressContacts);
        EXPECT_EQ(progress.back(), kProgressDelContacts);
        ASSERT_FALSE(order.empty());
        EXPECT_EQ(order.front(), "live");
        EXPECT_EQ(order.back(), "carved");
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), std::greater<>()));  // live first
    }
    EXPECT_EQ(snapshot(backup.path()), before);
}

}  // namespace
}  // namespace marlowen::carve
