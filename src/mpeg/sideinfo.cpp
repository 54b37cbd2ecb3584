#include "mpeg/sideinfo.h"

namespace {

// Bits per granule and channel: part2_3_length 12, big_values 9, global_gain 8,
// scalefac_compress (4 in MPEG-1, 9 otherwise), window_switching_flag 1, 22 bits of block type or
// region fields either way, then preflag (MPEG-1 only), scalefac_scale, count1table_select.
constexpr unsigned kGranuleBitsMpeg1 = 12 + 9 + 8 + 4 + 1 + 22 + 3;
constexpr unsigned kGranuleBitsMpeg2 = 12 + 9 + 8 + 9 + 1 + 22 + 2;
constexpr unsigned kGlobalGainAt = 12 + 9;

}  // namespace

uint32_t SideInfo::MainDataBits() const {
    uint32_t bits = 0;
    for (unsigned g = 0; g < granules; ++g)
        for (unsigned c = 0; c < channels; ++c) bits += gr[g][c].part2_3Length;
    return bits;
}

std::optional<uint32_t> ReadBits(std::span<const uint8_t> bytes, size_t bit, unsigned count) {
    if (count > 32 || bit > bytes.size() * 8 || count > bytes.size() * 8 - bit) return std::nullopt;
    uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i, ++bit) value = (value << 1) | ((bytes[bit >> 3] >> (7 - (bit & 7))) & 1u);
    return value;
}

bool WriteBits(std::span<uint8_t> bytes, size_t bit, unsigned count, uint32_t value) {
    if (count > 32 || bit > bytes.size() * 8 || count > bytes.size() * 8 - bit) return false;
    for (unsigned i = 0; i < count; ++i, ++bit) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit & 7));
        if ((value >> (count - 1 - i)) & 1u) bytes[bit >> 3] |= mask;
        else bytes[bit >> 3] &= static_cast<uint8_t>(~mask);
    }
    return true;
}

std::optional<SideInfo> ParseSideInfo(std::span<const uint8_t> frame) {
    MpegHeader h;
    if (frame.size() < 4 || !DecodeMpegHeader(frame.data(), h) || h.layer != 3) return std::nullopt;
    SideInfo s;
    const bool mpeg1 = h.version == MpegVersion::Mpeg1;
    const bool mono = h.channelMode == kMonoMode;
    s.granules = mpeg1 ? 2 : 1;
    s.channels = mono ? 1 : 2;
    s.offset = h.crc ? 6 : 4;
    s.size = Layer3SideInfoSize(h.version, h.channelMode);
    if (frame.size() < s.offset + s.size) return std::nullopt;
    const auto side = frame.subspan(s.offset, s.size);
    size_t bit = 0;
    s.mainDataBegin = static_cast<uint16_t>(*ReadBits(side, 0, mpeg1 ? 9 : 8));
    // private_bits, then the scfsi bits (MPEG-1 only).
    bit = mpeg1 ? 9 + (mono ? 5 : 3) + 4u * s.channels : 8 + (mono ? 1 : 2);
    const unsigned granuleBits = mpeg1 ? kGranuleBitsMpeg1 : kGranuleBitsMpeg2;
    for (unsigned g = 0; g < s.granules; ++g) {
        for (unsigned c = 0; c < s.channels; ++c, bit += granuleBits) {
            GranuleChannel& gc = s.gr[g][c];
            // The sizes above keep every field inside the side information.
            gc.part2_3Length = static_cast<uint16_t>(*ReadBits(side, bit, 12));
            gc.bigValues = static_cast<uint16_t>(*ReadBits(side, bit + 12, 9));
            gc.globalGain = static_cast<uint8_t>(*ReadBits(side, bit + kGlobalGainAt, 8));
            gc.globalGainBit = static_cast<uint32_t>(s.offset * 8 + bit + kGlobalGainAt);
        }
    }
    return s;
}

uint16_t FrameCrc16(std::span<const uint8_t> frame, size_t sideInfoSize) {
    unsigned crc = 0xFFFF;
    const auto add = [&crc](uint8_t byte) {
        for (int i = 7; i >= 0; --i) {
            const bool top = ((crc >> 15) ^ (byte >> i)) & 1u;
            crc = (crc << 1) & 0xFFFF;
            if (top) crc ^= 0x8005;
        }
    };
    add(frame[2]);
    add(frame[3]);
    for (size_t i = 0; i < sideInfoSize; ++i) add(frame[6 + i]);
    return static_cast<uint16_t>(crc);
}

bool UpdateFrameCrc(std::span<uint8_t> frame) {
    MpegHeader h;
    if (frame.size() < 4 || !DecodeMpegHeader(frame.data(), h) || h.layer != 3) return false;
    if (!h.crc) return true;
    const size_t side = Layer3SideInfoSize(h.version, h.channelMode);
    if (frame.size() < 6 + side) return false;
    const uint16_t crc = FrameCrc16(frame, side);
    frame[4] = static_cast<uint8_t>(crc >> 8);
    frame[5] = static_cast<uint8_t>(crc);
    return true;
}
