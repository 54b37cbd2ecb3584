#include "clips/xingframe.h"

#include <algorithm>
#include <cstring>

namespace {

void PutBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint16_t BitrateKbps(const MpegFrame& f) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(f.header >> 24), static_cast<uint8_t>(f.header >> 16),
                              static_cast<uint8_t>(f.header >> 8), static_cast<uint8_t>(f.header)};
    MpegHeader h;
    return DecodeMpegHeader(bytes, h) ? h.bitrateKbps : 0;
}

size_t XingAt(const FrameTable& table, const MpegFrame& model) {
    return XingOffset(table.version, model.channelMode(), false);
}

}  // namespace

uint32_t XingFrameHeader(const FrameTable& table, const MpegFrame& model, bool vbr, uint8_t h[4]) {
    const size_t need = XingAt(table, model) + kXingFullSize + lametag::kSize;
    h[0] = 0xFF;
    h[1] = static_cast<uint8_t>((model.header >> 16) | 0x01);
    h[3] = static_cast<uint8_t>(model.header & 0xCF);  // mode extension cleared
    const uint8_t rateAndPrivate = static_cast<uint8_t>((model.header >> 8) & 0x0D);
    for (int pass = 0; pass < 2; ++pass) {
        for (int index = 1; index < 15; ++index) {
            h[2] = static_cast<uint8_t>((index << 4) | rateAndPrivate);
            MpegHeader decoded;
            if (!DecodeMpegHeader(h, decoded) || decoded.length < need) continue;
            if (pass == 0 && (vbr || (h[2] >> 4) != model.bitrateIndex())) continue;
            return decoded.length;
        }
    }
    return 0;
}

std::array<uint8_t, kXingTocSize> XingToc(uint32_t frames, uint32_t streamBytes,
                                          const std::function<uint64_t(uint32_t)>& frameStart) {
    std::array<uint8_t, kXingTocSize> toc{};
    if (frames == 0 || streamBytes == 0) return toc;
    for (uint32_t i = 0; i < kXingTocSize; ++i) {
        const uint64_t at = frameStart(static_cast<uint32_t>(uint64_t{i} * frames / 100));
        toc[i] = static_cast<uint8_t>(std::min<uint64_t>(255, at * 256 / streamBytes));
    }
    return toc;
}

std::vector<uint8_t> XingFrame(const FrameTable& table, const MpegFrame& model, const XingFrameFields& fields) {
    uint8_t h[4];
    const uint32_t length = XingFrameHeader(table, model, fields.vbr, h);
    if (length == 0) return {};
    const size_t xingAt = XingAt(table, model);
    const size_t lameAt = xingAt + kXingFullSize;
    std::vector<uint8_t> frame(length, 0);
    std::memcpy(frame.data(), h, 4);

    uint8_t* x = frame.data() + xingAt;
    std::memcpy(x, fields.vbr ? "Xing" : "Info", 4);
    // Every field present: frames, bytes, the TOC and the quality follow the flags.
    PutBigEndian32(x + 4, kXingAllFields);
    PutBigEndian32(x + 8, fields.frames);
    PutBigEndian32(x + 12, fields.streamBytes);
    std::memcpy(x + 16, fields.toc.data(), kXingTocSize);
    PutBigEndian32(x + 116, table.vbr.hasQuality ? table.vbr.quality : 0);

    uint8_t* l = frame.data() + lameAt;
    const VbrHeader& src = table.vbr;
    const bool sourceLame = src.hasLame && src.encoder.rfind("LAME3.", 0) == 0;
    if (sourceLame) {
        // The frames were made by this encoder; keep its description of the encoding.
        std::memcpy(l, src.lameBytes.data(), lametag::kSize);
        std::memset(l + lametag::kPeakAndGain, 0, lametag::kPeakAndGainSize);
    } else {
        // Decoders honour the delay fields only behind a LAME version string.
        std::memcpy(l + lametag::kVersion, "LAME3.100", lametag::kVersionSize);
        l[lametag::kRevisionMethod] = fields.vbr ? 0 : 1;  // revision 0; VBR method unknown, or CBR
        l[lametag::kBitrate] = static_cast<uint8_t>(fields.vbr ? 0 : std::min<int>(255, BitrateKbps(model)));
    }
    l[lametag::kRevisionMethod] &= 0x0F;
    uint8_t* d = l + lametag::kDelayPadding;
    d[0] = static_cast<uint8_t>(fields.delay >> 4);
    d[1] = static_cast<uint8_t>(((fields.delay & 0x0F) << 4) | (fields.padding >> 8));
    d[2] = static_cast<uint8_t>(fields.padding);
    PutBigEndian32(l + lametag::kMusicLength, fields.streamBytes);
    l[lametag::kMusicCrc] = static_cast<uint8_t>(fields.musicCrc >> 8);
    l[lametag::kMusicCrc + 1] = static_cast<uint8_t>(fields.musicCrc);
    const uint16_t tagCrc = LameCrc16(frame.data(), lameAt + lametag::kTagCrc);
    l[lametag::kTagCrc] = static_cast<uint8_t>(tagCrc >> 8);
    l[lametag::kTagCrc + 1] = static_cast<uint8_t>(tagCrc);
    return frame;
}
