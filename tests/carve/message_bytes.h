// Hand-made records of the phone's message tables, for tests that need
// exact bytes around a record (see record_bytes.h for the cell helpers).
#pragma once

#include <string>
#include <vector>

#include "record_bytes.h"

namespace marlowen::carve::testing {

// A blob of `n` bytes: a one-byte serial type up to 57 bytes, two beyond.
inline Column blob(size_t n) {
    const auto t = static_cast<uint32_t>(12 + 2 * n);
    Column c;
    if (t < 0x80)
        c.type = {static_cast<uint8_t>(t)};
    else
        c.type = {static_cast<uint8_t>(0x80 | (t >> 7)), static_cast<uint8_t>(t & 0x7F)};
    c.content.assign(n, 0x42);
    return c;
}

// A 36-character guid made of one letter.
inline std::string guid(char letter) {
    return std::string(36, letter);
}

// 2013-02-01 17:05 UTC in seconds since 2001, as OS 6 stores message dates.
constexpr int32_t kOs6Date = 381344700;

struct Os6Message {
    std::string text;
    int8_t handle = 2;
    int isFromMe = 0;  // 0 or 1 are stored as constants; others as integers
    bool iMessage = false;
    int32_t date = kOs6Date;
};

// The 38 columns of an OS 6 `message` row; the archived body (60 bytes)
// takes a two-byte serial type, as on the phone.
inline std::vector<Column> os6MessageColumns(const Os6Message& m) {
    std::vector<Column> c(38, constant(0));
    c[0] = nullColumn();
    c[1] = text(guid('G'));
    c[2] = text(m.text);
    c[4] = nullColumn();  // service_center
    c[5] = int8(m.handle);
    c[6] = nullColumn();  // subject
    c[7] = nullColumn();  // country
    c[8] = blob(60);      // attributedBody
    c[9] = int8(10);      // version
    c[11] = text(m.iMessage ? "iMessage" : "SMS");
    c[12] = text("p:+15550104477");
    c[13] = text(guid('A'));
    c[15] = int32(m.date);
    c[16] = int32(m.date + 3600);  // date_read
    c[18] = constant(1);
    c[19] = constant(1);
    c[21] = (m.isFromMe == 0 || m.isFromMe == 1) ? constant(m.isFromMe)
                                                 : int8(static_cast<int8_t>(m.isFromMe));
    c[36] = nullColumn();  // cache_roomnames
    return c;
}

// The 12 columns of an OS 6 `chat` row of the first releases.
inline std::vector<Column> os6ChatColumns(const std::string& guidText) {
    std::vector<Column> c(12, nullColumn());
    c[1] = text(guidText);
    c[2] = int8(45);  // style
    c[3] = int8(3);   // state
    c[4] = text(guid('C'));
    c[6] = text("chat-identifier");
    c[7] = text("SMS");
    c[9] = text("P:+15550104477");
    c[10] = constant(0);
    return c;
}

}  // namespace marlowen::carve::testing
