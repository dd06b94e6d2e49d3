// The OS 6 records of the message database: chat entries and messages.
#include <array>
#include <cstring>
#include <span>

#include "core/carve/message_marks.h"
#include "core/carve/message_records.h"
#include "core/carve/message_values.h"
#include "core/carve/page_tests.h"
#include "core/carve/record_reads.h"
#include "core/extract/value_conversions.h"

namespace marlowen::carve {
namespace {

using namespace message_steps;

// Every occurrence of `part` in `text` removed, left to right in one pass.
std::string withoutAll(std::string text, std::string_view part) {
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at; (at = text.find(part, from)) != std::string::npos; from = at + part.size())
        out.append(text, from, at - from);
    out.append(text, from, std::string::npos);
    return out;
}

int32_t wrapAdd(int32_t value, int32_t delta) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
}

// OS 6 message: ROWID, guid, text, replace, service_center, handle_id,
// subject, country, attributedBody, version, type, service, account,
// account_guid, error, date, date_read, date_delivered, is_delivered,
// is_finished, is_emote, is_from_me, ... (38 columns). From k, the position
// of the signature (replace's serial type):
//
//   | variant       | text's type | H     | L      | k - 2 holds          |
//   |---------------|-------------|-------|--------|----------------------|
//   | short (g = 0) | one byte    | k - 3 | 38 + w | guid's type 0x55     |
//   | long (g = 1)  | two bytes   | k - 4 | 39 + w | text's first byte    |
//
// w = 1 when attributedBody's serial type at k + 5 is 0x79..0x88 (a blob of
// 58 bytes or more takes two bytes there). Positions from H, as read:
//
//   | position | short (g = 0)                 | long (g = 1)            |
//   |----------|-------------------------------|-------------------------|
//   | 1        | read (guid)                   | read (guid)             |
//   | 2        | read -> content               | two-byte -> content     |
//   | 3, 4     | read                          | skip                    |
//   | 5        | read -> handle_id             | skip                    |
//   | 6        | read                          | read -> handle_id       |
//   | 7        | read                          | read                    |
//   | 8        | two-byte when w = 1, else skip| read                    |
//   | 9        | skip                          | two-byte                |
//   | 10       | read                          | skip                    |
//   | 11       | read                          | read                    |
//   | 12       | read -> service               | read                    |
//   | 13       | read                          | read -> service         |
//   | 14, 15   | read                          | read                    |
//   | 16       | read -> date                  | read                    |
//   | 17       | read                          | read -> date            |
//   | 18 to 21 | read                          | read                    |
//   | 22       | read -> direction             | read                    |
//   | 23       | read                          | read -> direction       |
using MessageTable = std::array<MessageStep, 23>;

constexpr MessageTable kShortVariant = {r,
                                        read(MessageValue::Content),
                                        r,
                                        r,
                                        read(MessageValue::HandleId),
                                        r,
                                        r,
                                        skip,  // 8: two-byte when w = 1 (shortVariant())
                                        skip,
                                        r,
                                        r,
                                        read(MessageValue::Service),
                                        r,
                                        r,
                                        r,
                                        read(MessageValue::Date),
                                        r,
                                        r,
                                        r,
                                        r,
                                        r,
                                        read(MessageValue::DirectionIsFromMe),
                                        r};

constexpr MessageTable kLongVariant = {r,
                                       readTwo(MessageValue::Content),
                                       skip,
                                       skip,
                                       skip,
                                       read(MessageValue::HandleId),
                                       r,
                                       r,
                                       two,
                                       skip,
                                       r,
                                       r,
                                       read(MessageValue::Service),
                                       r,
                                       r,
                                       r,
                                       read(MessageValue::Date),
                                       r,
                                       r,
                                       r,
                                       r,
                                       r,
                                       read(MessageValue::DirectionIsFromMe)};

MessageTable shortVariant(int32_t w) {
    MessageTable table = kShortVariant;
    if (w == 1) table[7] = two;
    return table;
}

}  // namespace

bool isChatSignature(const uint8_t* bytes3) {
    return bytes3[0] == 0x01 && bytes3[1] == 0x01 && bytes3[2] == 0x55;
}

bool isIOS6MessageSignature(const uint8_t* bytes4) {
    static constexpr uint8_t kSignature[] = {0x08, 0x00, 0x01, 0x00};
    return std::memcmp(bytes4, kSignature, sizeof kSignature) == 0;
}

std::string directionOfIsFromMe(int32_t value) {
    if (value == 0) return "Received";
    if (value == 1) return "Send";
    return "Unknowed";
}

// OS 6 chat: ROWID, guid, style, state, account_id, properties,
// chat_identifier, service_name, room_name, account_login, is_archived,
// last_addressed_handle (12 columns on the first OS 6 releases). From x, the
// position of the signature (style's serial type):
//
//   | position | holds                                                   |
//   |----------|---------------------------------------------------------|
//   | x - 6    | first two bytes of a cell with a 2-byte payload length; |
//   | x - 5    | 00 00 once the cell is freed as the last freeblock      |
//   | x - 4    | row id (a one-byte varint)                              |
//   | x - 3    | header length (13)                                      |
//   | x - 2    | H: serial type of ROWID, the row id alias: 0 (NULL)     |
//   | x - 1    | serial type of guid ("SMS;-;" or "iMessage;-;" + address)|
//   | x .. x+2 | style, state (one-byte integers), account_id (36 chars) |
//   | x + 3    | properties: from 0x79 on taken as a two-byte type (w)   |
//   | H + 12+w | first content byte (guid's)                             |
ChatMessageNodePtr decodeChatRecord(const PageReader& db, int64_t x, FieldBuffer& field,
                                    int32_t& previousRowId) {
    const int32_t w = ISAlterPropertFiled(db, x + 3);
    const int64_t H = x - 2;
    const int32_t L = w == 1 ? 13 : 12;
    auto chat = std::make_shared<ZNChatMessageNode>();

    // A freed cell has lost its row id: it takes the previous chat's less one.
    const bool rowIdLost = byteForTest(db, x - 6) == 0 && byteForTest(db, x - 5) == 0;
    const int32_t rowid = rowIdLost ? wrapAdd(previousRowId, -1) : byteForTest(db, x - 4);
    chat->setRowid(rowid);
    previousRowId = rowid;

    RecordReads reads(db, field);
    std::string phone = GetStringFormChar(reads.read(Read::OneByte, 1, H, L).asText());
    phone = withoutAll(std::move(phone), "SMS;-;");
    phone = withoutAll(std::move(phone), "iMessage;-;");
    chat->setPhoneValue(std::move(phone));
    return chat;
}

MessageNodePtr decodeIOS6Message(const PageReader& db, int64_t k, FieldBuffer& field) {
    const int32_t w = ISAlterPropertFiled(db, k + 5);
    const int32_t g = ISAlterMessageContentFiled(db, k - 2);
    const int64_t H = g == 0 ? k - 3 : k - 4;
    const int32_t L = (g == 0 ? 38 : 39) + w;
    const MessageTable table = g == 0 ? shortVariant(w) : kLongVariant;

    auto message = std::make_shared<ZNMessageNode>();
    RecordReads reads(db, field);
    readPositions<MessageValue>(reads, table, H, L,
                                [&](MessageValue value, const FieldValue& read) {
                                    setMessageValue(*message, value, read);
                                });
    return message;
}

}  // namespace marlowen::carve
