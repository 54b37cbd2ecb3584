#pragma once
// Reading and rewriting the global_gain fields of one Layer III frame in place.
#include <cstddef>
#include <cstdint>
#include <span>

#include "level/gainplan.h"

struct GainCount {
    uint64_t changed = 0;  // granule-channel fields given a new value
    uint64_t clamped = 0;  // fields held at 0 or 255 instead of moving the whole way
    uint8_t minGain = 255;  // over the fields that are not 0, after the change
    uint8_t maxGain = 0;
};

// Sets the global gains of `frame` (from its header on), frame number `index` of the stream, as
// `plan` says, and then its CRC-16 when the frame carries a correct one (a damaged CRC is left
// as it was). False, with the frame untouched, when its side information cannot be read.
// Other renderers that copy frames (an edit list's) patch their level through this too.
bool PatchFrameGains(std::span<uint8_t> frame, size_t index, const GainPlan& plan, GainCount& count);
