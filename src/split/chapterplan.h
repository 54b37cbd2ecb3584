#pragma once
// Chapters and the parts of a plan are the same thing seen from the tag and from the cut points:
// each part a chapter with its title, times in milliseconds of decoded audio.
#include <string>
#include <vector>

#include "id3/chapters.h"
#include "split/splitplan.h"

// One chapter per part, in order, ending where the next starts; a part without a title gets
// "<untitled> N" (N from 1) unless `untitled` is empty.
std::vector<mdlID3::Chapter> PlanChapters(const SplitPlan& plan, const std::string& untitled = "Chapter");

// Replaces the plan's cut points and titles with the chapters (in play order): a cut at each
// chapter's start, a gap where one ends before the next starts, the first chapter's start and the
// last one's end bounding the kept range. False with `error`, and the plan without cuts, when a
// chapter lies outside the audio or they overlap.
bool ApplyChapters(const std::vector<mdlID3::Chapter>& chapters, SplitPlan& plan, std::string* error);
