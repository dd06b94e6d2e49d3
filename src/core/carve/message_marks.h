// The byte tests that place a carved record of the message database: the
// field widths of chat and message headers, the header length of an OS 5
// message, and the page tests of the OS 6 layout.
#pragma once

#include <cstdint>

#include "core/carve/byte_search.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// 1 when the byte at `offset` is 0x79..0x88 (121 to 136), else 0. Asked at
// the serial type of a blob column (chat.properties, message.attributedBody):
// from 0x80 on the type takes two bytes and the header one byte more.
int32_t ISAlterPropertFiled(const PageReader& db, int64_t offset);

// 1 when the byte at `offset` is not 0x55, else 0. 0x55 is the serial type
// of a 36-character text, an OS 6 message guid: where it stands tells
// whether the text column in front of the signature took one or two bytes.
int32_t ISAlterMessageContentFiled(const PageReader& db, int64_t offset);

// 1 when the byte at `offset` is not 0x04, else 0. 0x04 is the serial type
// of a 4-byte integer, an OS 5 message date.
int32_t IsAlterAboutContent(const PageReader& db, int64_t offset);

// The address test of an OS 5 message, asked at the primary header start:
// it looks at the bytes at `offset`, offset - 1 and offset - 2 and answers 0
// whatever they hold, so it never moves a header.
int32_t AddressIsAlterbleDBFile(const PageReader& db, int64_t offset);

// The header length class of an OS 5 message record, from v, the byte in
// front of the first 0x00 at or after `offset`:
//
//   | v          | answer | header                                     |
//   |------------|--------|--------------------------------------------|
//   | 34, 35, 36 | 2      | 33 columns (with the iMessage columns)     |
//   | 18, 19, 20 | 1      | 17 columns                                 |
//   | any other  | 0      | unknown                                    |
//
// Asked just before a record header, the zero is the ROWID's serial type
// (the row id alias is stored as NULL) and v the header length byte. The
// search ends at the end of the file, which reads as zero.
int32_t GetFildLength(const ByteSearch& file, int64_t offset);

// True when some window of `longth` characters of the hex text `text`
// begins with "010155" (OS 6 chat: style and state one-byte integers, then
// a 36-character account_id). Windows start at every character while the
// start is below the text's length minus `longth`. False for a null text.
bool bcheckChatIOS6SubStringIsValid(const char* text, int32_t longth);

// The same with "0800010000" (OS 6 message: replace the constant 0,
// service_center NULL, handle_id a one-byte integer, subject NULL, country
// NULL).
bool bcheckMessageIOS6SubStringIsValid(const char* text, int32_t longth);

}  // namespace marlowen::carve
