#pragma once
// The clip each part of a plan becomes: it starts on its cut point's sample and ends on the
// next one's, so the parts decode one after another into the source's samples. A cut point whose
// part cannot start on its sample (see PlanClipLayout) moves to the nearest frame start for both
// parts it touches.
#include <string>
#include <vector>

#include "clips/cliplayout.h"
#include "split/splitplan.h"
#include "split/splitsource.h"

// One clip layout per part of `plan`. False with `error` naming the part (from 1) when a part
// holds no audio.
bool PartRanges(const SplitSource& source, const SplitPlan& plan, std::vector<ClipLayout>* ranges,
                std::string* error);
