#include "edit/editlist.h"

#include <algorithm>

namespace {

// Gains at most this far from the source's: more than the 8-bit field can move either way.
constexpr int kMaxGainSteps = 255;

// Touching pieces of one gain are one segment, unless a fade would end up inside it: a deletion
// undone by hand leaves no join.
void Append(std::vector<EditSegment>& out, const EditSegment& piece) {
    if (!out.empty()) {
        EditSegment& back = out.back();
        if (back.source.end == piece.source.start && back.level.gainSteps == piece.level.gainSteps &&
            back.level.fadeOutSamples == 0 && piece.level.fadeInSamples == 0) {
            back.source.end = piece.source.end;
            back.level.fadeOutSamples = piece.level.fadeOutSamples;
            return;
        }
    }
    out.push_back(piece);
}

}  // namespace

EditList::EditList(int64_t sourceSamples) : sourceSamples_(std::max<int64_t>(0, sourceSamples)) { Restore(); }

int64_t EditList::OutputSamples() const {
    int64_t total = 0;
    for (const EditSegment& s : segments_) total += s.source.Length();
    return total;
}

bool EditList::IsWhole() const {
    return segments_.size() == 1 && segments_[0].source == SampleRange{0, sourceSamples_} &&
           segments_[0].level.IsUnchanged();
}

void EditList::Restore() {
    segments_.clear();
    if (sourceSamples_ > 0) segments_.push_back({{0, sourceSamples_}, {}});
}

EditRefusal EditList::CheckOutputRange(SampleRange r) const {
    if (r.end <= r.start) return EditRefusal::EmptyRange;
    if (r.start < 0 || r.end > OutputSamples()) return EditRefusal::OutsideAudio;
    return EditRefusal::None;
}

std::vector<EditSegment> EditList::Slice(SampleRange r) const {
    std::vector<EditSegment> out;
    int64_t at = 0;
    for (const EditSegment& s : segments_) {
        const int64_t len = s.source.Length();
        const int64_t from = std::max(r.start, at), to = std::min(r.end, at + len);
        if (from < to) {
            EditSegment piece = s;
            piece.source = {s.source.start + (from - at), s.source.start + (to - at)};
            // A fade belongs to the end of the segment it was set on.
            if (piece.source.start != s.source.start) piece.level.fadeInSamples = 0;
            if (piece.source.end != s.source.end) piece.level.fadeOutSamples = 0;
            out.push_back(piece);
        }
        at += len;
    }
    return out;
}

EditRefusal EditList::Delete(SampleRange r) {
    if (const EditRefusal why = CheckOutputRange(r); why != EditRefusal::None) return why;
    if (r.start == 0 && r.end == OutputSamples()) return EditRefusal::NothingLeft;
    std::vector<EditSegment> out = Slice({0, r.start});
    for (const EditSegment& s : Slice({r.end, OutputSamples()})) out.push_back(s);
    Merge(out);
    return EditRefusal::None;
}

EditRefusal EditList::KeepOnly(SampleRange r) {
    if (const EditRefusal why = CheckOutputRange(r); why != EditRefusal::None) return why;
    segments_ = Slice(r);
    return EditRefusal::None;
}

std::vector<EditSegment> EditList::SplitAround(SampleRange r, size_t* first, size_t* end) const {
    std::vector<EditSegment> out = Slice({0, r.start});
    *first = out.size();
    for (const EditSegment& s : Slice(r)) out.push_back(s);
    *end = out.size();
    for (const EditSegment& s : Slice({r.end, OutputSamples()})) out.push_back(s);
    return out;
}

void EditList::Merge(const std::vector<EditSegment>& pieces) {
    std::vector<EditSegment> out;
    for (const EditSegment& s : pieces) Append(out, s);
    segments_ = std::move(out);
}

template <typename Change>
EditRefusal EditList::ChangeLevel(SampleRange r, bool oneRange, Change change) {
    if (const EditRefusal why = CheckOutputRange(r); why != EditRefusal::None) return why;
    size_t first = 0, end = 0;
    std::vector<EditSegment> pieces = SplitAround(r, &first, &end);
    if (oneRange && end - first != 1) return EditRefusal::AcrossJoin;
    for (size_t i = first; i < end; ++i) change(pieces[i]);
    Merge(pieces);
    return EditRefusal::None;
}

EditRefusal EditList::ChangeGain(SampleRange r, int steps) {
    return ChangeLevel(r, false, [steps](EditSegment& s) {
        s.level.gainSteps = std::clamp(s.level.gainSteps + steps, -kMaxGainSteps, kMaxGainSteps);
    });
}

EditRefusal EditList::SetGain(SampleRange r, int steps) {
    return ChangeLevel(r, false, [steps](EditSegment& s) { s.level.gainSteps = std::clamp(steps, -kMaxGainSteps, kMaxGainSteps); });
}

EditRefusal EditList::FadeIn(SampleRange r) {
    return ChangeLevel(r, true, [](EditSegment& s) { s.level.fadeInSamples = s.source.Length(); });
}

EditRefusal EditList::FadeOut(SampleRange r) {
    return ChangeLevel(r, true, [](EditSegment& s) { s.level.fadeOutSamples = s.source.Length(); });
}

EditRefusal EditList::SetSegments(const std::vector<EditSegment>& segments) {
    if (segments.empty()) return EditRefusal::NothingLeft;
    int64_t previousEnd = 0;
    for (const EditSegment& s : segments) {
        if (s.source.end <= s.source.start) return EditRefusal::EmptyRange;
        if (s.source.start < 0 || s.source.end > sourceSamples_) return EditRefusal::OutsideAudio;
        if (s.source.start < previousEnd) return EditRefusal::Overlap;
        previousEnd = s.source.end;
    }
    Merge(segments);
    return EditRefusal::None;
}

EditRefusal EditList::Keep(const std::vector<SampleRange>& sourceRanges) {
    std::vector<EditSegment> segments;
    for (const SampleRange& r : sourceRanges) segments.push_back({r, {}});
    return SetSegments(segments);
}

EditRefusal EditList::DeleteSource(const std::vector<SampleRange>& sourceRanges) {
    std::vector<SampleRange> kept;
    int64_t at = 0;
    for (const SampleRange& r : sourceRanges) {
        if (r.end <= r.start) return EditRefusal::EmptyRange;
        if (r.start < 0 || r.end > sourceSamples_) return EditRefusal::OutsideAudio;
        if (r.start < at) return EditRefusal::Overlap;
        if (r.start > at) kept.push_back({at, r.start});
        at = r.end;
    }
    if (at < sourceSamples_) kept.push_back({at, sourceSamples_});
    return Keep(kept);
}

int64_t EditList::ToSource(int64_t outputSample) const {
    if (segments_.empty()) return 0;
    const size_t i = SegmentAt(outputSample);
    const EditSegment& s = segments_[i];
    return std::min(s.source.end, s.source.start + std::max<int64_t>(0, outputSample - OutputStart(i)));
}

std::optional<int64_t> EditList::ToOutput(int64_t sourceSample) const {
    int64_t at = 0;
    for (const EditSegment& s : segments_) {
        if (sourceSample >= s.source.start && sourceSample < s.source.end) return at + (sourceSample - s.source.start);
        at += s.source.Length();
    }
    return std::nullopt;
}

std::vector<int64_t> EditList::Joins() const {
    std::vector<int64_t> joins;
    int64_t at = 0;
    for (size_t i = 0; i + 1 < segments_.size(); ++i) {
        at += segments_[i].source.Length();
        joins.push_back(at);
    }
    return joins;
}

int64_t EditList::OutputStart(size_t index) const {
    int64_t at = 0;
    for (size_t i = 0; i < index && i < segments_.size(); ++i) at += segments_[i].source.Length();
    return at;
}

size_t EditList::SegmentAt(int64_t outputSample) const {
    int64_t at = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        at += segments_[i].source.Length();
        if (outputSample < at) return i;
    }
    return segments_.empty() ? 0 : segments_.size() - 1;
}
