#pragma once
// Decoded PCM on its way from the decoder thread to the sink's device. Every filling belongs to
// a generation: a reset (seek, stop, new file) starts a new one, and whatever a decoder still
// writes for an older generation is dropped, so stale audio never reaches the sink. The lock
// is held only for a copy, never while decoding or waiting.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class RingBuffer {
public:
    explicit RingBuffer(size_t capacity);

    // Empties the buffer for `generation`, whose first byte is the file's `firstSample`.
    void Reset(uint64_t generation, int64_t firstSample);
    // Appends as much of `data` as fits; returns the bytes taken (0 for a stale generation).
    size_t Write(uint64_t generation, const uint8_t* data, size_t size);
    // The decoder reached the end of the file (or gave up) for `generation`.
    void MarkEnd(uint64_t generation);
    size_t FreeSpace(uint64_t generation) const;

    struct Taken {
        size_t bytes = 0;
        int64_t firstSample = 0;  // file sample of the first byte taken
        bool ended = false;       // the end is marked and nothing is left
    };
    Taken Read(uint8_t* out, size_t size);

private:
    mutable std::mutex mutex_;
    std::vector<uint8_t> data_;
    size_t head_ = 0;  // next byte to read
    size_t used_ = 0;
    uint64_t generation_ = 0;
    int64_t nextSample_ = 0;  // file sample at head_
    bool ended_ = false;
};
