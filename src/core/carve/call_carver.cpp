// Corruption policy. The carver reads whatever bytes the file holds and
// never fails hard: every position that shows a call signature on a page
// that passes the gate yields a posted call, however empty, and everything
// else is skipped.
// - A header page size that the file format does not allow (0, or not a
//   power of two from 512 to 65536 once a stored 1 is read as 65536) makes
//   every page position meaningless: the file is logged and nothing carved.
// - Every read goes through the page reader, which answers zeros outside the
//   file; a signature in a page's last byte reads on into the next page.
// - Serial types are read one byte each and content is cut to the column
//   buffer, one page in size.
// - The backward search for the header length byte stops at the start of
//   the file and costs constant time (byte_search.h).
// - The calls of one run may take kDefaultCarveBudget bytes; a file that
//   matches more is carved up to there.
#include "core/carve/call_carver.h"

#include "core/carve/call_marks.h"
#include "core/carve/field_text.h"
#include "core/carve/hex_text.h"
#include "core/carve/record_reads.h"
#include "core/extract/database_files.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace carve {
namespace {

// `flags` of an outgoing call; every other value is an incoming one.
constexpr int32_t kFlagsOutgoing = 5;

// The header length of every call record of a phone of OS 6, less one.
constexpr int32_t kIOS6HeaderLength = 9;

// When neither the page nor the record supplies the header length: 9 when
// the serial type at t + 4 (column 8, country_code) is a two-character text,
// else 8.
constexpr int32_t kHeaderLengthWithCountry = 9;
constexpr int32_t kHeaderLengthWithout = 8;

// A call record of the `call` table (ROWID, address, date, duration, flags,
// id, name, country_code, network_code, ...) as the carver places it, from
// t, the position of the signature:
//
//   | position       | holds                                               |
//   |----------------|-----------------------------------------------------|
//   | t - 5          | header length (10 for the 9 columns of older phones)|
//   | t - 4          | serial type of ROWID, the row id alias: 0 (NULL)    |
//   | t - 4 + k      | serial type of column k: 1 address, 2 date,         |
//   |                | 3 duration, 4 flags, 5 id                           |
//   | t - 4 + h      | first content byte (address's); h = header length-1 |
//
// The signature is the serial types of flags and id (set 1): flags a 1- or
// 3-byte integer, id a 1- or 2-byte integer or the constant 1. Comparing
// the two bytes is comparing their hex text, since every byte has exactly
// one.
bool isCallSignature(uint8_t flagsType, uint8_t idType) {
    return (flagsType == 0x01 || flagsType == 0x03) &&
           (idType == 0x01 || idType == 0x02 || idType == 0x09);
}

size_t footprint(const ZNCallHistoryNode& c) {
    return sizeof(ZNCallHistoryNode) + kRecordOverhead + c.callPhone().size() +
           c.callDate().size() + c.callDuration().size() + c.callName().size();
}

// The page gate looks at the first cell of a leaf page:
//
//   | page offset | size | holds                                          |
//   |-------------|------|------------------------------------------------|
//   | 8           | 2    | offset c of the first cell (cell-pointer array)|
//   | c + 3       | 1    | serial type of ROWID behind a 2-byte payload   |
//   |             |      | length and a 1-byte row id (see G below)       |
//   | c + 7       | 6    | the call signature stands in bytes 7 to 9 of   |
//   |             |      | the cell, as the cell prefix is 2 to 4 bytes   |
//
// The gate: windows of 6 hex characters over the 12 of c + 7 (starts 0 to
// 5) begin with a call signature.
bool passesGate(const PageReader& db, int64_t cell) {
    return windowMatches(db, cell + 7, 6, 1, 6);
}

}  // namespace

int32_t callHeaderLength(const ByteSearch& file, int64_t t, bool iOS6, int32_t& pageHeaderLength) {
    if (iOS6) return kIOS6HeaderLength;
    if (pageHeaderLength != 0) return pageHeaderLength;
    // The record's own try: the zero nearest at or below t - 5, where its
    // header length byte stands; once one answers, it serves the page.
    const int32_t found = accquireFieldLength(file, t - 5);
    if (found != 0) {
        pageHeaderLength = found;
        return found;
    }
    return accquireField(file.db(), t + 4) ? kHeaderLengthWithCountry : kHeaderLengthWithout;
}

CallHistoryNodePtr decodeCallRecord(const PageReader& db, int64_t t, int32_t h, FieldBuffer& field,
                                    ReaderContext& ctx) {
    auto call = std::make_shared<ZNCallHistoryNode>();
    // Columns 1 to 4, one-byte serial types, header start t - 4. A column
    // the decoder does not take leaves the field empty: an empty number,
    // the date of the value 0, a length of 0, incoming.
    RecordReads reads(db, field);
    const FieldValue address = reads.read(Read::OneByte, 1, t - 4, h);
    if (!address.asText().empty()) call->setCallPhone(GetStringFormChar(address.asText()));
    const FieldValue date = reads.read(Read::OneByte, 2, t - 4, h);
    call->setCallDate(formatRecordDate(fieldAsInt64(date.number()), kDateKindMessageOrCall));
    call->setCallTime(fieldAsInt32(reads.read(Read::OneByte, 3, t - 4, h).number()));
    const FieldValue flags = reads.read(Read::OneByte, 4, t - 4, h);
    call->setCallType(fieldAsInt32(flags.number()) == kFlagsOutgoing ? "Outgoing" : "Incoming");
    if (call->callTime() != 0) {
        call->setCallDuration(getCallHistoryDuration(call->callTime()));
    } else {
        call->setCallDuration(call->callType() == "Outgoing" ? "Cancelled" : "Missed");
    }
    if (characterCount(call->callPhone()) >= 2)
        call->setCallName(ctx.getNameByPhoneNumber(call->callPhone()));
    return call;
}

CarveOutcome carveDeletedCalls(const PageReader& db, ReaderContext& ctx, size_t& budget) {
    CarveOutcome outcome;
    outcome.pageSize = databasePageSize(db);
    if (!outcome.pageSize.valid()) return outcome;

    const int64_t pageSize = outcome.pageSize.pageSize;
    const int64_t lastPage = lastWholePage(db, outcome.pageSize);
    const bool iOS6 = ctx.currentNodeIsiOS6Version;
    const ByteSearch file(db);
    FieldBuffer field(static_cast<size_t>(pageSize));
    std::vector<uint8_t> scratch;

    // Page 1 holds the file header and is never a b-tree page to the walk.
    for (int64_t pgno = 2; pgno <= lastPage && !ctx.stopping(); ++pgno) {
        const int64_t S = pageStart(pgno, pageSize);
        const int32_t type = getPageType(db, S);
        if (type != 1 && type != 4) continue;  // table and index leaves only
        const int64_t cell = S + get2byte(db, S + kLeafCellPointerArray);
        if (!passesGate(db, cell)) continue;
        // G, the page's header length less one: from the first cell, whose
        // byte c + 3 is its ROWID serial type when the cell prefix is 3
        // bytes long.
        int32_t pageHeaderLength = iOS6 ? 0 : accquireFieldLength(file, cell + 3);

        // The page and the byte after it: a signature may start in the
        // page's last byte.
        const uint8_t* page = db.run(S, static_cast<size_t>(pageSize) + 1, scratch);
        for (int64_t i = 0; i < pageSize; ++i) {
            if (!isCallSignature(page[i], page[i + 1])) continue;
            const int64_t t = S + i;
            const int32_t h = callHeaderLength(file, t, iOS6, pageHeaderLength);
            CallHistoryNodePtr call = decodeCallRecord(db, t, h, field, ctx);
            if (!spend(budget, footprint(*call))) {
                outcome.stoppedAtBudget = true;
                return outcome;
            }
            ++outcome.records;
            call->setFoundIn(signatureSearchIn(kCallHistoryDatabase));
            ctx.nc.postNotificationName(kScanDelCallHistoryInfo, std::move(call));
        }
    }
    return outcome;
}

}  // namespace carve

void scanDelCallHistoryThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto source = carve::openToCarve(backupPath, ctx, kCallHistoryDatabase,
                                           &kCallHistoryAltDatabase, "messageDB is not exist");
    if (!source) return;
    const std::string& dbPath = source->db.storedPath;
    const carve::PageReader& db = source->file;

    size_t budget = carve::kDefaultCarveBudget;
    const carve::CarveOutcome outcome = carve::carveDeletedCalls(db, ctx, budget);
    if (!outcome.pageSize.valid())
        logLine(carve::damagedPageSizeLine(dbPath, outcome.pageSize, "calls"));
    if (outcome.stoppedAtBudget) logLine(carve::budgetLine(dbPath, outcome, "call"));
    ctx.postProgress(kProgressDelCalls);
}

}  // namespace marlowen
