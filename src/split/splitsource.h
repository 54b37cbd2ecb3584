#pragma once
// The source of a split: its frames walked once, and the mapping between the times a listener
// hears (0 = the first real sample, after the encoder delay that gapless decoders drop) and the
// frame starts where parts can begin.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mpeg/framescan.h"

class SplitSource {
public:
    // Walks every frame of `path`. False with `error` set when it holds no Layer III audio.
    bool Open(const std::string& path, std::string* error, const ScanProgress& progress = {});

    const std::string& Path() const { return path_; }
    const FrameTable& Table() const { return table_; }
    size_t FrameCount() const { return table_.frames.size(); }
    uint32_t SampleRate() const { return table_.sampleRate; }
    // Samples a gapless decoder gives for the whole file (for the parts together, when the file
    // has no LAME tag).
    uint64_t DecodedSamples() const { return decoded_; }
    double DurationSeconds() const;

    // The frame whose start is nearest to `seconds` of decoded audio (0..FrameCount()).
    size_t FrameNearest(double seconds) const;
    // Decoded samples before the start of frame `frame`: 0 for frame 0 and anything still in the
    // encoder delay, DecodedSamples() for FrameCount() and anything in the padding.
    uint64_t SampleAtFrame(size_t frame) const;
    double SecondsAtFrame(size_t frame) const;

private:
    std::string path_;
    FrameTable table_;
    uint64_t lead_ = 0;     // samples of the frame timeline the decoder drops at the start
    uint64_t decoded_ = 0;
};
