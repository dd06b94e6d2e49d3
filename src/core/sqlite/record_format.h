// The SQLite record format as the carvers read it: serial types, their
// content lengths, big-endian integers and the two-byte varint.
//
// A table b-tree cell holds a record, which is a header followed by the
// contents of the columns:
//
//   record  := header-length  serial-type*  content*
//
//   | item           | size        | meaning                                   |
//   |----------------|-------------|-------------------------------------------|
//   | header-length  | varint      | bytes of the header, counting itself      |
//   | serial-type    | varint each | one per column, in column order           |
//   | content        | see below   | one per column, same order, no gaps       |
//
// Serial types and their content length (getFieldDataLengthBy):
//
//   | serial type t   | content                          | length       |
//   |-----------------|----------------------------------|--------------|
//   | 0               | NULL                             | 0            |
//   | 1, 2, 3, 4      | big-endian two's-complement int  | 1, 2, 3, 4   |
//   | 5               | big-endian int                   | 6            |
//   | 6               | big-endian int                   | 8            |
//   | 7               | IEEE 754 double, big-endian      | 8            |
//   | 8, 9            | the integers 0 and 1 themselves  | 0            |
//   | 10, 11          | reserved                         | 0            |
//   | 12, 13          | empty blob, empty text           | 0            |
//   | even t >= 14    | blob of (t - 12) / 2 bytes       | (t - 12) / 2 |
//   | odd t >= 15     | text of (t - 13) / 2 bytes       | (t - 13) / 2 |
//
// Serial types 8 and 9 occur in every database of schema format 4, which is
// what the phone writes: small flags and ids of 0 and 1 take no content.
//
// Varints are 1 to 9 bytes, big-endian, 7 bits per byte with the high bit
// set on every byte but the last:
//
//   0x05        -> 5
//   0x81 0x00   -> 128        ((0x81 - 0x80) * 128 + 0x00)
//   0x9F 0x7F   -> 4095
//
// The carvers decode one-byte varints and, for a few columns, two-byte ones.
#pragma once

#include <cstdint>

namespace marlowen::carve {

// Content length in bytes of serial type `t`; 0 for negative types.
int32_t getFieldDataLengthBy(int32_t t);

// The `size` bytes at buffer[point], big-endian, each taken as unsigned,
// accumulated in 64 bits (bytes beyond the eighth shift the first ones
// out). 0 when size is 0 or negative. Never sign-extends: 0xFF gives 255.
int64_t readBigEndian(const uint8_t* buffer, int32_t point, int32_t size);

// A two-byte varint by the bit-string rule the carvers have always used:
// write the first byte in binary without leading zeros, append the second
// in binary padded to 7 digits (8 when it is 128 or more), drop a leading
// "10" if the digits start with it, and read the digits as a number.
//
// For a first byte 0x80..0xBF and a second byte below 0x80 this is the
// SQLite two-byte varint. Other inputs give what the rule gives:
// (0x81, 0x85) -> 389, (0xC1, 0x00) -> 24704, (0x01, 0x05) -> 5,
// (0x01, 0x40) -> 192. Arguments are taken modulo 256.
int32_t getAlterInteger(int32_t first, int32_t second);

// Two-byte serial types are accepted only up to this value, which keeps a
// first byte 0x80..0x9F (text or blob of at most 2041 bytes) and rejects
// every first byte from 0xC0 up.
inline constexpr int32_t kMaxTwoByteSerialType = 4095;

}  // namespace marlowen::carve
