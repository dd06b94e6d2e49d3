#include "record_carver_inputs.h"

#include <vector>

#include "core/carve/call_carver.h"
#include "core/carve/message_carver.h"
#include "core/carve/note_carver.h"
#include "core/log/log.h"

namespace marlowen::fuzz {
namespace {

// Less than the scan's budget, so a hostile input stays well inside the
// fuzzer's memory limit; the budget's own logic is the same.
constexpr size_t kBudget = size_t{256} << 20;

// The message carver's diagnostic lines would be written for every hit;
// the harness drops them (an empty sink), as a scan without --verbose does.
carve::PageReader readerOf(const uint8_t* data, size_t size) {
    static const bool silenced = [] {
        setLogSink({});
        return true;
    }();
    (void)silenced;
    return carve::PageReader::fromBytes(std::vector<uint8_t>(data, data + size));
}

// A live contact, so that the name lookup has something to compare.
ScanWorkingArrays withOneContact() {
    ScanWorkingArrays arrays;
    auto contact = std::make_shared<ZNContactNode>();
    contact->setContactName("Ann Lee");
    contact->setContactPhone(" +1 (555) 010-4477");
    arrays.contactArray.push_back(contact);
    return arrays;
}

}  // namespace

size_t carveMessagesFrom(const uint8_t* data, size_t size) {
    const carve::PageReader db = readerOf(data, size);
    size_t carved = 0;
    for (bool iOS6 : {true, false}) {
        NotificationCenter nc;
        ScanWorkingArrays arrays = withOneContact();
        ReaderContext ctx{nc, arrays, iOS6, {}};
        size_t budget = kBudget;
        carved += carve::carveDeletedMessages(db, ctx, budget).records;
    }
    return carved;
}

size_t carveNotesFrom(const uint8_t* data, size_t size) {
    const carve::PageReader db = readerOf(data, size);
    std::vector<NoteNodePtr> notes;
    std::vector<NoteValueNodePtr> bodies;
    size_t budget = kBudget;
    const size_t carved = carve::carveDeletedNotes(db, notes, bodies, budget).records;
    carve::joinNotesToBodies(notes, bodies, budget, [](const NoteNodePtr&) {});
    return carved;
}

size_t carveCallsFrom(const uint8_t* data, size_t size) {
    const carve::PageReader db = readerOf(data, size);
    size_t carved = 0;
    for (bool iOS6 : {true, false}) {
        NotificationCenter nc;
        ScanWorkingArrays arrays = withOneContact();
        ReaderContext ctx{nc, arrays, iOS6, {}};
        size_t budget = kBudget;
        carved += carve::carveDeletedCalls(db, ctx, budget).records;
    }
    return carved;
}

}  // namespace marlowen::fuzz
