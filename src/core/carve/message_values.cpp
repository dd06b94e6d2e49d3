#include "core/carve/message_values.h"

#include "core/carve/field_text.h"
#include "core/carve/message_records.h"
#include "core/extract/messages_reader.h"
#include "core/extract/value_conversions.h"

namespace marlowen::carve {

void setMessageValue(ZNMessageNode& message, MessageValue value, const FieldValue& field) {
    const std::string_view text = field.asText();
    const std::string_view number = field.number();
    switch (value) {
        case MessageValue::None:
            break;
        case MessageValue::Phone:
            message.setMessagePhone(GetStringFormChar(text));
            break;
        case MessageValue::Content:
            message.setMessageContent(GetStringFormChar(text));
            break;
        case MessageValue::ContentIfAny:
            if (!text.empty()) message.setMessageContent(GetStringFormChar(text));
            break;
        case MessageValue::HandleId:
            message.setHandle_id(fieldAsInt32(number));
            break;
        case MessageValue::Service:
            message.setBImessage(text != "SMS");
            break;
        case MessageValue::Date:
            message.setMessageDate(formatRecordDate(fieldAsInt64(number), kDateKindMessageOrCall));
            break;
        case MessageValue::DirectionIsFromMe:
            message.setMessageType(directionOfIsFromMe(fieldAsInt32(number)));
            break;
        case MessageValue::DirectionFlags:
            message.setMessageType(directionOfFlags(fieldAsInt32(number)));
            break;
    }
}

}  // namespace marlowen::carve
