#include "edit/sourcetimeline.h"

#include <algorithm>

#include "clips/xingframe.h"

SourceTimeline::SourceTimeline(const FrameTable& table)
    : frames_(table.frames.size()), spf_(table.samplesPerFrame) {
    const int64_t raw = static_cast<int64_t>(spf_) * static_cast<int64_t>(frames_);
    const VbrHeader& v = table.vbr;
    lead_ = kDecoderDelay + (v.hasLame ? v.encoderDelay : 0);
    const int64_t end = v.hasLame ? std::min(raw, raw + kDecoderDelay - int64_t{v.encoderPadding}) : raw;
    decoded_ = std::max<int64_t>(0, end - lead_);
}

size_t SourceTimeline::FrameNearest(int64_t sample) const {
    if (sample <= 0 || spf_ == 0) return 0;
    if (sample >= decoded_) return frames_;
    const int64_t frame = (sample + lead_ + spf_ / 2) / spf_;
    const size_t f = static_cast<size_t>(std::clamp<int64_t>(frame, 0, static_cast<int64_t>(frames_)));
    if (SampleAtFrame(f) == 0) return 0;
    if (SampleAtFrame(f) == decoded_) return frames_;
    return f;
}

int64_t SourceTimeline::SampleAtFrame(size_t frame) const {
    if (frame >= frames_) return decoded_;
    return std::clamp<int64_t>(static_cast<int64_t>(frame) * spf_ - lead_, 0, decoded_);
}
