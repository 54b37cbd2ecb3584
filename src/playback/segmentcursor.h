#pragma once
// Where the decoder thread stands in an edited timeline: the output is the listed stretches of the
// source, one after the other. Positions outside (what the player reports, where it seeks) count
// output samples; the decoder is sent to source samples. With no stretches listed the output is
// the source itself.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "edit/editlist.h"

// Source samples [sourceStart, sourceEnd), counted as the decoder counts them, played at `level`.
struct PlaySegment {
    PlaySegment() = default;
    PlaySegment(int64_t start, int64_t end, SegmentLevel played = {}) : sourceStart(start), sourceEnd(end), level(played) {}

    int64_t sourceStart = 0;
    int64_t sourceEnd = 0;
    SegmentLevel level;

    bool operator==(const PlaySegment&) const = default;
};

class SegmentCursor {
public:
    // Empty stretches are left out; an empty list plays the source as it is.
    void SetSegments(const std::vector<PlaySegment>& segments);
    bool Whole() const { return segments_.empty(); }
    // Output samples in all, -1 for the source as it is.
    int64_t Length() const;
    // Puts the cursor on output `sample`; returns the source sample to decode from, -1 at or past
    // the end.
    int64_t Seek(int64_t sample);
    // Samples the decoder may deliver before the current stretch ends (the whole source: no limit).
    int64_t Remaining() const;
    // The next source sample to deliver.
    int64_t Source() const { return source_; }
    // `samples` more were delivered.
    void Advance(int64_t samples);
    // The current stretch is used up: moves to the next and returns its source start, -1 when
    // there is none.
    int64_t Next();

private:
    std::vector<PlaySegment> segments_;
    size_t index_ = 0;
    int64_t source_ = 0;  // the next source sample to deliver
};
