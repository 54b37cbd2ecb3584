#include "playback/ringbuffer.h"

#include <algorithm>
#include <cstring>

#include "playback/pcm.h"

RingBuffer::RingBuffer(size_t capacity) : data_(capacity) {}

void RingBuffer::Reset(uint64_t generation, int64_t firstSample) {
    std::lock_guard<std::mutex> lock(mutex_);
    generation_ = generation;
    head_ = 0;
    used_ = 0;
    nextSample_ = firstSample;
    ended_ = false;
}

size_t RingBuffer::Write(uint64_t generation, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_ || ended_) return 0;
    size_t n = std::min(size, data_.size() - used_);
    n -= n % pcm::kBytesPerFrame;
    size_t tail = (head_ + used_) % data_.size();
    const size_t first = std::min(n, data_.size() - tail);
    std::memcpy(data_.data() + tail, data, first);
    std::memcpy(data_.data(), data + first, n - first);
    used_ += n;
    return n;
}

void RingBuffer::MarkEnd(uint64_t generation) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation == generation_) ended_ = true;
}

size_t RingBuffer::FreeSpace(uint64_t generation) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation == generation_ && !ended_ ? data_.size() - used_ : 0;
}

RingBuffer::Taken RingBuffer::Read(uint8_t* out, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    Taken taken;
    taken.firstSample = nextSample_;
    size_t n = std::min(size, used_);
    n -= n % pcm::kBytesPerFrame;
    const size_t first = std::min(n, data_.size() - head_);
    std::memcpy(out, data_.data() + head_, first);
    std::memcpy(out + first, data_.data(), n - first);
    head_ = (head_ + n) % data_.size();
    used_ -= n;
    nextSample_ += static_cast<int64_t>(n / pcm::kBytesPerFrame);
    taken.bytes = n;
    taken.ended = ended_ && used_ == 0;
    return taken;
}
