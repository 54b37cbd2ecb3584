#pragma once
// The frames each part of a plan gets: every time is moved to the nearest frame start, so parts
// are whole frames and follow each other without a sample lost or doubled.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "split/splitplan.h"
#include "split/splitsource.h"

struct PartRange {
    size_t firstFrame = 0;
    size_t endFrame = 0;       // one past the last
    uint64_t startSample = 0;  // of decoded audio, as a gapless decoder gives the source
    uint64_t endSample = 0;
    uint64_t Samples() const { return endSample - startSample; }
};

// One range per part of `plan`. False with `error` naming the part (from 1) when a part holds
// no audio once its ends are on frame starts.
bool PartRanges(const SplitSource& source, const SplitPlan& plan, std::vector<PartRange>* ranges,
                std::string* error);
