// Corruption policy. The carver reads whatever bytes the file holds and
// never fails hard: it extracts what passes its tests and skips the rest.
// - A header page size that the file format does not allow (0, or not a
//   power of two from 512 to 65536 once a stored 1 is read as 65536) makes
//   every page position meaningless: the file is logged and nothing carved.
// - Every read goes through the page reader, which answers zeros outside the
//   file, so records cut off by the end of the file decode with zero bytes.
// - Counts and lengths taken from the file are bounded by what the formats
//   allow (serial types: one byte or at most 4095; content: at most 2041
//   bytes) and by the column buffer, one page in size; longer content is
//   cut to the buffer.
// - Searches for a zero byte never leave the file; the backward one stops at
//   its start.
// - The records and attached values of one run may take kDefaultCarveBudget
//   bytes; a file that matches more is carved up to there.
#include "core/carve/contact_carver.h"

#include <algorithm>

#include "core/carve/contact_records.h"
#include "core/carve/field_decoders.h"
#include "core/carve/hex_text.h"
#include "core/carve/page_walk.h"
#include "core/extract/database_files.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace carve {
namespace {

// abmultivalue.property codes that are attached to a carved person.
constexpr int32_t kPropertyPhone = 3;
constexpr int32_t kPropertyEmail = 4;
constexpr int32_t kPropertyWeb = 22;

size_t footprint(const ZNContactNode& c) {
    return sizeof(ZNContactNode) + kRecordOverhead + c.contactName().size() +
           c.contactCompany().size() + c.contactNote().size() + c.contactJobtitle().size();
}

size_t footprint(const DelContactValue& v) {
    return sizeof(DelContactValue) + kRecordOverhead + v.contactValue().size();
}

// The gates look at the first cell of a table leaf page only:
//
//   | page offset | size | holds                                         |
//   |-------------|------|-----------------------------------------------|
//   | 8           | 2    | offset c of the first cell (cell-pointer array)|
//   | c + 4       | 8    | multi-value gate: the serial types of a        |
//   |             |      | multi-value record stand here                  |
//   | c + 30      | 10   | person gate: the serial types of columns 27 to |
//   |             |      | 31 of a person record stand here               |
//
// Each gate is a window search over the hex text of those bytes with set 4
// (window 10 for persons, 8 for multi-values).
bool passesGate(const PageReader& db, int64_t at, int32_t bytes, int32_t window) {
    char text[kHexTextBuffer] = {};
    getHexString(db, at, bytes, text);
    return bcheckSubStringIsValid(text, 4, window);
}

}  // namespace

ContactCarveOutcome carveDeletedContacts(const PageReader& db,
                                         std::vector<ContactNodePtr>& contacts,
                                         std::vector<DelContactValuePtr>& values, size_t& budget,
                                         const std::function<bool()>& shouldStop) {
    ContactCarveOutcome outcome;
    outcome.pageSize = databasePageSize(db);
    if (!outcome.pageSize.valid()) return outcome;

    const int64_t pageSize = outcome.pageSize.pageSize;
    FieldBuffer field(static_cast<size_t>(pageSize));
    RowIdCounter rowIds;
    std::vector<uint8_t> scratch;
    const ContactSignatures& signatures = ContactSignatures::get();

    // From the page after the last whole one down to page 2; page 1 holds
    // the file header. That first page may be partial, or start at the end
    // of the file.
    const int64_t lastPage = db.size() / pageSize + 1;
    for (int64_t pgno = lastPage; pgno >= 2 && !(shouldStop && shouldStop()); --pgno) {
        const int64_t S = pageStart(pgno, pageSize);  // the page ends at S + pageSize
        if (getPageType(db, S) != 1) continue;        // table leaves only
        const int64_t c = (int64_t{db.byteAt(S + kLeafCellPointerArray)} << 8) |
                          db.byteAt(S + kLeafCellPointerArray + 1);
        const bool personGate = passesGate(db, S + c + 30, 10, 10);
        const bool valueGate = passesGate(db, S + c + 4, 8, 8);
        if (!personGate && !valueGate) continue;

        // The page and the 4 bytes after it: a signature may start in the
        // page's last bytes and run into the next page (or past the end of
        // the file, where it reads zeros).
        const uint8_t* page = db.run(S, static_cast<size_t>(pageSize) + 4, scratch);

        if (personGate) {
            // Every position of the page, upwards; a match does not skip.
            for (int64_t i = 0; i < pageSize; ++i) {
                if (!signatures.person(page + i)) continue;
                ContactNodePtr node = decodePersonRecord(db, S + i, field, rowIds);
                if (!spend(budget, footprint(*node))) {
                    outcome.stoppedAtBudget = true;
                    return outcome;
                }
                contacts.push_back(std::move(node));
            }
        }
        if (valueGate) {
            // From the page end down to S + 1; the first position reads the
            // following page's first 4 bytes.
            for (int64_t i = pageSize; i >= 1; --i) {
                if (!signatures.multiValue(page + i)) continue;
                DelContactValuePtr value = decodeMultiValueRecord(db, S + i, field);
                if (!spend(budget, footprint(*value))) {
                    outcome.stoppedAtBudget = true;
                    return outcome;
                }
                values.push_back(std::move(value));
            }
        }
    }
    return outcome;
}

DelContactValueIndex::DelContactValueIndex(const std::vector<DelContactValuePtr>& values) {
    for (const auto& value : values) byOwner_[value->rowID()].push_back(value.get());
}

bool DelContactValueIndex::attachTo(ZNContactNode& contact, size_t& budget) const {
    const auto found = byOwner_.find(contact.rowid());
    if (found == byOwner_.end()) return true;
    // Built here and stored once: appending through the setters would copy
    // the whole text for every value.
    std::string phone = contact.contactPhone();
    std::string email = contact.contactEmail();
    std::string homepage = contact.contactHomepage();
    bool complete = true;
    for (const DelContactValue* value : found->second) {
        std::string* target = nullptr;
        switch (value->valueType()) {
            case kPropertyPhone:
                target = &phone;
                break;
            case kPropertyEmail:
                target = &email;
                break;
            case kPropertyWeb:
                target = &homepage;
                break;
            default:
                continue;  // addresses and other codes are not attached
        }
        if (!spend(budget, 1 + value->contactValue().size())) {
            complete = false;
            break;
        }
        *target += ' ';
        *target += value->contactValue();
    }
    contact.setContactPhone(std::move(phone));
    contact.setContactEmail(std::move(email));
    contact.setContactHomepage(std::move(homepage));
    return complete;
}

}  // namespace carve

void scanDelContactThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto source =
        carve::openToCarve(backupPath, ctx, kContactsDatabase, nullptr, "contactDB is not exist");
    if (!source) return;
    const std::string& dbPath = source->db.storedPath;
    const carve::PageReader& db = source->file;

    auto& contacts = ctx.arrays.delContactArray;
    auto& values = ctx.arrays.delContactValueArray;
    size_t budget = carve::kDefaultCarveBudget;
    const carve::ContactCarveOutcome outcome = carve::carveDeletedContacts(
        db, contacts, values, budget, [&ctx] { return ctx.stopping(); });
    if (!outcome.pageSize.valid()) {
        logLine(dbPath + ": page size " + std::to_string(outcome.pageSize.stored) +
                " is not valid; no contacts carved");
    }
    if (outcome.stoppedAtBudget) {
        logLine(dbPath + ": contact carving stopped at " + std::to_string(contacts.size()) +
                " contacts and " + std::to_string(values.size()) + " values (memory limit)");
    }

    // Each contact gets its values just before it is posted; the receiver
    // has handled one contact before the next is merged.
    const carve::DelContactValueIndex index(values);
    bool attachedAll = true;
    const std::string where = foundInText(source->db.relativePath, "signature search");
    for (const ContactNodePtr& contact : contacts) {
        contact->setFoundIn(where);
        if (attachedAll && !index.attachTo(*contact, budget)) {
            attachedAll = false;
            logLine(dbPath + ": carved values no longer attached (memory limit)");
        }
        ctx.nc.postNotificationName(kScanDelContactInfo, contact);
    }
    ctx.postProgress(kProgressDelContacts);
}

}  // namespace marlowen
