#include "support/media_files.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "support/fixture_error.h"

namespace marlowen::fixture {
namespace {

void putBig16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void putBig32(Bytes& out, std::uint32_t v) {
    putBig16(out, v >> 16);
    putBig16(out, v & 0xFFFF);
}

void putText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Deterministic filler so that files do not compress to nothing and look
// like media content in a hex dump.
std::uint8_t fillerByte(std::size_t i) {
    std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u;
    return static_cast<std::uint8_t>((x >> 13) ^ (x >> 24));
}

// --- JPEG -------------------------------------------------------------------
// Every 8x8 block codes DC difference category 0 and an immediate end of
// block. With one code of length 1 in each Huffman table ("0" for symbol
// 0x00), a block is the two bits 00, so the scan is all zero bytes and needs
// no byte stuffing. The picture decodes as uniform mid grey.
constexpr int kJpegWidth = 64;
constexpr int kJpegHeight = 48;

void putJpegSegment(Bytes& out, std::uint8_t marker, const Bytes& body) {
    out.push_back(0xFF);
    out.push_back(marker);
    putBig16(out, static_cast<std::uint32_t>(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

Bytes jpegHeader() {
    Bytes out{0xFF, 0xD8};
    Bytes app0;
    putText(app0, std::string_view("JFIF\0", 5));
    app0.insert(app0.end(), {0x01, 0x01, 0x00, 0x00, 0x48, 0x00, 0x48, 0x00, 0x00});
    putJpegSegment(out, 0xE0, app0);
    Bytes dqt{0x00};  // 8-bit precision, table 0
    dqt.insert(dqt.end(), 64, 0x01);
    putJpegSegment(out, 0xDB, dqt);
    Bytes sof{0x08};
    putBig16(sof, kJpegHeight);
    putBig16(sof, kJpegWidth);
    sof.insert(sof.end(), {0x01, 0x01, 0x11, 0x00});  // one component, 1x1 sampling, table 0
    putJpegSegment(out, 0xC0, sof);
    for (std::uint8_t tableClass : {0x00, 0x10}) {  // DC table 0, AC table 0
        Bytes dht{tableClass, 0x01};                // one code of length 1
        dht.insert(dht.end(), 15, 0x00);
        dht.push_back(0x00);  // its symbol: DC category 0 / AC end of block
        putJpegSegment(out, 0xC4, dht);
    }
    return out;
}

Bytes jpegScan() {
    Bytes out;
    putJpegSegment(out, 0xDA, Bytes{0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    const int blocks = (kJpegWidth / 8) * (kJpegHeight / 8);
    out.insert(out.end(), static_cast<std::size_t>(blocks * 2 / 8), 0x00);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// --- PNG --------------------------------------------------------------------
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putPngChunk(Bytes& out, std::string_view type, const Bytes& body) {
    putBig32(out, static_cast<std::uint32_t>(body.size()));
    Bytes typed(type.begin(), type.end());
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putBig32(out, crc32(typed.data(), typed.size()));
}

// zlib stream of stored (uncompressed) deflate blocks of at most 65535 bytes.
Bytes storedZlib(const Bytes& raw) {
    Bytes out{0x78, 0x01};
    std::size_t pos = 0;
    do {
        std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        out.push_back(last ? 0x01 : 0x00);
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
        out.push_back(static_cast<std::uint8_t>(~n));
        out.push_back(static_cast<std::uint8_t>(~n >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                   raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(out, (b << 16) | a);
    return out;
}

// --- ISO base media ----------------------------------------------------------
void putBox(Bytes& out, std::string_view type, const Bytes& body) {
    putBig32(out, static_cast<std::uint32_t>(body.size() + 8));
    putText(out, type);
    out.insert(out.end(), body.begin(), body.end());
}

Bytes isoMedia(std::string_view brand, std::string_view compatible, std::size_t size) {
    Bytes out;
    Bytes ftyp;
    putText(ftyp, brand);
    putBig32(ftyp, 0x200);
    putText(ftyp, compatible);
    putBox(out, "ftyp", ftyp);
    // mvhd version 0: flags, two zero times, time scale (offset 12), duration,
    // rate (16.16 at offset 20), volume (8.8 at offset 24), then zeros.
    Bytes mvhd(100, 0x00);
    mvhd[14] = 0x02;  // time scale 600
    mvhd[15] = 0x58;
    mvhd[21] = 0x01;  // rate 1.0
    mvhd[24] = 0x01;  // volume 1.0
    Bytes moov;
    putBox(moov, "mvhd", mvhd);
    putBox(out, "moov", moov);
    if (size < out.size() + 8)
        throw FixtureError("a film needs more bytes than " + std::to_string(size));
    Bytes mdat(size - out.size() - 8);
    for (std::size_t i = 0; i < mdat.size(); ++i) mdat[i] = fillerByte(i);
    putBox(out, "mdat", mdat);
    return out;
}

}  // namespace

Bytes jpegImage(std::size_t minimumSize) {
    Bytes out = jpegHeader();
    Bytes tail = jpegScan();
    std::size_t counter = 0;
    while (out.size() + tail.size() < minimumSize) {
        std::size_t wanted = minimumSize - out.size() - tail.size();
        // A comment segment holds at most 65533 bytes after its length field.
        std::size_t n = std::min<std::size_t>(65533, wanted > 4 ? wanted - 4 : 1);
        Bytes comment(n);
        for (auto& byte : comment) byte = static_cast<std::uint8_t>('A' + (counter++ % 26));
        putJpegSegment(out, 0xFE, comment);
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

Bytes pngImage(std::size_t minimumSize) {
    constexpr std::uint32_t width = 128;
    // Rows of 1 filter byte plus 3 bytes per pixel, enough to reach the size.
    const std::size_t rowBytes = 1 + width * 3;
    const auto height = static_cast<std::uint32_t>(minimumSize / rowBytes + 1);
    Bytes raw;
    raw.reserve(rowBytes * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0x00);  // filter type None
        for (std::uint32_t x = 0; x < width * 3; ++x) raw.push_back(fillerByte(y * width * 3 + x));
    }
    Bytes out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    putBig32(ihdr, width);
    putBig32(ihdr, height);
    ihdr.insert(ihdr.end(), {0x08, 0x02, 0x00, 0x00, 0x00});  // 8 bits, RGB, no interlace
    putPngChunk(out, "IHDR", ihdr);
    putPngChunk(out, "IDAT", storedZlib(raw));
    putPngChunk(out, "IEND", Bytes{});
    return out;
}

Bytes quickTimeMovie(std::size_t size) {
    return isoMedia("qt  ", "qt  ", size);
}

Bytes mp4Movie(std::size_t size) {
    return isoMedia("mp42", "isom", size);
}

}  // namespace marlowen::fixture
