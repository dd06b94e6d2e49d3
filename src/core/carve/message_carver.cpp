// Corruption policy. The carver reads whatever bytes the file holds and
// never fails hard: every position that shows a record signature on a page
// that passes its page test yields a record (signature B records pass one
// more test), and everything else is skipped.
// - A header page size that the file format does not allow (0, or not a
//   power of two from 512 to 65536 once a stored 1 is read as 65536) makes
//   every page position meaningless: the file is logged and nothing carved.
// - Every read goes through the page reader, which answers zeros outside the
//   file; a record near a page end reads on into the next page.
// - Serial types are read as one byte, or as a two-byte varint of at most
//   4095, and content is cut to the column buffer, one page in size.
// - The forward search for the zero behind a header length ends at the end
//   of the file and costs constant time (byte_search.h).
// - The records of one run may take kDefaultCarveBudget bytes; a file that
//   matches more is carved up to there.
// - Chats are matched to messages through a table by row id, so a file full
//   of both costs no more than reading it.
#include "core/carve/message_carver.h"

#include <string_view>
#include <unordered_map>

#include "core/carve/byte_search.h"
#include "core/carve/field_decoders.h"
#include "core/carve/field_text.h"
#include "core/carve/hex_text.h"
#include "core/carve/message_marks.h"
#include "core/carve/message_records.h"
#include "core/extract/database_files.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace carve {
namespace {

// Pages at these offsets are named in diagnostic lines.
constexpr int64_t kChatDiagnosticPage = 28672;
constexpr int64_t kMessageDiagnosticPage = 122880;

// The line names the page by its offset in pages (30 for 4 KiB pages), one
// below its page number, as it always has.
std::string messageDiagnosticLine(int64_t pageSize) {
    return "m===" + std::to_string(kMessageDiagnosticPage / pageSize);
}

// Signature B records closer than this to the page's last signature A
// record are kept only with a phone or a known direction.
constexpr int64_t kSignatureBDistance = 399;

// Page header values the page tests read, as offsets from the page start P:
//
//   | offset | size | holds                                              |
//   |--------|------|----------------------------------------------------|
//   | 5      | 2    | Z, start of the cell content area                  |
//   | 8      | 2    | c1, first cell pointer                             |
//   | 10     | 2    | c2, second cell pointer                            |
//   | 12     | 2    | c3, third cell pointer                             |
//
// Read the same way on table interior pages (where offset 8 starts the
// right-most child pointer), which the OS 6 walk also tests.
struct PageHeader {
    int64_t Z, c1, c2, c3;
};

PageHeader pageHeaderOf(const PageReader& db, int64_t P) {
    return {get2byte(db, P + 5), get2byte(db, P + kLeafCellPointerArray), get2byte(db, P + 10),
            get2byte(db, P + 12)};
}

// The hex text of `bytes` bytes at `at`, for the OS 6 window tests.
struct HexText {
    char text[kHexTextBuffer] = {};
    HexText(const PageReader& db, int64_t at, int32_t bytes) { getHexString(db, at, bytes, text); }
};

size_t footprint(const ZNMessageNode& m) {
    return sizeof(ZNMessageNode) + kRecordOverhead + m.messagePhone().size() +
           m.messageContent().size() + m.messageDate().size() + m.messageName().size();
}

size_t footprint(const ZNChatMessageNode& c) {
    return sizeof(ZNChatMessageNode) + kRecordOverhead + c.phoneValue().size();
}

// A "%@" of a name the lookup did not find shows as "(null)".
std::string shownName(const ZNMessageNode& m) {
    return m.hasMessageName() ? m.messageName() : "(null)";
}

// The page field width E of the WAL-header layout from GetFildLength's
// answer: 17 or 33 columns' worth of header; 0 while unknown.
int32_t fieldWidthOf(int32_t answer) {
    return answer == 1 ? 17 : answer == 2 ? 33 : 0;
}

class MessageWalk {
public:
    MessageWalk(const PageReader& db, ReaderContext& ctx, size_t& budget, CarveOutcome& outcome)
        : db_(db),
          file_(db),
          ctx_(ctx),
          budget_(budget),
          outcome_(outcome),
          pageSize_(outcome.pageSize.pageSize),
          field_(static_cast<size_t>(pageSize_)) {}

    // Each answers false when the walk stopped at the budget.
    // Each takes a page number (from 1, as the file format counts).
    bool iOS6Page(int64_t pgno);
    bool walHeaderPage(int64_t pgno);
    bool legacyPage(int64_t pgno);
    // False when some messages were posted without their chat's phone
    // (memory limit).
    bool postIOS6Messages();

private:
    bool charge(size_t cost) {
        if (!spend(budget_, cost)) {
            outcome_.stoppedAtBudget = true;
            return false;
        }
        ++outcome_.records;
        return true;
    }
    // The page and `tail` bytes after it, so that a signature in the page's
    // last bytes reads on into the next page.
    const uint8_t* pageBytes(int64_t P, size_t tail) {
        return db_.run(P, static_cast<size_t>(pageSize_) + tail, scratch_);
    }

    const PageReader& db_;
    const ByteSearch file_;
    ReaderContext& ctx_;
    size_t& budget_;
    CarveOutcome& outcome_;
    const int64_t pageSize_;
    FieldBuffer field_;
    std::vector<uint8_t> scratch_;
};

// OS 6 layout: table leaf and table interior pages.
//  - Chat test: windows of 10 over the hex text of the 14 bytes at P + c1 + 3
//    begin with "010155" (bcheckChatIOS6SubStringIsValid); then every chat
//    signature of the page is decoded, the row ids counting from 0.
//  - Message test: windows of 10 over the 14 bytes at P + c2 + 4, P + c1 + 4,
//    P + c3 + 4 or P + 8 + Z begin with "0800010000"
//    (bcheckMessageIOS6SubStringIsValid), or the page is an interior page;
//    then every message signature of the page is decoded.
bool MessageWalk::iOS6Page(int64_t pgno) {
    const int64_t P = pageStart(pgno, pageSize_);
    const int32_t type = getPageType(db_, P);
    if (type != 1 && type != 2) return true;
    const PageHeader header = pageHeaderOf(db_, P);
    if (P == kChatDiagnosticPage) logLine("dd");

    if (bcheckChatIOS6SubStringIsValid(HexText(db_, P + header.c1 + 3, 14).text, 10)) {
        int32_t previousRowId = 0;
        const uint8_t* page = pageBytes(P, 2);
        for (int64_t i = 0; i < pageSize_; ++i) {
            if (!isChatSignature(page + i)) continue;
            ChatMessageNodePtr chat = decodeChatRecord(db_, P + i, field_, previousRowId);
            if (!charge(footprint(*chat))) return false;
            ctx_.arrays.chatMessageArray.push_back(std::move(chat));
        }
    }

    if (P == kMessageDiagnosticPage) logLine(messageDiagnosticLine(pageSize_));
    const bool qualifies =
        bcheckMessageIOS6SubStringIsValid(HexText(db_, P + header.c2 + 4, 14).text, 10) ||
        bcheckMessageIOS6SubStringIsValid(HexText(db_, P + header.c1 + 4, 14).text, 10) ||
        bcheckMessageIOS6SubStringIsValid(HexText(db_, P + header.c3 + 4, 14).text, 10) ||
        bcheckMessageIOS6SubStringIsValid(HexText(db_, P + 8 + header.Z, 14).text, 10) || type == 2;
    if (!qualifies) return true;
    const uint8_t* page = pageBytes(P, 3);
    for (int64_t i = 0; i < pageSize_; ++i) {
        if (!isIOS6MessageSignature(page + i)) continue;
        MessageNodePtr message = decodeIOS6Message(db_, P + i, field_);
        if (!charge(footprint(*message))) return false;
        ctx_.arrays.messageArray.push_back(std::move(message));
    }
    return true;
}

// After the walk: each OS 6 message takes the phone of the last chat whose
// row id equals its handle_id (none: the phone stays empty), its name when
// the phone is longer than one character, and is posted in the order found.
// Chats found on later pages serve messages of earlier ones. Each phone
// taken is charged to the budget (many messages may share one long chat
// text); once one does not fit, the rest are posted without.
bool MessageWalk::postIOS6Messages() {
    std::unordered_map<int32_t, const std::string*> phoneOfRowId;
    for (const ChatMessageNodePtr& chat : ctx_.arrays.chatMessageArray)
        phoneOfRowId[chat->rowid()] = &chat->phoneValue();  // a later chat wins
    bool complete = true;
    for (const MessageNodePtr& message : ctx_.arrays.messageArray) {
        if (const auto found = phoneOfRowId.find(message->handle_id());
            found != phoneOfRowId.end() && complete) {
            if (spend(budget_, found->second->size()))
                message->setMessagePhone(*found->second);
            else
                complete = false;
        }
        if (characterCount(message->messagePhone()) > 1)
            message->setMessageName(ctx_.getNameByPhoneNumber(message->messagePhone()));
        message->setFoundIn(signatureSearchIn(kMessagesDatabase));
        ctx_.nc.postNotificationName(kScanDelMessageInfo, message);
    }
    return complete;
}

// WAL-header layout: table leaf pages whose first cells show signature set
// 2 (windows of 10 over the 14 bytes at P + 10 + c2, P + 10 + c1, P + 10 +
// c3, or the 8 bytes at P + 15 + Z). Page state: the field width E (from
// the first cell, else from the first record that gives one) and A, the
// offset of the page's last signature A record (0 before the first).
bool MessageWalk::walHeaderPage(int64_t pgno) {
    const int64_t P = pageStart(pgno, pageSize_);
    if (getPageType(db_, P) != 1) return true;
    const PageHeader header = pageHeaderOf(db_, P);
    if (P == kMessageDiagnosticPage) logLine(messageDiagnosticLine(pageSize_));
    const bool qualifies = windowMatches(db_, P + 10 + header.c2, 14, 2, 10) ||
                           windowMatches(db_, P + 10 + header.c1, 14, 2, 10) ||
                           windowMatches(db_, P + 10 + header.c3, 14, 2, 10) ||
                           windowMatches(db_, P + 15 + header.Z, 8, 2, 10);
    if (!qualifies) return true;

    int32_t E = fieldWidthOf(GetFildLength(file_, P + header.c1 + 3));
    int64_t A = 0;
    const uint8_t* page = pageBytes(P, 8);
    for (int64_t i = 0; i < pageSize_; ++i) {
        const int64_t k = P + i;
        if (isSignatureA(page + i)) {
            logLine("m===" + std::to_string(k));
            if (E == 0) E = fieldWidthOf(GetFildLength(file_, k - 14));
            MessageNodePtr message = decodeSignatureA(db_, k, E, field_, ctx_);
            logLine("[node messageName]==" + shownName(*message) + ",[node messageContent]==" +
                    message->messageContent() + ",m=" + std::to_string(k));
            if (!charge(footprint(*message))) return false;
            message->setFoundIn(signatureSearchIn(kMessagesDatabase));
            ctx_.nc.postNotificationName(kScanDelMessageInfo, std::move(message));
            A = k;
        } else if (isSignatureB(page + i)) {
            if (E == 0) {
                const int32_t answer = GetFildLength(file_, k - 14);
                E = answer == 1 ? 17 : answer == 2 ? 34 : 0;
            }
            const int32_t L0 = E == 17 ? 17 : 34;
            MessageNodePtr message = decodeSignatureB(db_, k, L0, field_, ctx_);
            const bool keep = !message->messagePhone().empty() ||
                              message->messageType() != "unknown" || k - A > kSignatureBDistance;
            if (!keep) continue;
            logLine("imagge..[node messageName]==" + shownName(*message) +
                    ",[node messageContent]==" + message->messageContent() +
                    ",m=" + std::to_string(k));
            if (!charge(footprint(*message))) return false;
            message->setFoundIn(signatureSearchIn(kMessagesDatabase));
            ctx_.nc.postNotificationName(kScanDelMessageInfo, std::move(message));
        }
    }
    return true;
}

// Legacy layout: table leaf pages whose first two cells show signature set
// 2 (windows of 10 over the 14 bytes at P + 10 + c2 or P + 10 + c1); every
// signature A position is a message.
bool MessageWalk::legacyPage(int64_t pgno) {
    const int64_t P = pageStart(pgno, pageSize_);
    if (getPageType(db_, P) != 1) return true;
    const PageHeader header = pageHeaderOf(db_, P);
    const bool qualifies = windowMatches(db_, P + 10 + header.c2, 14, 2, 10) ||
                           windowMatches(db_, P + 10 + header.c1, 14, 2, 10);
    if (!qualifies) return true;
    const uint8_t* page = pageBytes(P, 3);
    for (int64_t i = 0; i < pageSize_; ++i) {
        if (!isSignatureA(page + i)) continue;
        MessageNodePtr message = decodeLegacyMessage(db_, P + i, field_, ctx_);
        if (!charge(footprint(*message))) return false;
        message->setFoundIn(signatureSearchIn(kMessagesDatabase));
        ctx_.nc.postNotificationName(kScanDelMessageInfo, std::move(message));
    }
    return true;
}

}  // namespace

MessageLayout messageLayoutOf(const PageReader& db, bool iOS6) {
    if (iOS6) return MessageLayout::IOS6;
    return checkSQliteVersion(db, kWriteVersionOffset) ? MessageLayout::WalHeader
                                                       : MessageLayout::Legacy;
}

MessageCarveOutcome carveDeletedMessages(const PageReader& db, ReaderContext& ctx, size_t& budget) {
    MessageCarveOutcome outcome;
    outcome.pageSize = databasePageSize(db);
    if (!outcome.pageSize.valid()) return outcome;

    const MessageLayout layout = messageLayoutOf(db, ctx.currentNodeIsiOS6Version);
    const int64_t lastPage = lastWholePage(db, outcome.pageSize);
    MessageWalk walk(db, ctx, budget, outcome);
    // Page 1 holds the file header and is never a b-tree page to the walk.
    for (int64_t pgno = 2; pgno <= lastPage && !ctx.stopping(); ++pgno) {
        bool going = true;
        switch (layout) {
            case MessageLayout::IOS6:
                going = walk.iOS6Page(pgno);
                break;
            case MessageLayout::WalHeader:
                going = walk.walHeaderPage(pgno);
                break;
            case MessageLayout::Legacy:
                going = walk.legacyPage(pgno);
                break;
        }
        if (!going) break;
    }
    if (layout == MessageLayout::IOS6) outcome.phonesAttached = walk.postIOS6Messages();
    return outcome;
}

}  // namespace carve

void scanDelMessageThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto source =
        carve::openToCarve(backupPath, ctx, kMessagesDatabase, nullptr, "messageDB is not exist");
    if (!source) return;
    const std::string& dbPath = source->db.storedPath;
    const carve::PageReader& db = source->file;

    size_t budget = carve::kDefaultCarveBudget;
    const carve::MessageCarveOutcome outcome = carve::carveDeletedMessages(db, ctx, budget);
    if (!outcome.pageSize.valid())
        logLine(carve::damagedPageSizeLine(dbPath, outcome.pageSize, "messages"));
    if (outcome.stoppedAtBudget) logLine(carve::budgetLine(dbPath, outcome, "message"));
    if (!outcome.phonesAttached)
        logLine(dbPath + ": chat phones no longer attached (memory limit)");
    ctx.postProgress(kProgressDelMessages);
}

}  // namespace marlowen
