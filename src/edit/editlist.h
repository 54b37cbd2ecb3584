#pragma once
// The edited timeline: the output as an ordered list of source ranges, in samples. Samples count
// from the first audible sample, after the encoder delay, as decoders give them. The window, the
// player and the renderer all read this one value; undo and redo keep copies of it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A half-open range of samples [start, end).
struct SampleRange {
    int64_t start = 0;
    int64_t end = 0;

    int64_t Length() const { return end - start; }
    bool operator==(const SampleRange&) const = default;
};

// How a kept range is played and written: a gain change in steps of the frames' global_gain
// (1.5 dB each) and fades at its ends. All zero is the source as it is.
struct SegmentLevel {
    int gainSteps = 0;
    int64_t fadeInSamples = 0;
    int64_t fadeOutSamples = 0;

    bool IsUnchanged() const { return gainSteps == 0 && fadeInSamples == 0 && fadeOutSamples == 0; }
    bool operator==(const SegmentLevel&) const = default;
};

// One kept range of the source.
struct EditSegment {
    SampleRange source;
    SegmentLevel level;

    bool operator==(const EditSegment&) const = default;
};

// Why an edit was refused; the list is then unchanged.
enum class EditRefusal {
    None,
    EmptyRange,    // a range of no samples (or one that ends before it starts)
    OutsideAudio,  // a range reaching before 0 or past the end
    Overlap,       // ranges of a list that overlap or are out of order
    NothingLeft,   // the edit would leave no samples at all
    AcrossJoin,    // a fade over more than one kept range
};

class EditList {
public:
    // No source yet: no samples.
    EditList() = default;
    // The whole source of `sourceSamples` samples, unedited.
    explicit EditList(int64_t sourceSamples);

    int64_t SourceSamples() const { return sourceSamples_; }
    const std::vector<EditSegment>& Segments() const { return segments_; }
    // Samples of the edited timeline.
    int64_t OutputSamples() const;
    // True while the output is the whole source.
    bool IsWhole() const;

    // Cut out: removes the output samples [range.start, range.end).
    EditRefusal Delete(SampleRange outputRange);
    // Crop: keeps only the output samples [range.start, range.end).
    EditRefusal KeepOnly(SampleRange outputRange);
    // The segment list: the output becomes these source ranges, in order. They must not overlap
    // and must be in ascending order; touching ones become one segment. Levels are reset.
    EditRefusal Keep(const std::vector<SampleRange>& sourceRanges);
    // Cut out several source ranges at once (ascending, not overlapping) from the whole source.
    EditRefusal DeleteSource(const std::vector<SampleRange>& sourceRanges);
    // Back to the whole source.
    void Restore();
    // The segments as they are (used by the renderer once it has rounded them to frames, and by
    // the level editing); refused like Keep, but levels are kept.
    EditRefusal SetSegments(const std::vector<EditSegment>& segments);

    // Level of the output samples [range.start, range.end), the segments split at the range's
    // edges: ChangeGain moves their gain by `steps`, SetGain makes it `steps`.
    EditRefusal ChangeGain(SampleRange outputRange, int steps);
    EditRefusal SetGain(SampleRange outputRange, int steps);
    // A ramp from silence up to the level over the range, or from the level down to silence. A
    // fade runs within one kept range: over a join it is refused.
    EditRefusal FadeIn(SampleRange outputRange);
    EditRefusal FadeOut(SampleRange outputRange);

    // The source sample that output sample `outputSample` plays; an output sample at or past the
    // end maps to the end of the last segment.
    int64_t ToSource(int64_t outputSample) const;
    // The output sample where source sample `sourceSample` plays, or nothing when it was removed.
    std::optional<int64_t> ToOutput(int64_t sourceSample) const;
    // Output samples where one segment ends and the next begins, ascending.
    std::vector<int64_t> Joins() const;
    // The output sample where segment `index` starts.
    int64_t OutputStart(size_t index) const;
    // Index of the segment that plays output sample `outputSample` (the last one for the end).
    size_t SegmentAt(int64_t outputSample) const;

    bool operator==(const EditList&) const = default;

private:
    // Output ranges as source pieces, in order; an empty result when nothing remains.
    std::vector<EditSegment> Slice(SampleRange outputRange) const;
    EditRefusal CheckOutputRange(SampleRange outputRange) const;
    // The segments cut at the range's edges; [*first, *end) are the pieces inside it.
    std::vector<EditSegment> SplitAround(SampleRange outputRange, size_t* first, size_t* end) const;
    // Sets the segments to `pieces`, touching ones of one level merged.
    void Merge(const std::vector<EditSegment>& pieces);
    template <typename Change>
    EditRefusal ChangeLevel(SampleRange outputRange, bool oneRange, Change change);

    int64_t sourceSamples_ = 0;
    std::vector<EditSegment> segments_;
};
