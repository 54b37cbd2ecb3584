#include "mpeg/vbrheader.h"

#include <cstring>

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool HasText(std::span<const uint8_t> bytes, size_t at, const char* text, size_t size) {
    return at <= bytes.size() && size <= bytes.size() - at && std::memcmp(bytes.data() + at, text, size) == 0;
}

void ParseLame(std::span<const uint8_t> frame, size_t at, VbrHeader& vbr) {
    using namespace lametag;
    if (!HasText(frame, at, "LAME", 4) && !HasText(frame, at, "Lavf", 4) && !HasText(frame, at, "Lavc", 4)) return;
    const uint8_t* l = frame.data() + at;
    vbr.hasLame = true;
    std::memcpy(vbr.lameBytes.data(), l, kSize);
    vbr.encoder.assign(reinterpret_cast<const char*>(l + kVersion), kVersionSize);
    vbr.lameRevision = l[kRevisionMethod] >> 4;
    vbr.vbrMethod = l[kRevisionMethod] & 0x0F;
    const uint8_t* d = l + kDelayPadding;
    vbr.encoderDelay = static_cast<uint16_t>((d[0] << 4) | (d[1] >> 4));
    vbr.encoderPadding = static_cast<uint16_t>(((d[1] & 0x0F) << 8) | d[2]);
    vbr.musicLength = BigEndian32(l + kMusicLength);
    vbr.musicCrc = static_cast<uint16_t>((l[kMusicCrc] << 8) | l[kMusicCrc + 1]);
    vbr.tagCrc = static_cast<uint16_t>((l[kTagCrc] << 8) | l[kTagCrc + 1]);
    vbr.tagCrcValid = LameCrc16(frame.data(), at + kTagCrc) == vbr.tagCrc;
}

}  // namespace

size_t XingOffset(MpegVersion version, uint8_t channelMode, bool crc) {
    return 4 + (crc ? 2 : 0) + Layer3SideInfoSize(version, channelMode);
}

bool ParseXing(std::span<const uint8_t> frame, size_t at, VbrHeader& vbr) {
    const bool xing = HasText(frame, at, "Xing", 4);
    if ((!xing && !HasText(frame, at, "Info", 4)) || frame.size() - at < 8) return false;
    vbr.kind = xing ? VbrHeader::Kind::Xing : VbrHeader::Kind::Info;
    vbr.tagOffset = static_cast<uint32_t>(at);
    const uint32_t flags = BigEndian32(frame.data() + at + 4);
    size_t p = at + 8;
    // The fields follow one another: once one does not fit, the later ones cannot be found.
    bool fits = true;
    const auto take = [&](uint32_t flag, size_t size) {
        if (!(flags & flag)) return false;
        fits = fits && size <= frame.size() - p;
        if (!fits) return false;
        p += size;
        return true;
    };
    if (take(kXingHasFrames, 4)) {
        vbr.hasFrames = true;
        vbr.frames = BigEndian32(frame.data() + p - 4);
    }
    if (take(kXingHasBytes, 4)) {
        vbr.hasBytes = true;
        vbr.bytes = BigEndian32(frame.data() + p - 4);
    }
    if (take(kXingHasToc, kXingTocSize)) {
        vbr.hasToc = true;
        std::memcpy(vbr.toc.data(), frame.data() + p - kXingTocSize, kXingTocSize);
    }
    if (take(kXingHasQuality, 4)) {
        vbr.hasQuality = true;
        vbr.quality = BigEndian32(frame.data() + p - 4);
    }
    const auto room = [&](size_t n) { return fits && n <= frame.size() - p; };
    if (room(lametag::kSize)) ParseLame(frame, p, vbr);
    return true;
}

bool ParseVbri(std::span<const uint8_t> frame, VbrHeader& vbr) {
    if (frame.size() < kVbriOffset + kVbriFixedSize || !HasText(frame, kVbriOffset, "VBRI", 4)) return false;
    vbr.kind = VbrHeader::Kind::Vbri;
    vbr.tagOffset = static_cast<uint32_t>(kVbriOffset);
    vbr.hasBytes = true;
    vbr.bytes = BigEndian32(frame.data() + kVbriOffset + kVbriBytes);
    vbr.hasFrames = true;
    vbr.frames = BigEndian32(frame.data() + kVbriOffset + kVbriFrames);
    return true;
}

bool ParseVbrHeader(std::span<const uint8_t> frame, const MpegHeader& h, int64_t offset, VbrHeader& vbr) {
    if (h.layer != 3) return false;
    frame = frame.first(std::min<size_t>(frame.size(), h.length));
    // LAME puts the Xing fields of a protected stream where they would be without the CRC, and
    // decoders look for them there.
    if (!ParseXing(frame, XingOffset(h.version, h.channelMode, h.crc), vbr) &&
        !(h.crc && ParseXing(frame, XingOffset(h.version, h.channelMode, false), vbr)) && !ParseVbri(frame, vbr))
        return false;
    vbr.offset = offset;
    vbr.length = h.length;
    return true;
}

uint16_t LameCrc16(const uint8_t* data, size_t size, uint16_t crc) {
    // Eight bytes a step ("slicing by 8"): t[k][b] is the CRC of byte b followed by k zero bytes,
    // so the eight lookups of a step are independent. Clips are checked over every audio byte.
    static const auto t = [] {
        std::array<std::array<uint16_t, 256>, 8> table{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            table[0][i] = static_cast<uint16_t>(c);
        }
        for (size_t k = 1; k < 8; ++k)
            for (unsigned i = 0; i < 256; ++i)
                table[k][i] = static_cast<uint16_t>((table[k - 1][i] >> 8) ^ table[0][table[k - 1][i] & 0xFF]);
        return table;
    }();
    size_t i = 0;
    for (; size - i >= 8; i += 8) {
        const uint8_t* p = data + i;
        const unsigned x = crc ^ (p[0] | (unsigned{p[1]} << 8));
        crc = static_cast<uint16_t>(t[7][x & 0xFF] ^ t[6][x >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^
                                    t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    }
    for (; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFF]);
    return crc;
}
