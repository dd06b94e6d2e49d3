// Base64 (RFC 4648, with padding, no line breaks) for pictures embedded in
// vCards and in the HTML report.
#pragma once

#include <string>
#include <string_view>

namespace marlowen {

std::string base64(std::string_view bytes);

}  // namespace marlowen
