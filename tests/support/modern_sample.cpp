#include "support/modern_sample.h"

#include "support/address_book_builder.h"
#include "support/call_db_builder.h"
#include "support/media_files.h"
#include "support/modern_stores.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {

DeviceInfo modernSampleDevice() {
    DeviceInfo d;
    d.deviceName = "Bea's phone";
    d.productType = "iPhone13,2";
    d.productVersion = "14.4";
    d.buildVersion = "18D52";
    d.syncSoftwareVersion = "12.11.3";
    d.uniqueIdentifier = "00008101000a1b2c3d4e5f60718293a4b5c6d7e8";
    d.lastBackup = utc(2022, 6, 1, 20, 0, 0);
    return d;
}

ModernSample writeModernSampleBackup(const std::filesystem::path& root,
                                     const ModernSampleOptions& options) {
    const DeviceInfo device = modernSampleDevice();
    ModernSample sample;
    sample.folder = root / device.uniqueIdentifier;
    TempDir staging;
    const std::filesystem::path dir = staging.path();

    {
        AddressBookBuilder book(dir / "AddressBook.sqlitedb");
        PersonSpec ann;
        ann.first = "Ann";
        ann.last = "Lee";
        book.addPhone(book.addPerson(ann), "+15550001111");
        PersonSpec carl;
        carl.first = "Carl";
        carl.last = "Berg";
        book.addPhone(book.addPerson(carl), "+15550002222");
        book.close();
    }
    {
        ModernMessageDbBuilder sms(dir / "sms.db");
        ModernMessagePlan m;
        m.address = "+15550001111";
        m.text = "Lunch at noon?";
        m.when = utc(2022, 5, 17, 8, 0);
        sms.addMessage(m);
        m.text = "Sure, see you there";
        m.archivedOnly = true;
        m.fromMe = true;
        m.when = utc(2022, 5, 17, 8, 5);
        const std::int64_t reply = sms.addMessage(m);
        sms.markRead(reply);
        ModernMessagePlan group;
        group.address = "+15550002222";
        group.groupName = "Climbing crew";
        group.text = "Rope is in the car";
        group.archivedOnly = true;
        group.when = utc(2022, 5, 18, 19, 30);
        group.attachments = {"~/Library/SMS/Attachments/ab/12/IMG_0101.HEIC"};
        sms.addMessage(group);
        ModernMessagePlan gone;
        gone.address = "+15550002222";
        gone.text = "Delete me after reading";
        gone.archivedOnly = true;
        gone.when = utc(2022, 5, 19, 7, 45);
        sms.deleteMessage(sms.addMessage(gone));
        sms.close();
    }
    {
        CallRecordDbBuilder calls(dir / "CallHistory.storedata");
        CallRecordPlan c;
        c.address = "+15550001111";
        c.when = utc(2022, 5, 20, 9, 0);
        c.duration = 75.4;
        c.originated = true;
        calls.addCall(c);
        c.address = "+15550002222";
        c.when = utc(2022, 5, 20, 10, 0);
        c.duration = 0;
        c.originated = false;
        c.answered = false;
        calls.addCall(c);
        c.address = "bea.friend@example.com";
        c.addressAsBlob = true;
        c.callType = call_type::kVideo;
        c.name = "Dana Friend";
        c.when = utc(2022, 5, 21, 18, 0);
        c.duration = 7260;
        c.answered = true;
        calls.addCall(c);
        CallRecordPlan deleted;
        deleted.address = "+15550009999";
        deleted.when = utc(2022, 5, 22, 12, 0);
        deleted.duration = 30;
        const std::int64_t id = calls.addCall(deleted);
        calls.deleteCallsWhere("Z_PK = " + std::to_string(id));
        calls.close();
    }
    if (options.withOldCallHistory) {
        CallDbBuilder old(dir / "call_history.db");
        CallSpec c;
        c.address = "+15550001111";
        c.when = utc(2013, 2, 1, 17, 5);
        c.duration = 120;
        c.flags = call_flags::kOutgoing;
        old.addCall(c);
        old.close();
    }
    {
        NoteStoreBuilder notes(dir / "NoteStore.sqlite");
        const std::int64_t folder = notes.addFolder("Notes");
        const std::int64_t trash = notes.addFolder("Recently Deleted", 1);
        NoteStorePlan n;
        n.title = "Shopping";
        n.text = "Shopping\nmilk\nbread";
        n.folder = folder;
        notes.addNote(n);
        n.title = "Old plan";
        n.text = "Old plan\nskip this";
        n.folder = trash;
        notes.addNote(n);
        n.title = "Bank";
        n.text = "Bank\nPIN 1234";
        n.folder = folder;
        n.locked = true;
        notes.addNote(n);
        NoteStorePlan gone;
        gone.title = "Gift ideas";
        gone.text = "Gift ideas\nbook for Carl";
        gone.folder = folder;
        notes.deleteNote(notes.addNote(gone));
        notes.close();
    }

    IndexedBackupWriter w(sample.folder, IndexKind::ManifestDb, options.encryption, device);
    w.addFile("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
              readFileBytes(dir / "AddressBook.sqlitedb"));
    w.addFile("HomeDomain", "Library/SMS/sms.db", readFileBytes(dir / "sms.db"));
    w.addFile("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata",
              readFileBytes(dir / "CallHistory.storedata"));
    if (options.withOldCallHistory)
        w.addFile("WirelessDomain", "Library/CallHistory/call_history.db",
                  readFileBytes(dir / "call_history.db"));
    w.addFile("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
              readFileBytes(dir / "NoteStore.sqlite"));

    // The camera roll: a JPEG, a PNG, a HEIC (its box header: what tells the
    // type), among app files that hold pictures too.
    Bytes heic = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c',
                  0, 0, 0, 0,    'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'};
    heic.resize(70000, 0);
    const std::vector<std::pair<std::string, Bytes>> roll = {
        {"Media/DCIM/100APPLE/IMG_0001.JPG", jpegImage()},
        {"Media/DCIM/100APPLE/IMG_0002.PNG", pngImage()},
        {"Media/PhotoData/CPLAssets/group42/0A1B2C3D.HEIC", heic}};
    for (const auto& [path, bytes] : roll) {
        w.addFile("CameraRollDomain", path, bytes);
        sample.cameraRoll.push_back(path);
    }
    w.addFile("AppDomain-org.example.chat", "Documents/photo.jpg", jpegImage());
    w.addFile("AppDomain-org.example.maps", "Library/Caches/tile.png", pngImage());
    w.finish();
    return sample;
}

}  // namespace marlowen::fixture
