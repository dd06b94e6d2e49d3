// The text of a message's `attributedBody`: an NSAttributedString archived
// in the "streamtyped" format, which phone OS 11 and later store when
// `message.text` is NULL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marlowen {

// The archived string's UTF-8 text; nullopt when the bytes are no
// streamtyped archive, hold no NSString, or its length or text is damaged.
std::optional<std::string> attributedBodyText(std::string_view bytes);

}  // namespace marlowen
