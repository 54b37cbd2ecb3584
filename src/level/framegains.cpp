#include "level/framegains.h"

#include <algorithm>

#include "mpeg/sideinfo.h"

bool PatchFrameGains(std::span<uint8_t> frame, size_t index, const GainPlan& plan, GainCount& count) {
    const std::optional<SideInfo> side = ParseSideInfo(frame);
    if (!side) return false;
    const bool crc = side->offset == 6;
    const bool crcWasRight =
        crc && FrameCrc16(frame, side->size) == static_cast<uint16_t>((frame[4] << 8) | frame[5]);
    bool touched = false;
    for (unsigned g = 0; g < side->granules; ++g) {
        const size_t granule = index * side->granules + g;
        for (unsigned c = 0; c < side->channels; ++c) {
            const GranuleChannel& gc = side->gr[g][c];
            bool clamped = false;
            const uint8_t gain = plan.Apply(gc.globalGain, granule, static_cast<int>(c), &clamped);
            if (clamped) ++count.clamped;
            if (gain != 0) {
                count.minGain = std::min(count.minGain, gain);
                count.maxGain = std::max(count.maxGain, gain);
            }
            if (gain == gc.globalGain) continue;
            WriteBits(frame, gc.globalGainBit, 8, gain);
            ++count.changed;
            touched = true;
        }
    }
    if (touched && crcWasRight) UpdateFrameCrc(frame);
    return true;
}
