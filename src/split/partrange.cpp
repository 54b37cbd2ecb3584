#include "split/partrange.h"

#include <algorithm>
#include <cmath>

bool PartRanges(const SplitSource& source, const SplitPlan& plan, std::vector<ClipLayout>* ranges,
                std::string* error) {
    ranges->clear();
    const FrameTable& table = source.Table();
    const uint64_t decoded = source.DecodedSamples();
    const auto sample = [&](double seconds) {
        if (!(seconds > 0)) return uint64_t{0};
        return std::min(decoded, static_cast<uint64_t>(std::llround(seconds * source.SampleRate())));
    };
    const size_t count = plan.PartCount();
    // Where each part really starts: the start of the part after a cut point is the end of the
    // one before, wherever the start had to go.
    std::vector<uint64_t> starts(count);
    for (size_t i = 0; i < count; ++i) {
        const uint64_t wanted = sample(plan.Part(i).start);
        const ClipLayout from = PlanClipLayout(table, wanted, decoded);
        starts[i] = from.Empty() ? wanted : from.start;
    }
    for (size_t i = 0; i < count; ++i) {
        const PlannedPart part = plan.Part(i);
        const uint64_t end = sample(part.end);
        const bool touching = i + 1 < count && end == sample(plan.Part(i + 1).start);
        const ClipLayout r = PlanClipLayout(table, sample(part.start), touching ? starts[i + 1] : end);
        if (r.Empty()) {
            if (error) *error = "Part " + std::to_string(i + 1) + " holds no audio";
            ranges->clear();
            return false;
        }
        ranges->push_back(r);
    }
    return true;
}
