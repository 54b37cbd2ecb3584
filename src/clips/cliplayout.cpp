#include "clips/cliplayout.h"

#include <algorithm>

#include "clips/xingframe.h"
#include "mpeg/mpegheader.h"

namespace {

// Bytes before a Layer III frame's main data area: header, CRC and side information.
uint32_t AreaStart(const FrameTable& table, const MpegFrame& f) {
    return 4 + (f.crc() ? 2 : 0) + Layer3SideInfoSize(table.version, f.channelMode());
}

uint32_t MainDataBytes(const FrameTable& table, const MpegFrame& f) {
    const uint32_t start = AreaStart(table, f);
    return f.length > start ? f.length - start : 0;
}

// First frame index needed so that frame `i` finds its main_data_begin bytes (ISO/IEC 11172-3,
// 2.4.1.7: they lie in the main data of the frames before it).
size_t ReservoirStart(const FrameTable& table, size_t i) {
    const uint32_t need = table.frames[i].mainDataBegin;
    uint32_t have = 0;
    size_t j = i;
    while (have < need && j > 0) {
        --j;
        have += MainDataBytes(table, table.frames[j]);
    }
    return j;
}

// The smallest frame of the stream, without CRC, whose main data area holds the bytes frame
// `i` borrows; length 0 when none does.
ReservoirCarrier CarrierFor(const FrameTable& table, size_t i) {
    const MpegFrame& f = table.frames[i];
    const uint32_t need = 4 + Layer3SideInfoSize(table.version, f.channelMode()) + f.mainDataBegin;
    uint8_t h[4] = {0xFF, static_cast<uint8_t>((f.header >> 16) | 0x01), 0, static_cast<uint8_t>(f.header)};
    for (int index = std::max<int>(1, f.bitrateIndex()); index < 15; ++index) {
        // The sampling frequency and private bit kept, no padding slot.
        h[2] = static_cast<uint8_t>((index << 4) | ((f.header >> 8) & 0x0D));
        MpegHeader decoded;
        if (!DecodeMpegHeader(h, decoded) || decoded.length < need) continue;
        const uint32_t header = (uint32_t{h[0]} << 24) | (uint32_t{h[1]} << 16) | (uint32_t{h[2]} << 8) | h[3];
        return ReservoirCarrier{header, decoded.length, f.mainDataBegin};
    }
    return {};
}

struct Lead {
    size_t from = 0;
    ReservoirCarrier carrier;
};

// What goes before frame `first`, the one holding a clip's first sample. Its output overlaps the
// granule before it, and the synthesis filter still holds that granule, itself overlapped with
// the one before: the two granules before `first` must decode as in the source. That is one
// frame back for MPEG-1 (two granules a frame), two for MPEG-2 and 2.5; the bytes the first of
// them borrows go into a carrier, or failing that, the frames that hold them are written too.
Lead LeadFor(const FrameTable& table, size_t first) {
    const size_t back = table.version == MpegVersion::Mpeg1 ? 1 : 2;
    Lead lead{first - std::min(first, back), {}};
    if (lead.from == 0 || table.frames[lead.from].mainDataBegin == 0) return lead;
    lead.carrier = CarrierFor(table, lead.from);
    if (lead.carrier.length == 0) lead.from = ReservoirStart(table, lead.from);
    return lead;
}

// The delay that hides the lead frames and the samples of frame `at / n` before `at`.
uint64_t DelayFor(const Lead& lead, uint64_t at, uint64_t n) {
    return at + (lead.carrier.length ? n : 0) - lead.from * n - kDecoderDelay;
}

}  // namespace

uint64_t SourceLead(const FrameTable& table) {
    return kDecoderDelay + (table.vbr.hasLame ? table.vbr.encoderDelay : 0);
}

uint64_t SourceDecodedSamples(const FrameTable& table) {
    const uint64_t raw = uint64_t{table.samplesPerFrame} * table.frames.size();
    uint64_t end = raw;
    if (table.complete && table.vbr.hasLame) {
        const uint64_t stop = raw + kDecoderDelay;
        end = std::min(raw, stop - std::min<uint64_t>(stop, table.vbr.encoderPadding));
    }
    const uint64_t lead = SourceLead(table);
    return end > lead ? end - lead : 0;
}

ClipLayout PlanClipLayout(const FrameTable& table, uint64_t start, uint64_t end) {
    ClipLayout c;
    const uint64_t n = table.samplesPerFrame;
    end = std::min(end, SourceDecodedSamples(table));
    if (n == 0 || start >= end) return c;
    const uint64_t sourceLead = SourceLead(table);
    // Positions on the frame timeline: frame i holds [i n, (i + 1) n) of the decoder's output.
    uint64_t at = start + sourceLead;
    size_t first = static_cast<size_t>(at / n);
    Lead lead = LeadFor(table, first);
    if (DelayFor(lead, at, n) > uint64_t{kMaxTagDelay}) {
        // Too far back for the tag: start on the nearest frame start (none before the audio),
        // with as many lead frames as the tag can hide.
        first = static_cast<size_t>(std::max((at + n / 2) / n, (sourceLead + n - 1) / n));
        lead = LeadFor(table, first);
        const size_t maxLead = static_cast<size_t>((kMaxTagDelay + kDecoderDelay) / n);
        if (!lead.carrier.length) lead.from = std::max(lead.from, first - std::min(first, maxLead));
        at = first * n;
    }
    const uint64_t stop = end + sourceLead;
    c.from = lead.from;
    c.first = first;
    c.to = static_cast<size_t>((stop + n - 1) / n);
    c.carrier = lead.carrier;
    c.start = at - sourceLead;
    c.end = end;
    c.delay = static_cast<uint32_t>(DelayFor(lead, at, n));
    c.padding = static_cast<uint32_t>(c.to * n - stop + kDecoderDelay);
    c.exactStart = c.start == start;
    if (c.Empty()) return ClipLayout{};
    return c;
}

std::vector<SourcePiece> CarriedPieces(const FrameTable& table, size_t frame, uint32_t carried) {
    std::vector<SourcePiece> pieces;
    uint32_t have = 0;
    for (size_t k = std::min(frame, table.frames.size()); k > 0 && have < carried;) {
        --k;
        const MpegFrame& f = table.frames[k];
        const uint32_t take = std::min(carried - have, MainDataBytes(table, f));
        if (take > 0) pieces.push_back({f.offset + f.length - take, take});
        have += take;
    }
    std::reverse(pieces.begin(), pieces.end());
    return pieces;
}
