#include "edit/reservoir.h"

#include <algorithm>

uint32_t MainDataAreaStart(const FrameTable& table, const MpegFrame& frame) {
    return Layer3HeaderBytes(table.version, frame.channelMode(), frame.crc());
}

std::vector<CarriedBytes> BorrowedBytes(const FrameTable& table, size_t q) {
    std::vector<CarriedBytes> pieces;
    if (q >= table.frames.size()) return pieces;
    const uint32_t need = table.frames[q].mainDataBegin;
    uint32_t have = 0;
    for (size_t k = q; k > 0 && have < need;) {
        --k;
        const MpegFrame& f = table.frames[k];
        const uint32_t start = std::min<uint32_t>(MainDataAreaStart(table, f), f.length);
        const uint32_t take = std::min(need - have, f.length - start);
        if (take > 0) pieces.push_back({k, f.length - take, take, 0});
        have += take;
    }
    std::reverse(pieces.begin(), pieces.end());
    uint32_t at = need - have;  // what the stream never had stays unwritten at the front
    for (CarriedBytes& p : pieces) {
        p.outputOffset = at;
        at += p.length;
    }
    return pieces;
}

std::optional<CarrierFit> FitCarriedBytes(const FrameTable& table, const MpegFrame& frame, const Layer3SideInfo& info,
                                          uint32_t borrowed) {
    const uint32_t areaStart = MainDataAreaStart(table, frame);
    // The frame's own main data starts mainDataBegin bytes before its area; what of it lies in
    // the area must stay where it is.
    const uint32_t own = info.MainDataBytes() > info.mainDataBegin ? info.MainDataBytes() - info.mainDataBegin : 0;
    const uint32_t needed = areaStart + own + borrowed;
    const uint8_t byte2 = static_cast<uint8_t>(frame.header >> 8);
    if (needed <= frame.length) return CarrierFit{frame.length, byte2, false, frame.length - borrowed};
    std::optional<CarrierFit> best;
    const uint8_t header[4] = {static_cast<uint8_t>(frame.header >> 24), static_cast<uint8_t>(frame.header >> 16),
                               byte2, static_cast<uint8_t>(frame.header)};
    for (int index = frame.bitrateIndex(); index < 15; ++index) {
        for (int padding = 0; padding < 2; ++padding) {
            uint8_t h[4] = {header[0], header[1], static_cast<uint8_t>((index << 4) | (byte2 & 0x0D) | (padding << 1)),
                            header[3]};
            MpegHeader decoded;
            if (!DecodeMpegHeader(h, decoded) || decoded.length < needed || decoded.length <= frame.length) continue;
            if (!best || decoded.length < best->length)
                best = CarrierFit{decoded.length, h[2], true, decoded.length - borrowed};
        }
    }
    return best;
}
