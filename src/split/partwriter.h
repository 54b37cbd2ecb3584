#pragma once
// Writes every part of a plan as a clean clip (whole frames, reservoir lead frames, a fresh
// Xing/Info + LAME header whose delay and padding start and end it on its cut points' samples,
// so the parts play back gaplessly), each
// through the crash-safe writer and tagged from the source before it takes its name.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "split/partnames.h"
#include "split/splitplan.h"
#include "split/splitsource.h"

struct SplitOptions {
    std::string outputDir;                     // empty: the source's folder
    std::string namePattern = kDefaultNamePattern;
    bool overwrite = false;                    // replace parts that exist already
};

struct SavedPart {
    std::string path;
    std::string title;
    double start = 0;  // seconds of the source's decoded audio
    double end = 0;
    uint64_t samples = 0;
    bool exactStart = true;  // false: the bit reservoir reached too far back, it starts on a frame
};

struct SplitOutcome {
    std::vector<SavedPart> written;  // in order; they stay on disk whatever happens after them
    bool ok = false;
    bool cancelled = false;
    // From 0; -1 when the plan was refused before any part was written, or when every part was
    // written but their folder could not be flushed (`written` then holds them all).
    int failedPart = -1;
    std::string error;
};

// Called before each part (`fraction` of the whole done) and once at the end with 1; false
// cancels before the next part. `part` counts from 0.
using SplitProgress = std::function<bool(size_t part, double fraction)>;

// Target paths of every part, checked: valid names, no two alike, none the source, none existing
// unless `overwrite`. False with `error` set, and no part written, otherwise.
bool PlanPartPaths(const SplitSource& source, const SplitPlan& plan, const SplitOptions& options,
                   std::vector<std::string>* paths, std::string* error);

SplitOutcome SaveParts(const SplitSource& source, const SplitPlan& plan, const SplitOptions& options,
                       const SplitProgress& progress = {});
