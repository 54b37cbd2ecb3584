#pragma once
// Joins of unrelated files made smooth: at each join a few frames are decoded and encoded anew
// (the edit list's smooth joins), the padding before the join is dropped exactly and the delay
// after it to within half a frame, with a short crossfade, so the join does not click.
#include <string>
#include <vector>

#include "join/joinplan.h"

// Makes every join of `plan` between inputs that are not parts of one stream smooth, crossfading
// over `crossfadeMs`. A join with too few frames on either side stays as it is. False with `error`
// when an input cannot be decoded or the frames cannot be encoded.
bool SmoothenJoins(const std::vector<JoinInput>& inputs, JoinPlan& plan, int crossfadeMs, std::string* error);
