#include "split/partrange.h"

bool PartRanges(const SplitSource& source, const SplitPlan& plan, std::vector<PartRange>* ranges,
                std::string* error) {
    ranges->clear();
    for (size_t i = 0; i < plan.PartCount(); ++i) {
        const PlannedPart part = plan.Part(i);
        PartRange r;
        r.firstFrame = source.FrameNearest(part.start);
        r.endFrame = source.FrameNearest(part.end);
        r.startSample = source.SampleAtFrame(r.firstFrame);
        r.endSample = source.SampleAtFrame(r.endFrame);
        if (r.endFrame <= r.firstFrame || r.endSample <= r.startSample) {
            if (error)
                *error = "Part " + std::to_string(i + 1) + " holds no audio once its ends are moved to frame starts";
            ranges->clear();
            return false;
        }
        ranges->push_back(r);
    }
    return true;
}
