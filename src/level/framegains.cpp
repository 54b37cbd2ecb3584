#include "level/framegains.h"

#include <algorithm>

#include "mpeg/sideinfo.h"

namespace {

// Writes the 8 bits of `value` at bit `bit` of `bytes`, most significant first.
void PutByteAtBit(std::span<uint8_t> bytes, size_t bit, uint8_t value) {
    for (unsigned i = 0; i < 8; ++i, ++bit) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit & 7));
        if ((value >> (7 - i)) & 1u) bytes[bit >> 3] |= mask;
        else bytes[bit >> 3] &= static_cast<uint8_t>(~mask);
    }
}

uint16_t StoredCrc(std::span<const uint8_t> frame) { return static_cast<uint16_t>((frame[4] << 8) | frame[5]); }

}  // namespace

bool PatchFrameGains(std::span<uint8_t> frame, size_t index, const GainPlan& plan, GainCount& count) {
    Layer3SideInfo side;
    if (!ParseLayer3SideInfo(frame, side)) return false;
    uint16_t crc = 0;
    const bool crcWasRight = Layer3Crc(frame, crc) && crc == StoredCrc(frame);
    bool touched = false;
    for (unsigned g = 0; g < side.granules; ++g) {
        const size_t granule = index * side.granules + g;
        for (unsigned c = 0; c < side.channels; ++c) {
            const GranuleChannel& gc = side.gr[g][c];
            bool clamped = false;
            const uint8_t gain = plan.Apply(gc.globalGain, granule, static_cast<int>(c), &clamped);
            if (clamped) ++count.clamped;
            if (gain != 0) {
                count.minGain = std::min(count.minGain, gain);
                count.maxGain = std::max(count.maxGain, gain);
            }
            if (gain == gc.globalGain) continue;
            // The parse checked that the side information, and so this field, lies in the frame.
            PutByteAtBit(frame, gc.globalGainBit, gain);
            ++count.changed;
            touched = true;
        }
    }
    if (touched && crcWasRight && Layer3Crc(frame, crc)) {
        frame[4] = static_cast<uint8_t>(crc >> 8);
        frame[5] = static_cast<uint8_t>(crc);
    }
    return true;
}
