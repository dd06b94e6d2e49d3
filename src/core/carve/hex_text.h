// Hex text of file bytes and the record-header signatures written in it.
//
// A byte is written as two lowercase hex digits ("%02x" of the unsigned
// byte): 0x0F -> "0f", 0xD8 -> "d8". A run of bytes is the concatenation:
// 0F 0F 08 08 01 -> "0f0f080801". The carvers recognise record headers of
// the phone's tables by comparing such texts with fixed signatures.
//
// Signature sets (a text matches a signature of n characters when its first
// n characters equal it; a shorter text never matches):
//
//   | set | table         | signatures                                        |
//   |-----|---------------|---------------------------------------------------|
//   | 1   | call history  | 0101 0301 0302 0102 0109 0309                      |
//   | 2   | messages      | 001100; 0808080808; 0808000808080808,              |
//   |     |               | 0108000108080808                                  |
//   | 4   | contacts      | 01010809 01010901 09010809 01010101 01010801       |
//   |     |               | 02010801 02010901 02010809 02010101 01090809       |
//   |     |               | ffd8ffe0; 0f0f080801 0000040401 0000040400         |
//   |     |               | 0000040413                                        |
//   | 6   | notes         | 01010101010105; 010101                            |
//
// Read as serial types, "0101" is two one-byte integers, "0109" a one-byte
// integer and the constant 1, "0f0f080801" two one-character texts, two
// zero constants and a one-byte integer. "ffd8ffe0" is the start of a JPEG
// image, not serial types.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// Size of the zero-filled text buffers the carvers hand to the hex reader
// and the window search: room for the hex text of 129 bytes plus a zero.
inline constexpr int32_t kHexTextBuffer = 260;

// Writes the hex text of the `longth` bytes at `offset` into `theChar`
// (2 * longth digits, no terminator written; bytes outside the file give
// "00") and answers theChar.data(). At most theChar.size() - 1 digits are
// written, so a zero the caller put in the last place survives. Answers null
// when the reader is not open, the offset is 0 or the count is 0 or
// negative; answers the buffer unchanged for a negative offset.
char* getHexString(const PageReader& db, int64_t offset, int32_t longth, std::span<char> theChar);

// The first `longth` characters of `text` read as a hexadecimal number in
// 32-bit arithmetic. Only lowercase digits count ("a".."f" are 10..15);
// every other character, uppercase "A".."F" included, counts as 0. Answers
// 0 for a null text or one shorter than `longth` characters.
int32_t DemaNumberFormHexChar(const char* text, int32_t longth);

// 1 when `text` begins with a signature of set `type`, -1 when it does not
// (and for a set without signatures), 0 for a null text.
int32_t bCheckDataIsValid(const char* text, int32_t type);

// True when some window of `longth` characters of `text` begins with a
// signature of set `type`. Windows start at every character, so a
// signature may begin in the middle of a byte's two digits; with L the
// length of the text only starts below L - longth are tried, so the window
// that ends at the last character never is, and a text of `longth`
// characters or fewer gives false. A signature longer than the window never
// matches inside it. False for a null text.
bool bcheckSubStringIsValid(const char* text, int32_t type, int32_t longth);

// The signatures of a set, for callers that compare raw bytes instead of
// hex text (equivalent, since every byte has exactly one hex text).
std::span<const std::string_view> signatureSet(int32_t type);

}  // namespace marlowen::carve
