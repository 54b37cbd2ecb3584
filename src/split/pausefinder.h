#pragma once
// Quiet stretches of a file, found in its decoded audio, offered as cut points.
#include <functional>
#include <string>
#include <vector>

#include "split/splitplan.h"

struct PauseOptions {
    double thresholdDb = -48.0;   // a 10 ms window whose RMS level (dBFS) is below this is quiet
    double minPauseSeconds = 0.8;  // shorter quiet stretches are not pauses
};

struct Pause {
    double start = 0;  // seconds of decoded audio
    double end = 0;
};

// Fraction done in 0..1; false cancels.
using PauseProgress = std::function<bool(double fraction)>;

// Decodes `path` (gapless, mixed to mono) and lists its pauses, those at the very start and end
// included. False with `error` set when the file cannot be decoded or the search was cancelled.
bool FindPauses(const std::string& path, const PauseOptions& options, std::vector<Pause>* pauses,
                std::string* error, const PauseProgress& progress = {});

// Puts a cut point into the middle of each pause between two stretches of sound, or with `trim`
// leaves each pause out (a gap), the ones at the start and end too. Returns the cut points added.
size_t AddPauseCuts(SplitPlan& plan, const std::vector<Pause>& pauses, bool trim);
