#include "split/chapterplan.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t Ms(double seconds) {
    return static_cast<uint32_t>(std::clamp(std::llround(seconds * 1000), 0LL, static_cast<long long>(UINT32_MAX)));
}

}  // namespace

std::vector<mdlID3::Chapter> PlanChapters(const SplitPlan& plan, const std::string& untitled) {
    std::vector<mdlID3::Chapter> chapters;
    for (size_t i = 0; i < plan.PartCount(); ++i) {
        const PlannedPart part = plan.Part(i);
        mdlID3::Chapter c;
        c.StartMs = Ms(part.start);
        c.EndMs = Ms(part.end);
        c.Title = part.title.empty() && !untitled.empty() ? untitled + " " + std::to_string(i + 1) : part.title;
        chapters.push_back(std::move(c));
    }
    for (size_t i = 0; i < chapters.size(); ++i) chapters[i].ElementId = "chp" + std::to_string(i);
    return chapters;
}

bool ApplyChapters(const std::vector<mdlID3::Chapter>& chapters, SplitPlan& plan, std::string* error) {
    const auto fail = [&](const std::string& why) {
        plan.ClearCuts();
        plan.SetRange(0, plan.Duration());
        if (error) *error = why;
        return false;
    };
    plan.ClearCuts();
    plan.SetRange(0, plan.Duration());
    if (chapters.empty()) return fail("The file has no chapters");
    const double begin = chapters.front().StartMs / 1000.0;
    const double lastEnd = chapters.back().EndMs / 1000.0;
    // A last chapter that ends past the audio (or says 0) ends with it.
    const double end = lastEnd > begin && lastEnd < plan.Duration() ? lastEnd : plan.Duration();
    if ((begin > 0 || end < plan.Duration()) && !plan.SetRange(begin, end))
        return fail("Chapter 1 starts past the end of the audio");
    for (size_t i = 0; i < chapters.size(); ++i) {
        if (i > 0) {
            const double start = chapters[i].StartMs / 1000.0;
            const double before = std::min(chapters[i - 1].EndMs / 1000.0, start);
            const int added = before < start && before > chapters[i - 1].StartMs / 1000.0 ? plan.AddGap(before, start)
                                                                                        : plan.AddCut(start);
            if (added < 0)
                return fail("Chapter " + std::to_string(i + 1) + " starts at or past the end of the audio, or before "
                            "the chapter ahead of it");
        }
        plan.SetPartTitle(i, chapters[i].Title);
    }
    return true;
}
