#pragma once
// Parts and pauses of an edited timeline. Each part is the edit list cut down to the part's
// stretch and rendered as an edited file (whole source frames, the bit reservoir carried over each
// join), so the parts are what the window plays. Pauses are found in the source and moved onto
// the timeline the cut points live on.
#include <vector>

#include "edit/editlist.h"
#include "split/partwriter.h"
#include "split/pausefinder.h"

// `plan`'s times are seconds of the edited timeline of `source` at its sample rate.
SplitOutcome SaveEditedParts(const SplitSource& source, const EditList& edits, const SplitPlan& plan,
                             const SplitOptions& options, const SplitProgress& progress = {});

// `pauses` (seconds of the source) as they lie in the edited timeline: what was cut out goes, and
// a pause that reaches across a join becomes one pause on each side of it.
std::vector<Pause> PausesOnTimeline(const EditList& edits, int sampleRate, const std::vector<Pause>& pauses);
