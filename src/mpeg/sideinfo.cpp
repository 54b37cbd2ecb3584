#include "mpeg/sideinfo.h"

namespace {

// Reads big-endian bit fields; a read past the end fails and the cursor stays put.
class BitCursor {
public:
    BitCursor(std::span<const uint8_t> bytes, size_t bitPos) : bytes_(bytes), pos_(bitPos) {}

    bool Read(int bits, uint32_t& value) {
        if (pos_ + static_cast<size_t>(bits) > bytes_.size() * 8) return false;
        value = 0;
        for (int i = 0; i < bits; ++i, ++pos_)
            value = (value << 1) | ((bytes_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
        return true;
    }
    size_t Position() const { return pos_; }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_;
};

bool ReadGranule(BitCursor& in, bool mpeg1, GranuleChannel& g) {
    uint32_t v = 0;
    if (!in.Read(12, v)) return false;
    g.part23Length = static_cast<uint16_t>(v);
    if (!in.Read(9, v)) return false;
    g.bigValues = static_cast<uint16_t>(v);
    g.globalGainBit = static_cast<uint32_t>(in.Position());
    if (!in.Read(8, v)) return false;
    g.globalGain = static_cast<uint8_t>(v);
    if (!in.Read(mpeg1 ? 4 : 9, v)) return false;
    g.scalefacCompress = static_cast<uint16_t>(v);
    if (!in.Read(1, v)) return false;
    g.windowSwitching = v != 0;
    if (g.windowSwitching) {
        if (!in.Read(2, v)) return false;
        g.blockType = static_cast<uint8_t>(v);
        // mixed_block_flag, two table_selects, three subblock_gains
        if (!in.Read(1 + 2 * 5, v) || !in.Read(3 * 3, v)) return false;
    } else {
        // three table_selects, region0_count, region1_count
        if (!in.Read(3 * 5, v) || !in.Read(4 + 3, v)) return false;
    }
    // preflag (MPEG 1 only), scalefac_scale, count1table_select
    return in.Read(mpeg1 ? 3 : 2, v);
}

}  // namespace

uint32_t Layer3SideInfo::MainDataBits() const {
    uint32_t bits = 0;
    for (int g = 0; g < granules; ++g)
        for (int c = 0; c < channels; ++c) bits += gr[g][c].part23Length;
    return bits;
}

uint32_t Layer3HeaderBytes(MpegVersion version, uint8_t channelMode, bool crc) {
    return 4 + (crc ? 2 : 0) + Layer3SideInfoSize(version, channelMode);
}

bool ParseLayer3SideInfo(std::span<const uint8_t> frame, Layer3SideInfo& info) {
    MpegHeader h;
    if (frame.size() < 4 || !DecodeMpegHeader(frame.data(), h) || h.layer != 3) return false;
    Layer3SideInfo out;
    out.version = h.version;
    const bool mpeg1 = h.version == MpegVersion::Mpeg1;
    out.granules = mpeg1 ? 2 : 1;
    out.channels = h.channelMode == kMonoMode ? 1 : 2;
    out.headerBytes = Layer3HeaderBytes(h.version, h.channelMode, h.crc);
    if (frame.size() < out.headerBytes) return false;
    BitCursor in(frame.first(out.headerBytes), (h.crc ? 6 : 4) * 8);
    uint32_t v = 0;
    if (!in.Read(mpeg1 ? 9 : 8, v)) return false;
    out.mainDataBegin = static_cast<uint16_t>(v);
    // private bits, then (MPEG 1) the scale factor selection information
    const int privateBits = mpeg1 ? (out.channels == 1 ? 5 : 3) : out.channels;
    if (!in.Read(privateBits, v)) return false;
    if (mpeg1 && !in.Read(4 * out.channels, v)) return false;
    for (int g = 0; g < out.granules; ++g)
        for (int c = 0; c < out.channels; ++c)
            if (!ReadGranule(in, mpeg1, out.gr[g][c])) return false;
    info = out;
    return true;
}

bool Layer3Crc(std::span<const uint8_t> frame, uint16_t& crc) {
    MpegHeader h;
    if (frame.size() < 4 || !DecodeMpegHeader(frame.data(), h) || !h.crc) return false;
    const uint32_t end = Layer3HeaderBytes(h.version, h.channelMode, true);
    if (frame.size() < end) return false;
    uint16_t c = 0xFFFF;
    const auto feed = [&c](uint8_t byte) {
        for (int i = 7; i >= 0; --i) {
            const bool top = ((c >> 15) & 1) != ((byte >> i) & 1);
            c = static_cast<uint16_t>(c << 1);
            if (top) c ^= 0x8005;
        }
    };
    feed(frame[2]);
    feed(frame[3]);
    for (uint32_t i = 6; i < end; ++i) feed(frame[i]);
    crc = c;
    return true;
}
