// The OS 5 records of the message database (and of the phones before it):
// messages of signature A, iMessages of signature B, and the messages of
// the legacy layout.
//
// OS 5 message: ROWID, address, date, text, flags, replace, svc_center,
// group_id, association_id, height, UIFlags, version, subject, country,
// headers, recipients, read (17 columns), then on phones with iMessage the
// 16 madrid columns: madrid_attributedBody, madrid_handle, madrid_version,
// madrid_guid, madrid_type, madrid_roomname, madrid_service,
// madrid_account, madrid_account_guid, madrid_flags, ... (33 in all).
#include <array>
#include <cstring>

#include "core/carve/field_text.h"
#include "core/carve/message_marks.h"
#include "core/carve/message_records.h"
#include "core/carve/message_values.h"
#include "core/carve/page_tests.h"
#include "core/carve/record_reads.h"
#include "core/extract/value_conversions.h"

namespace marlowen::carve {
namespace {

using namespace message_steps;

// Signature B positions, all read at H = k - 4 - c with L = L0 + c, where
// c = 1 when the byte at k - 2 is not 0x04 (the text column took a two-byte
// serial type, so its first byte stands where the date's 0x04 would):
//
//   | position | c = 0                   | c = 1                     |
//   |----------|-------------------------|---------------------------|
//   | 1        | read                    | read                      |
//   | 2        | read -> date            | read -> date              |
//   | 3        | read -> content (if any)| two-byte -> content (if any)|
//   | 4        | read                    | skip                      |
//   | 5        | skip                    | read                      |
//   | 6 to 16  | read                    | read                      |
//   | 17       | two-byte                | skip                      |
//   | 18       | skip                    | two-byte                  |
//   | 19       | read -> phone           | skip                      |
//   | 20       | read -> direction       | read -> phone             |
//   | 21 to 25 | read                    | read                      |
//   | 26       | read -> direction       | skip                      |
//   | 27       | skip                    | read -> direction         |
//
// On an iMessage row (address NULL, madrid_attributedBody a blob of 58 bytes
// or more, so positions from 19 on hold the column one lower) position 19
// is madrid_handle; the direction positions fall on madrid_version and
// madrid_account_guid, so such a record's direction is mostly "unknown".
using SignatureBTable = std::array<MessageStep, 27>;

constexpr SignatureBTable kSignatureBOneByteText = {r,
                                                    read(MessageValue::Date),
                                                    read(MessageValue::ContentIfAny),
                                                    r,
                                                    skip,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,  // 6 to 16
                                                    two,
                                                    skip,
                                                    read(MessageValue::Phone),
                                                    read(MessageValue::DirectionFlags),
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,  // 21 to 25
                                                    read(MessageValue::DirectionFlags),
                                                    skip};

constexpr SignatureBTable kSignatureBTwoByteText = {r,
                                                    read(MessageValue::Date),
                                                    readTwo(MessageValue::ContentIfAny),
                                                    skip,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,  // 6 to 16
                                                    skip,
                                                    two,
                                                    skip,
                                                    read(MessageValue::Phone),
                                                    r,
                                                    r,
                                                    r,
                                                    r,
                                                    r,  // 21 to 25
                                                    skip,
                                                    read(MessageValue::DirectionFlags)};

void lookUpName(ZNMessageNode& message, ReaderContext& ctx) {
    message.setMessageName(ctx.getNameByPhoneNumber(message.messagePhone()));
}

}  // namespace

bool isSignatureA(const uint8_t* bytes4) {
    static constexpr uint8_t kSignature[] = {0x00, 0x11, 0x00, 0x00};
    return std::memcmp(bytes4, kSignature, sizeof kSignature) == 0;
}

bool isSignatureB(const uint8_t* bytes8) {
    static constexpr uint8_t kZeros[] = {0x08, 0x08, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08};
    static constexpr uint8_t kOnes[] = {0x01, 0x08, 0x00, 0x01, 0x08, 0x08, 0x08, 0x08};
    return std::memcmp(bytes8, kZeros, sizeof kZeros) == 0 ||
           std::memcmp(bytes8, kOnes, sizeof kOnes) == 0;
}

// Signature A at k, the serial type of subject (position 12 from the
// primary header start):
//
//   | item                 | value                                        |
//   |----------------------|----------------------------------------------|
//   | a                    | 1 when the byte at k - 10 is 14 or more: the |
//   |                      | text's two-byte serial type stands there     |
//   | L                    | E + a                                        |
//   | H1, primary start    | k - 12 - a, read as offset k - 15 - a, head 3|
//   | H2, fallback start   | k + 20 - E - a                               |
//
// The address test (AddressIsAlterbleDBFile) asked at H1 answers 0 and
// never moves it. Positions: 1 address -> phone (at H1; when that gives an
// empty field, the running offset is put back and it is read at H2, and
// the fallback holds for the record), 2 date, 3 text -> content (if any;
// one byte at H1 when a = 0, two bytes at H2 or H1 when a = 1), 4 flags
// when a = 0, 5 flags when a = 1 -> direction.
MessageNodePtr decodeSignatureA(const PageReader& db, int64_t k, int32_t E, FieldBuffer& field,
                                ReaderContext& ctx) {
    const auto a = static_cast<int32_t>(bIsAlterbleDBFile(db, k - 10, 2));
    const int32_t L = E + a;
    const int64_t headBase = k - 15 - a;  // H1 = headBase + kHead
    constexpr int32_t kHead = 3;
    const int64_t H2 = k + 20 - E - a;

    auto message = std::make_shared<ZNMessageNode>();
    RecordReads reads(db, field);
    const int32_t before = reads.cursor();
    FieldValue phone = reads.readWithHead(Read::OneByte, 1, headBase, kHead, L);
    bool fallback = false;
    if (phone.asText().empty()) {
        reads.setCursor(before);
        phone = reads.read(Read::OneByte, 1, H2, L);
        fallback = true;
    }
    setMessageValue(*message, MessageValue::Phone, phone);

    // A position read at the header start in force.
    auto readAtStart = [&](Read how, int32_t p) {
        return fallback ? reads.read(how, p, H2, L)
                        : reads.readWithHead(how, p, headBase, kHead, L);
    };
    setMessageValue(*message, MessageValue::Date, readAtStart(Read::OneByte, 2));
    const FieldValue content = a == 0 ? reads.readWithHead(Read::OneByte, 3, headBase, kHead, L)
                                      : readAtStart(Read::TwoByte, 3);
    setMessageValue(*message, MessageValue::ContentIfAny, content);
    if (a != 1)
        setMessageValue(*message, MessageValue::DirectionFlags, readAtStart(Read::OneByte, 4));
    if (a != 0)
        setMessageValue(*message, MessageValue::DirectionFlags, readAtStart(Read::OneByte, 5));

    if (characterCount(message->messagePhone()) > 1) lookUpName(*message, ctx);
    return message;
}

MessageNodePtr decodeSignatureB(const PageReader& db, int64_t k, int32_t L0, FieldBuffer& field,
                                ReaderContext& ctx) {
    const int32_t c = IsAlterAboutContent(db, k - 2);
    const int64_t H = k - 4 - c;
    const int32_t L = L0 + c;
    const SignatureBTable& table = c == 0 ? kSignatureBOneByteText : kSignatureBTwoByteText;

    auto message = std::make_shared<ZNMessageNode>();
    RecordReads reads(db, field);
    readPositions<MessageValue>(reads, table, H, L,
                                [&](MessageValue value, const FieldValue& read) {
                                    setMessageValue(*message, value, read);
                                });
    message->setBImessage(true);
    if (characterCount(message->messagePhone()) > 1) lookUpName(*message, ctx);
    return message;
}

// Legacy message at k (signature A's bytes): a as for signature A, H = k -
// 12 - a, L = 17 + a. Positions: 1 address -> phone (if any), 2 date, 3 text
// -> content (one byte when a = 0, two when a = 1), 4 flags when a = 0, 5
// flags when a = 1 -> direction. The name is looked up also for an empty
// phone (which finds none).
MessageNodePtr decodeLegacyMessage(const PageReader& db, int64_t k, FieldBuffer& field,
                                   ReaderContext& ctx) {
    const auto a = static_cast<int32_t>(bIsAlterbleDBFile(db, k - 10, 2));
    const int64_t H = k - 12 - a;
    const int32_t L = 17 + a;

    auto message = std::make_shared<ZNMessageNode>();
    RecordReads reads(db, field);
    const FieldValue phone = reads.read(Read::OneByte, 1, H, L);
    if (!phone.asText().empty()) setMessageValue(*message, MessageValue::Phone, phone);
    setMessageValue(*message, MessageValue::Date, reads.read(Read::OneByte, 2, H, L));
    setMessageValue(*message, MessageValue::Content,
                    reads.read(a == 0 ? Read::OneByte : Read::TwoByte, 3, H, L));
    if (a != 1)
        setMessageValue(*message, MessageValue::DirectionFlags, reads.read(Read::OneByte, 4, H, L));
    if (a != 0)
        setMessageValue(*message, MessageValue::DirectionFlags, reads.read(Read::OneByte, 5, H, L));
    lookUpName(*message, ctx);
    return message;
}

}  // namespace marlowen::carve
