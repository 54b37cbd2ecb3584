#include "playback/sinkdevice.h"

#include <algorithm>
#include <cstring>

#include "playback/pcm.h"

namespace {
// While the decoder has nothing yet, the sink gets this much silence per request (10 ms at
// 44.1 kHz), enough to keep it from running dry without delaying the sound that follows.
constexpr qint64 kSilenceBytes = 441 * pcm::kBytesPerFrame;
}  // namespace

SinkDevice::SinkDevice(RingBuffer& ring, QObject* parent) : QIODevice(parent), ring_(ring) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void SinkDevice::Begin(int64_t sample) {
    stretches_.assign(1, Stretch{0, sample, false});
    handed_ = 0;
    endFrame_ = -1;
    stopSample_ = -1;
    stoppedAtSample_ = false;
}

qint64 SinkDevice::bytesAvailable() const {
    // Always something to give until the end (silence when the decoder lags).
    return endFrame_ >= 0 ? QIODevice::bytesAvailable() : kSilenceBytes + QIODevice::bytesAvailable();
}

void SinkDevice::Note(int64_t sample, bool audio) {
    const Stretch& last = stretches_.back();
    const int64_t continued = last.audio ? last.sample + (handed_ - last.frame) : last.sample;
    if (last.audio == audio && continued == sample) return;
    if (last.frame == handed_) stretches_.pop_back();
    stretches_.push_back(Stretch{handed_, sample, audio});
}

qint64 SinkDevice::readData(char* data, qint64 maxSize) {
    if (endFrame_ >= 0 || stretches_.empty()) return 0;
    maxSize -= maxSize % pcm::kBytesPerFrame;
    const RingBuffer::Taken taken = ring_.Read(reinterpret_cast<uint8_t*>(data), static_cast<size_t>(maxSize));
    if (stopSample_ >= 0 && taken.firstSample + static_cast<int64_t>(taken.bytes) / pcm::kBytesPerFrame >= stopSample_) {
        // The stop sample lies in what was taken (or was reached): hand over up to it and end.
        const int64_t keep = std::max<int64_t>(0, stopSample_ - taken.firstSample);
        if (keep > 0) Note(taken.firstSample, true);
        handed_ += keep;
        endFrame_ = handed_;
        stoppedAtSample_ = true;
        return static_cast<qint64>(keep * pcm::kBytesPerFrame);
    }
    if (taken.bytes > 0) {
        Note(taken.firstSample, true);
        handed_ += static_cast<int64_t>(taken.bytes) / pcm::kBytesPerFrame;
        return static_cast<qint64>(taken.bytes);
    }
    if (taken.ended) {
        endFrame_ = handed_;
        return 0;
    }
    const qint64 silence = std::min(maxSize, kSilenceBytes);
    std::memset(data, 0, static_cast<size_t>(silence));
    Note(taken.firstSample, false);
    handed_ += silence / pcm::kBytesPerFrame;
    return silence;
}

int64_t SinkDevice::SampleAt(int64_t frames) const {
    if (stretches_.empty()) return 0;
    frames = std::clamp<int64_t>(frames, 0, handed_);
    auto after = std::upper_bound(stretches_.begin(), stretches_.end(), frames,
                                  [](int64_t f, const Stretch& s) { return f < s.frame; });
    const Stretch& s = *std::prev(after);
    return s.audio ? s.sample + (frames - s.frame) : s.sample;
}
