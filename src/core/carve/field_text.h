// How the carvers read the text a field decoder wrote: as a number, the way
// the C library's atoi and atol read a text, and as a shown text whose
// length is counted in characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace marlowen::carve {

// The decimal value at the start of `text` as atol reads it: leading blanks,
// an optional sign, then digits up to the first other character; 0 when
// there are none (an empty field, a field the decoder left empty, a text).
// Held to the 64-bit range instead of overflowing.
int64_t fieldAsInt64(std::string_view text);

// The same value as atoi reads it, held to the 32-bit range.
int32_t fieldAsInt32(std::string_view text);

// The length of a well-formed UTF-8 text in the platform's characters, the
// UTF-16 code units a shown string counts: one per code point, two for a
// code point above U+FFFF. ("A number longer than one character" means
// this length.)
size_t characterCount(std::string_view utf8);

}  // namespace marlowen::carve
