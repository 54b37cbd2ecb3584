#include "playback/segmentcursor.h"

#include <limits>

void SegmentCursor::SetSegments(const std::vector<PlaySegment>& segments) {
    segments_.clear();
    for (const PlaySegment& s : segments)
        if (s.sourceEnd > s.sourceStart && s.sourceStart >= 0) segments_.push_back(s);
    index_ = 0;
    source_ = segments_.empty() ? 0 : segments_.front().sourceStart;
}

int64_t SegmentCursor::Length() const {
    if (segments_.empty()) return -1;
    int64_t length = 0;
    for (const PlaySegment& s : segments_) length += s.sourceEnd - s.sourceStart;
    return length;
}

int64_t SegmentCursor::Seek(int64_t sample) {
    if (sample < 0) sample = 0;
    if (segments_.empty()) return sample;
    for (index_ = 0; index_ < segments_.size(); ++index_) {
        const int64_t length = segments_[index_].sourceEnd - segments_[index_].sourceStart;
        if (sample < length) {
            source_ = segments_[index_].sourceStart + sample;
            return source_;
        }
        sample -= length;
    }
    return -1;
}

int64_t SegmentCursor::Remaining() const {
    if (segments_.empty()) return std::numeric_limits<int64_t>::max();
    if (index_ >= segments_.size()) return 0;
    return segments_[index_].sourceEnd - source_;
}

void SegmentCursor::Advance(int64_t samples) { source_ += samples; }

int64_t SegmentCursor::Next() {
    if (segments_.empty() || index_ >= segments_.size()) return -1;
    if (++index_ >= segments_.size()) return -1;
    source_ = segments_[index_].sourceStart;
    return source_;
}
