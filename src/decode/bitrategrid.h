#pragma once
// Where the frames of a constant-bitrate stream lie, before the walk over the whole file is done.
// Such a stream's frames are all one length or one byte longer (padding), and encoders pad so
// that the average keeps to the bitrate: the padded frames before frame n are
// floor(n * r + c), r the fraction of a byte in the exact frame length. The grid is fitted to
// frames already met at the start of the file (libmpg123 notes where each one began) and used
// only where the frames around a target are found exactly where it puts them, so a seek can start
// there at once with the right frame number.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class BitrateGrid {
public:
    // Frame numbers with their offsets, frame 0 first.
    using Known = std::vector<std::pair<int64_t, int64_t>>;
    // The grid through `known` frames of a stream whose first header is `header`, when they fit
    // the rule; `end` bounds the frames (the file's size).
    static std::optional<BitrateGrid> Fit(const Known& known, uint32_t header, int64_t end);

    int64_t Offset(int64_t frame) const;
    // Frames whose ends lie within `end`.
    int64_t Frames() const { return frames_; }
    int64_t SamplesPerFrame() const { return samplesPerFrame_; }
    // True when frames [first, last] lie at their offsets in the file: each has a header of the
    // stream whose length reaches the next one's offset.
    bool Holds(int fd, int64_t first, int64_t last) const;

private:
    int64_t start_ = 0;   // first audio frame
    uint32_t length_ = 0;  // unpadded frame length
    uint32_t header_ = 0;  // header bits that every frame shares (all but padding and the mode bits)
    double rate_ = 0;      // r
    double phase_ = 0;     // c
    int64_t frames_ = 0;
    int64_t samplesPerFrame_ = 0;
};
