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

}  // namespace marlowen::carve
