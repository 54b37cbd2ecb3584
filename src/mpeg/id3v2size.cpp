#include "mpeg/id3v2size.h"

namespace mdlID3 {
namespace {

bool Starts(std::span<const uint8_t> bytes, const char (&magic)[4]) {
    return bytes.size() >= kID3v2HeaderSize && bytes[0] == magic[0] && bytes[1] == magic[1] && bytes[2] == magic[2];
}

int64_t BodySize(std::span<const uint8_t> headerOrFooter) {
    return int64_t{ReadSize32(headerOrFooter.subspan(6, 4), true)};
}

}  // namespace

uint32_t ReadSize32(std::span<const uint8_t> bytes, bool syncSafe) {
    if (bytes.size() < 4) return 0;
    uint32_t b0 = bytes[0], b1 = bytes[1], b2 = bytes[2], b3 = bytes[3];
    if (syncSafe && ((b0 | b1 | b2 | b3) & 0x80) == 0) return (b0 << 21) | (b1 << 14) | (b2 << 7) | b3;
    return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
}

int64_t ID3v2TagBytes(std::span<const uint8_t> header) {
    if (!Starts(header, "ID3")) return 0;
    const bool footer = header[3] >= 4 && (header[5] & kID3v2FooterFlag);
    return kID3v2HeaderSize + BodySize(header) + (footer ? kID3v2FooterSize : 0);
}

int64_t ID3v2AppendedTagBytes(std::span<const uint8_t> footer) {
    if (!Starts(footer, "3DI")) return 0;
    return kID3v2HeaderSize + BodySize(footer) + kID3v2FooterSize;
}

}  // namespace mdlID3
