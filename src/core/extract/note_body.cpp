#include "core/extract/note_body.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/wire_format_lite.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/extract/note_body.pb.h"
#include "core/extract/utf8_strict.h"

namespace marlowen {
namespace {

// A note's text is a few kilobytes; this much inflated output is a damaged
// or hostile stream, and stops there (marked partial).
constexpr std::size_t kMaxInflated = 32u << 20;

// The path of the text: document (2), note (3), text (2).
constexpr std::array<int, 3> kTextPath = {2, 3, 2};

bool looksCompressed(std::string_view data) {
    if (data.size() < 2) return false;
    const auto b0 = static_cast<unsigned char>(data[0]);
    const auto b1 = static_cast<unsigned char>(data[1]);
    if (b0 == 0x1f && b1 == 0x8b) return true;  // gzip
    // zlib: deflate with a window of at most 32K, header checksum.
    return (b0 & 0x0f) == 8 && (b0 >> 4) <= 7 && ((b0 << 8) | b1) % 31 == 0;
}

// The content of the first length-delimited field `field` of `message`, as
// libprotobuf's wire reader walks it. A field whose length runs past the
// end gives what there is and sets `cut`; a broken tag or varint before it
// gives nullopt.
std::optional<std::string_view> firstField(std::string_view message, int field, bool& cut) {
    using google::protobuf::internal::WireFormatLite;
    google::protobuf::io::CodedInputStream in(reinterpret_cast<const uint8_t*>(message.data()),
                                              static_cast<int>(message.size()));
    for (;;) {
        const uint32_t tag = in.ReadTag();
        if (tag == 0) return std::nullopt;
        if (WireFormatLite::GetTagWireType(tag) != WireFormatLite::WIRETYPE_LENGTH_DELIMITED) {
            if (!WireFormatLite::SkipField(&in, tag)) return std::nullopt;
            continue;
        }
        uint32_t length = 0;
        if (!in.ReadVarint32(&length)) return std::nullopt;
        const auto at = static_cast<std::size_t>(in.CurrentPosition());
        const std::size_t left = message.size() - at;
        if (WireFormatLite::GetTagFieldNumber(tag) == field) {
            if (length > left) {
                cut = true;
                return message.substr(at);
            }
            return message.substr(at, length);
        }
        if (length > left || !in.Skip(static_cast<int>(length))) return std::nullopt;
    }
}

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte that
// cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xc2 && lead <= 0xdf) return 2;
    if (lead >= 0xe0 && lead <= 0xef) return 3;
    if (lead >= 0xf0 && lead <= 0xf4) return 4;
    return 0;
}

// The text ready to show: well-formed UTF-8 kept, a byte that starts no
// well-formed character dropped (a damaged body shows what it can), and the
// object replacement characters that stand for attachments left out.
std::string showableText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = sequenceLength(static_cast<unsigned char>(bytes[i]));
        if (n == 0 || i + n > bytes.size() || !isWellFormedUtf8(bytes.substr(i, n))) {
            ++i;
            continue;
        }
        const std::string_view character = bytes.substr(i, n);
        if (character != "\xef\xbf\xbc" && character != std::string_view("\0", 1))
            out.append(character);
        i += n;
    }
    return out;
}

}  // namespace

std::optional<Inflated> inflateNoteData(std::string_view zdata, std::size_t limit) {
    if (!looksCompressed(zdata)) return std::nullopt;
    z_stream zs{};
    // 15 + 32: the largest window, gzip or zlib header detected.
    if (inflateInit2(&zs, 15 + 32) != Z_OK) return std::nullopt;
    Inflated out;
    std::array<unsigned char, 16384> chunk{};
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zdata.data()));
    zs.avail_in = static_cast<uInt>(zdata.size());
    while (out.bytes.size() < limit) {
        zs.next_out = chunk.data();
        zs.avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t got = chunk.size() - zs.avail_out;
        const std::size_t room = limit - out.bytes.size();
        out.bytes.append(reinterpret_cast<const char*>(chunk.data()), std::min(got, room));
        if (got > room) break;  // clipped at the limit: not the whole stream
        if (rc == Z_STREAM_END) {
            out.ended = true;
            break;
        }
        // Z_BUF_ERROR with nothing left to read: the stream was cut short.
        if (rc != Z_OK || (got == 0 && zs.avail_in == 0)) break;
    }
    inflateEnd(&zs);
    return out;
}

std::optional<NoteBodyText> decodeNoteBody(std::string_view zdata) {
    const std::optional<Inflated> inflated = inflateNoteData(zdata, kMaxInflated);
    if (!inflated || inflated->bytes.empty()) return std::nullopt;
    const std::string& bytes = inflated->bytes;
    if (inflated->ended) {
        notebody::NoteStoreBody body;
        if (body.ParseFromString(bytes) && body.has_document() && body.document().has_note() &&
            body.document().note().has_text())
            return NoteBodyText{showableText(body.document().note().text()), false};
    }
    // A stream cut short (or a message that does not parse): follow the path
    // as far as the bytes go.
    bool cut = false;
    std::string_view at(bytes);
    for (int field : kTextPath) {
        const std::optional<std::string_view> inner = firstField(at, field, cut);
        if (!inner) return std::nullopt;
        at = *inner;
    }
    return NoteBodyText{showableText(at), true};
}

}  // namespace marlowen
