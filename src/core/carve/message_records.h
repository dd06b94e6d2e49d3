// Decoding of the records the message carver recognises, each placed from
// the position where its signature was found:
//
//   | layout | record          | signature (serial types)                  |
//   |--------|-----------------|-------------------------------------------|
//   | OS 6   | chat            | 01 01 55: style, state, account_id        |
//   | OS 6   | message         | 08 00 01 00: replace, service_center,     |
//   |        |                 | handle_id, subject                        |
//   | OS 5   | message (A)     | 00 11 00 00: subject, country (2 letters),|
//   |        |                 | headers, recipients                       |
//   | OS 5   | iMessage (B)    | 08 08 00 08 08 08 08 08 or                |
//   |        |                 | 01 08 00 01 08 08 08 08: flags to version |
//
// Comparing bytes is comparing their hex texts, since every byte has exactly
// one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/carve/field_decoders.h"
#include "core/extract/reader_context.h"
#include "core/model/record_nodes.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

bool isChatSignature(const uint8_t* bytes3);
bool isIOS6MessageSignature(const uint8_t* bytes4);
bool isSignatureA(const uint8_t* bytes4);
bool isSignatureB(const uint8_t* bytes8);

// Direction of OS 6 is_from_me: 0 "Received", 1 "Send", else "Unknowed".
// OS 5 flags are read as the live reader reads them (directionOfFlags).
std::string directionOfIsFromMe(int32_t value);

// OS 6 chat whose signature stands at `x`. `previousRowId` is the row id of
// the page's previous chat (0 before the first); it is updated.
ChatMessageNodePtr decodeChatRecord(const PageReader& db, int64_t x, FieldBuffer& field,
                                    int32_t& previousRowId);

// OS 6 message whose signature stands at `k`; its phone is resolved later
// through its handle_id.
MessageNodePtr decodeIOS6Message(const PageReader& db, int64_t k, FieldBuffer& field);

// OS 5 message of signature A at `k`, with the page's field width `E` (17,
// 33 or 34; 0 when unknown). The name is looked up among the scan's
// contacts when the phone is longer than one character.
MessageNodePtr decodeSignatureA(const PageReader& db, int64_t k, int32_t E, FieldBuffer& field,
                                ReaderContext& ctx);

// OS 5 iMessage of signature B at `k`, with the header length base L0 (17
// or 34).
MessageNodePtr decodeSignatureB(const PageReader& db, int64_t k, int32_t L0, FieldBuffer& field,
                                ReaderContext& ctx);

// Message of the legacy layout (before the write-ahead log) at `k`.
MessageNodePtr decodeLegacyMessage(const PageReader& db, int64_t k, FieldBuffer& field,
                                   ReaderContext& ctx);

}  // namespace marlowen::carve
