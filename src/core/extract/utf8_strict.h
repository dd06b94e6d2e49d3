// Strict UTF-8 <-> UTF-32 conversion for text read from database columns.
//
// Well-formed UTF-8 is exactly the byte sequences of the Unicode standard's
// table of well-formed sequences: no overlong forms (C0, C1, E0 80..9F,
// F0 80..8F), no surrogates (ED A0..BF), nothing above U+10FFFF (F4 90..,
// F5..FF) and no sequence cut short. Anything else makes the whole input
// invalid: a damaged column is shown as "" rather than half decoded.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marlowen {

// True when every sequence of `bytes` is well-formed.
bool isWellFormedUtf8(std::string_view bytes);

// The scalar values of `bytes`, or nullopt when any sequence is ill-formed.
std::optional<std::u32string> decodeUtf8Strict(std::string_view bytes);

// UTF-8 of `units`, or nullopt when a unit is not a Unicode scalar value
// (a surrogate or above U+10FFFF).
std::optional<std::string> encodeUtf8Strict(std::u32string_view units);

}  // namespace marlowen
