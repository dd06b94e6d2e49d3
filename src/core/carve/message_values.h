// The values a carved message record gives, and how each is stored in the
// message node. Shared by the position tables of the message records.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/carve/record_reads.h"
#include "core/model/record_nodes.h"

namespace marlowen::carve {

enum class MessageValue : uint8_t {
    None,               // read for the running offset only
    Phone,              // the other side's address
    Content,            // the text, set also when empty
    ContentIfAny,       // the text, set only when the field is not empty
    HandleId,           // OS 6 handle_id (atoi)
    Service,            // OS 6 service: "SMS", else iMessage
    Date,               // seconds (atol), formatted as a message date
    DirectionIsFromMe,  // OS 6 is_from_me (atoi)
    DirectionFlags,     // OS 5 flags (atoi)
};

// Stores `field`, the field of `value`, in `message`: numbers as the
// decoder wrote them, texts as FieldValue::asText.
void setMessageValue(ZNMessageNode& message, MessageValue value, const FieldValue& field);

// The steps of the message records' position tables: a one-byte field, a
// two-byte field and a skipped serial type, read for the running offset
// only or stored as `value`.
using MessageStep = Step<MessageValue>;
namespace message_steps {
constexpr MessageStep r{Read::OneByte, MessageValue::None};
constexpr MessageStep two{Read::TwoByte, MessageValue::None};
constexpr MessageStep skip{Read::Skip, MessageValue::None};
constexpr MessageStep read(MessageValue value) {
    return {Read::OneByte, value};
}
constexpr MessageStep readTwo(MessageValue value) {
    return {Read::TwoByte, value};
}
}  // namespace message_steps

}  // namespace marlowen::carve
