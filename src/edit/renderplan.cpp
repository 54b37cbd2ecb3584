#include "edit/renderplan.h"

#include <algorithm>
#include <cmath>

#include "clips/xingframe.h"
#include "edit/smoothjoin.h"
#include "edit/sourcetimeline.h"

namespace {

// How far back a join may move to find a frame whose borrowed bytes fit the frame before it.
constexpr size_t kFallbackFrames = 8;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// First frame needed so that frame `i` finds the bytes its main_data_begin reaches back to.
size_t ReservoirStart(const FrameTable& table, size_t i) {
    uint32_t have = 0;
    size_t j = i;
    while (have < table.frames[i].mainDataBegin && j > 0) {
        --j;
        const MpegFrame& f = table.frames[j];
        have += f.length - std::min<uint32_t>(f.length, MainDataAreaStart(table, f));
    }
    return j;
}

struct Run {
    size_t from = 0, to = 0;  // source frames [from, to)
};

// How the join after a run is made.
struct JoinShape {
    bool smooth = false;
    size_t reencoded = 0;   // frames before the join's end of the run that are encoded anew
    int64_t end = 0;        // the outgoing segment's exact last sample + 1
    int64_t requested = 0;  // source samples between the segments
    int64_t removed = 0;    // the same in whole frames
};

// The kept ranges for smooth joins: each join's outgoing run ends with the frames to encode anew
// and the next run resumes whole frames later, so that the frames after them stay copies. A join
// whose frames would reach before its run's first frame or past the next one's end is made
// lossless on the nearest frame starts.
bool SmoothRuns(const SourceTimeline& timeline, const EditList& edits, int64_t crossfade, std::vector<Run>& runs,
                std::vector<JoinShape>& shapes, std::string* error) {
    const std::vector<EditSegment>& segs = edits.Segments();
    const int64_t n = timeline.SamplesPerFrame();
    runs.assign(1, {timeline.FrameNearest(segs.front().source.start), 0});
    shapes.clear();
    for (size_t k = 0; k + 1 < segs.size(); ++k) {
        const int64_t end = segs[k].source.end, resume = segs[k + 1].source.start;
        JoinShape shape{false, 0, end, resume - end, (resume - end + n / 2) / n * n};
        if (shape.removed == 0) continue;  // under half a frame: nothing whole to remove
        const SmoothFrames w = SmoothJoinFrames(end + timeline.Lead(), n, crossfade);
        const int64_t resumeFrame = w.end + shape.removed / n;
        const int64_t nextEnd = static_cast<int64_t>(timeline.FrameNearest(segs[k + 1].source.end));
        if (w.first > static_cast<int64_t>(runs.back().from) && resumeFrame < nextEnd &&
            resumeFrame < static_cast<int64_t>(timeline.FrameCount())) {
            shape.smooth = true;
            shape.reencoded = static_cast<size_t>(w.end - w.first);
            runs.back().to = static_cast<size_t>(w.end);
            runs.push_back({static_cast<size_t>(resumeFrame), 0});
        } else {
            const size_t to = timeline.FrameNearest(end), from = timeline.FrameNearest(resume);
            if (from <= to) continue;
            runs.back().to = to;
            runs.push_back({from, 0});
        }
        shapes.push_back(shape);
    }
    runs.back().to = timeline.FrameNearest(segs.back().source.end);
    for (const Run& r : runs)
        if (r.from >= r.to) return Fail(error, "A kept range is too short to be joined: it is under a frame long");
    return true;
}

// The kept ranges on the frame starts nearest to their ends; ranges that round to nothing go,
// ranges that then touch become one.
std::vector<Run> RoundToFrames(const SourceTimeline& timeline, const EditList& edits) {
    std::vector<Run> runs;
    for (const EditSegment& s : edits.Segments()) {
        const size_t from = timeline.FrameNearest(s.source.start), to = timeline.FrameNearest(s.source.end);
        if (from >= to) continue;
        if (!runs.empty() && runs.back().to >= from)
            runs.back().to = std::max(runs.back().to, to);
        else
            runs.push_back({from, to});
    }
    return runs;
}

// Makes the join between runs `before` and `after` keep the frame after it whole: the bytes it
// borrows go into the last frame of `before`. When they cannot fit there, the join moves back a
// frame at a time (those frames of the removed range are kept). Fills `join` and adds the patch.
bool RepairJoin(const FrameTable& table, const SideInfoSource& sideInfo, Run& before, Run& after,
                RenderPlan& plan, PlannedJoin& join, int32_t& patchIndex, std::string* error) {
    const size_t p = before.to - 1;
    const size_t lowest = std::max(p + 2, after.from > kFallbackFrames ? after.from - kFallbackFrames : 0);
    std::optional<Layer3SideInfo> info;
    for (size_t q = after.from; q >= lowest && q > p; --q) {
        const uint32_t borrowed = table.frames[q].mainDataBegin;
        join.mode = q < after.from ? JoinMode::LeadFrames : JoinMode::Lossless;
        if (borrowed == 0) {
            after.from = q;
            return true;
        }
        if (!info) info = sideInfo(p);
        if (!info) return Fail(error, "Cannot read the side information of frame " + std::to_string(p));
        const std::optional<CarrierFit> fit = FitCarriedBytes(table, table.frames[p], *info, borrowed);
        if (!fit) continue;
        FramePatch patch;
        patch.length = fit->length;
        patch.newHeaderByte2 = fit->grown;
        if (fit->grown) patch.headerByte2 = fit->headerByte2;
        patch.carried = BorrowedBytes(table, q);
        for (CarriedBytes& c : patch.carried) c.outputOffset += fit->carryAt;
        join.grown = fit->grown;
        patchIndex = static_cast<int32_t>(plan.patches.size());
        plan.patches.push_back(std::move(patch));
        after.from = q;
        return true;
    }
    return Fail(error, "The bit reservoir at frame " + std::to_string(after.from) + " cannot be carried over the join");
}

}  // namespace

const char* JoinModeName(JoinMode mode) {
    switch (mode) {
    case JoinMode::Lossless: return "lossless";
    case JoinMode::Smooth: return "smooth";
    case JoinMode::LeadFrames: return "lead-frames";
    }
    return "lossless";
}

std::vector<LevelSpan> LevelSpans(const EditList& edits) {
    std::vector<LevelSpan> spans;
    for (const EditSegment& s : edits.Segments())
        if (!s.level.IsUnchanged())
            spans.push_back({s.source.start, s.source.end, s.level.gainSteps, s.level.fadeInSamples, s.level.fadeOutSamples});
    return spans;
}

uint32_t RenderPlan::FrameLength(const FrameTable& table, size_t i) const {
    const PlannedFrame& f = frames[i];
    if (f.patch >= 0) return patches[static_cast<size_t>(f.patch)].length;
    return table.frames[f.source].length;
}

bool PlanRender(const FrameTable& table, const EditList& edits, const SideInfoSource& sideInfo,
                const RenderOptions& options, RenderPlan& plan, std::string* error) {
    plan = RenderPlan{};
    if (table.layer != 3 || table.frames.empty() || table.samplesPerFrame == 0)
        return Fail(error, "Editing without re-encoding needs MPEG Layer III audio");
    if (!table.complete) return Fail(error, "The frames of the whole file are needed for an edit");
    const SourceTimeline timeline(table);
    if (edits.SourceSamples() != timeline.DecodedSamples())
        return Fail(error, "The edit list was made for a different length of audio");
    std::vector<Run> runs;
    std::vector<JoinShape> shapes;
    if (options.smoothJoins) {
        const int64_t crossfade = std::llround(std::max(0, options.crossfadeMs) * 0.001 * table.sampleRate);
        if (!SmoothRuns(timeline, edits, crossfade, runs, shapes, error)) return false;
    } else {
        runs = RoundToFrames(timeline, edits);
        if (runs.empty()) return Fail(error, "Nothing is left: every kept range is shorter than a frame");
        shapes.resize(runs.size() - 1);
    }

    std::vector<int32_t> patchOf(runs.size(), -1);  // patch of each run's last frame
    std::vector<PlannedJoin> joins(runs.size() - 1);
    for (size_t j = 1; j < runs.size(); ++j) {
        const JoinShape& shape = shapes[j - 1];
        joins[j - 1].requestedRemoved = shape.requested;
        joins[j - 1].removed = shape.removed;
        if (shape.smooth) {
            joins[j - 1].mode = JoinMode::Smooth;
            joins[j - 1].reencodedFrames = static_cast<int>(shape.reencoded);
            continue;
        }
        if (!options.repairReservoir) continue;
        if (!RepairJoin(table, sideInfo, runs[j - 1], runs[j], plan, joins[j - 1], patchOf[j - 1], error))
            return false;
    }

    const uint32_t n = table.samplesPerFrame;
    const VbrHeader& src = table.vbr;
    const size_t first = runs.front().from;
    size_t from = first;
    if (first == 0) {
        plan.encoderDelay = src.hasLame ? src.encoderDelay : 0;
    } else {
        // As in a clip: the two granules before the first kept frame decode as in the source, with
        // the frames their reservoir reaches into; the delay hides their output.
        const size_t back = table.version == MpegVersion::Mpeg1 ? 1 : 2;
        from = ReservoirStart(table, first - std::min(first, back));
        const size_t maxLead = static_cast<size_t>((kMaxTagDelay + kDecoderDelay) / n);
        from = std::max(from, first - std::min(first, maxLead));
        plan.encoderDelay = static_cast<uint16_t>((first - from) * n - kDecoderDelay);
    }
    const bool toTheEnd = runs.back().to == table.frames.size();
    plan.encoderPadding = (toTheEnd && src.hasLame) ? src.encoderPadding : kDecoderDelay;

    for (size_t k = from; k < first; ++k) plan.frames.push_back({k, -1});
    int64_t at = 0;
    for (size_t j = 0; j < runs.size(); ++j) {
        const Run& r = runs[j];
        if (j > 0) {
            joins[j - 1].outputSample = at;
            joins[j - 1].outputFrame = plan.frames.size();
        }
        for (size_t k = r.from; k < r.to; ++k) plan.frames.push_back({k, k + 1 == r.to ? patchOf[j] : -1});
        const SampleRange source{timeline.SampleAtFrame(r.from), timeline.SampleAtFrame(r.to)};
        plan.segments.push_back({source, at});
        at += source.Length();
    }
    // A smooth join is on its exact sample: the outgoing segment ends where it was asked to, and
    // the next resumes whole frames later; their frames around the join wait to be encoded.
    for (size_t j = 0; j < joins.size(); ++j) {
        PlannedJoin& join = joins[j];
        if (join.mode != JoinMode::Smooth) {
            if (options.smoothJoins) join.removed = plan.segments[j + 1].source.start - plan.segments[j].source.end;
            continue;
        }
        PlannedSegment& before = plan.segments[j];
        PlannedSegment& after = plan.segments[j + 1];
        before.source.end = shapes[j].end;
        after.source.start = shapes[j].end + shapes[j].removed;
        after.outputStart = before.outputStart + before.source.Length();
        join.outputSample = after.outputStart;
        join.reencodeFrom = join.outputFrame - static_cast<size_t>(join.reencodedFrames);
        for (size_t k = join.reencodeFrom; k < join.outputFrame; ++k) {
            FramePatch placeholder;
            placeholder.reencoded = true;
            plan.frames[k].patch = static_cast<int32_t>(plan.patches.size());
            plan.patches.push_back(std::move(placeholder));
        }
    }
    plan.joins = std::move(joins);
    plan.outputSamples = at;
    plan.vbr = table.variableBitrate || src.kind == VbrHeader::Kind::Xing || src.kind == VbrHeader::Kind::Vbri;
    for (const PlannedJoin& j : plan.joins) plan.vbr = plan.vbr || j.grown;
    if (const std::vector<LevelSpan> spans = LevelSpans(edits); !spans.empty()) plan.gains = PlanForTimeline(table, spans);
    return true;
}
