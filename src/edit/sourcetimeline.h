#pragma once
// The samples a listener hears of a walked source (0 = the first sample after the encoder delay
// that gapless decoders drop) against the frame starts where a lossless edit can join.
#include <cstddef>
#include <cstdint>

#include "mpeg/framescan.h"

class SourceTimeline {
public:
    explicit SourceTimeline(const FrameTable& table);

    // Samples a gapless decoder gives for the whole source. A source without a LAME tag counts
    // as one whose delay and padding are 0: everything written from it carries a tag, and
    // decoders then drop their 529 samples of warm-up.
    int64_t DecodedSamples() const { return decoded_; }
    // Samples of the frame timeline before the first decoded sample.
    int64_t Lead() const { return lead_; }
    size_t FrameCount() const { return frames_; }
    uint32_t SamplesPerFrame() const { return spf_; }

    // The frame whose start is nearest to decoded sample `sample`: 0 for the start (and anything
    // before the first frame start after it), FrameCount() for the end.
    size_t FrameNearest(int64_t sample) const;
    // The decoded sample where frame `frame` starts, clamped to 0..DecodedSamples().
    int64_t SampleAtFrame(size_t frame) const;

private:
    int64_t lead_ = 0;
    int64_t decoded_ = 0;
    size_t frames_ = 0;
    uint32_t spf_ = 0;
};
