#pragma once
// The source of a split: its frames walked once, and the length a listener hears (from the first
// real sample, after the encoder delay that gapless decoders drop).
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

private:
    std::string path_;
    FrameTable table_;
    uint64_t decoded_ = 0;
};
