#include "clips/infoframe.h"

#include <algorithm>
#include <cstring>

namespace {

void PutBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint8_t ChannelMode(uint32_t header) { return static_cast<uint8_t>((header >> 6) & 3); }

uint16_t BitrateKbps(uint32_t header) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(header >> 24), static_cast<uint8_t>(header >> 16),
                              static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
    MpegHeader h;
    return DecodeMpegHeader(bytes, h) ? h.bitrateKbps : 0;
}

}  // namespace

uint32_t InfoFrameHeader(MpegVersion version, uint32_t modelHeader, bool vbr, uint8_t h[4]) {
    const size_t need = XingOffset(version, ChannelMode(modelHeader), false) + kXingFullSize + lametag::kSize;
    const uint8_t modelIndex = static_cast<uint8_t>((modelHeader >> 12) & 0x0F);
    h[0] = 0xFF;
    h[1] = static_cast<uint8_t>((modelHeader >> 16) | 0x01);
    h[3] = static_cast<uint8_t>(modelHeader & 0xCF);  // mode extension cleared
    const uint8_t rateAndPrivate = static_cast<uint8_t>((modelHeader >> 8) & 0x0D);
    for (int pass = 0; pass < 2; ++pass) {
        for (int index = 1; index < 15; ++index) {
            h[2] = static_cast<uint8_t>((index << 4) | rateAndPrivate);
            MpegHeader decoded;
            if (!DecodeMpegHeader(h, decoded) || decoded.length < need) continue;
            if (pass == 0 && (vbr || index != modelIndex)) continue;
            return decoded.length;
        }
    }
    return 0;
}

std::vector<uint8_t> BuildInfoFrame(const InfoFrameSpec& spec) {
    uint8_t h[4];
    const uint32_t length = InfoFrameHeader(spec.version, spec.modelHeader, spec.vbr, h);
    const size_t xingAt = XingOffset(spec.version, ChannelMode(spec.modelHeader), false);
    const size_t lameAt = xingAt + kXingFullSize;
    std::vector<uint8_t> frame(length, 0);
    if (length == 0) return frame;
    std::memcpy(frame.data(), h, 4);

    const uint32_t frames = spec.frames;
    const uint32_t streamBytes = std::max<uint32_t>(spec.streamBytes, 1);
    uint8_t* x = frame.data() + xingAt;
    std::memcpy(x, spec.vbr ? "Xing" : "Info", 4);
    PutBigEndian32(x + 4, kXingAllFields);
    // Every field present: frames, bytes, the TOC and the quality follow the flags.
    PutBigEndian32(x + 8, frames);
    PutBigEndian32(x + 12, spec.streamBytes);
    // TOC: entry i is the byte position of the frame at i % of the playing time, in 1/256 of
    // the file (the Xing header's seek table). One walk over the lengths, the entries in order.
    uint64_t position = length;
    uint32_t next = 0;
    for (uint32_t i = 0; i < 100; ++i) {
        const uint32_t target = static_cast<uint32_t>(uint64_t{i} * frames / 100);
        while (next < target) position += spec.frameLength(next++);
        x[16 + i] = static_cast<uint8_t>(std::min<uint64_t>(255, position * 256 / streamBytes));
    }
    const VbrHeader* src = spec.source;
    PutBigEndian32(x + 116, src && src->hasQuality ? src->quality : 0);

    uint8_t* l = frame.data() + lameAt;
    const bool sourceLame = src && src->hasLame && src->encoder.rfind("LAME3.", 0) == 0;
    if (sourceLame) {
        // The frames were made by this encoder; keep its description of the encoding.
        std::memcpy(l, src->lameBytes.data(), lametag::kSize);
        // Peak and ReplayGain were measured on the whole source.
        std::memset(l + lametag::kPeakAndGain, 0, lametag::kPeakAndGainSize);
    } else {
        // Decoders honour the delay fields only behind a LAME version string.
        std::memcpy(l + lametag::kVersion, "LAME3.100", lametag::kVersionSize);
        l[lametag::kRevisionMethod] = spec.vbr ? 0 : 1;  // revision 0; VBR method unknown, or CBR
        l[lametag::kBitrate] = static_cast<uint8_t>(spec.vbr ? 0 : std::min<int>(255, BitrateKbps(spec.modelHeader)));
    }
    l[lametag::kRevisionMethod] &= 0x0F;
    uint8_t* d = l + lametag::kDelayPadding;
    d[0] = static_cast<uint8_t>(spec.delay >> 4);
    d[1] = static_cast<uint8_t>(((spec.delay & 0x0F) << 4) | ((spec.padding >> 8) & 0x0F));
    d[2] = static_cast<uint8_t>(spec.padding);
    PutBigEndian32(l + lametag::kMusicLength, spec.streamBytes);
    l[lametag::kMusicCrc] = static_cast<uint8_t>(spec.musicCrc >> 8);
    l[lametag::kMusicCrc + 1] = static_cast<uint8_t>(spec.musicCrc);
    const uint16_t tagCrc = LameCrc16(frame.data(), lameAt + lametag::kTagCrc);
    l[lametag::kTagCrc] = static_cast<uint8_t>(tagCrc >> 8);
    l[lametag::kTagCrc + 1] = static_cast<uint8_t>(tagCrc);
    return frame;
}
