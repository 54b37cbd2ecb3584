#pragma once
// A level change as a plan of plain values: how many quantiser steps each granule of each channel
// moves, computed before any file is touched. A Layer III granule decodes scaled by
// 2^(global_gain / 4), so one step is 20 log10(2^(1/4)) = 1.505 dB and a change re-encodes
// nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct FrameTable;

inline constexpr double kStepDb = 1.5051499783199060;
// Steps of a fade that reach down to practical silence (-90 dB) before the last granule is muted.
inline constexpr int kFadeDepthSteps = 60;
// Marks a granule to be muted (global_gain 0) whatever its gain.
inline constexpr int16_t kMute = INT16_MIN;

// Nearest whole number of steps to `db`.
int StepsForDb(double db);
constexpr double DbForSteps(int steps) { return steps * kStepDb; }

// Granules [first, end) of the stream, counted over the audio frames from 0.
struct GranuleRange {
    size_t first = 0;
    size_t end = 0;
    size_t Size() const { return end > first ? end - first : 0; }
};

class GainPlan {
public:
    // A plan for `granules` granules (frames x granules per frame) that changes nothing.
    explicit GainPlan(size_t granules = 0) : granules_(granules) {}

    size_t Granules() const { return granules_; }
    // Moves every granule of `channel` (0 left or mono, 1 right) by `steps`.
    void AddToChannel(int channel, int steps) { channelSteps_[channel & 1] += steps; }
    void AddToAll(int steps);
    // Moves the granules of `range`, both channels alike.
    void AddToRange(GranuleRange range, int steps);
    // A ramp from silence (the first granule muted) up to the level as it is at the range's end.
    void AddFadeIn(GranuleRange range);
    // A ramp from the level as it is down to silence (the last granule muted).
    void AddFadeOut(GranuleRange range);
    // Values leaving 0..255 wrap around instead of being clamped: only to undo a change that
    // another program made that way.
    void SetWrap(bool wrap) { wrap_ = wrap; }

    int ChannelSteps(int channel) const { return channelSteps_[channel & 1]; }
    // False for a plan that leaves every gain as it is.
    bool Changes() const;
    // True when every granule of a channel moves by the same amount.
    bool IsUniform() const { return perGranule_.empty(); }
    // Steps of one granule of one channel; kMute for a muted one.
    int StepsAt(size_t granule, int channel) const;
    // The new global_gain for `old`. A gain of 0 (silence) stays 0; a value leaving 0..255 is
    // clamped to it (wrapped with SetWrap) and `clamped` set.
    uint8_t Apply(uint8_t old, size_t granule, int channel, bool* clamped) const;

private:
    int16_t& At(size_t granule);

    size_t granules_ = 0;
    std::array<int, 2> channelSteps_{0, 0};
    std::vector<int16_t> perGranule_;  // empty until a range is added
    bool wrap_ = false;
};

// Where a stretch of playing time [startSeconds, endSeconds) lies in granules, to the nearest
// granule boundary. Time is what a gapless decoder plays (the LAME tag's encoder delay left out);
// without a LAME tag, what any decoder plays from the first frame on.
GranuleRange GranulesForTime(const FrameTable& table, double startSeconds, double endSeconds);
// The same in samples of the decoded timeline, for a stream of `granules` granules whose output
// drops `encoderDelay` samples (a LAME tag's), or none (-1: no LAME tag, nothing dropped).
GranuleRange GranulesForSamples(size_t granules, int encoderDelay, int64_t start, int64_t end);

// A level on a stretch [start, end) of decoded samples: a gain in steps, and fades at its ends.
struct LevelSpan {
    int64_t start = 0;
    int64_t end = 0;
    int steps = 0;
    int64_t fadeInSamples = 0;
    int64_t fadeOutSamples = 0;
};
// The plan that gives each span its level: what a renderer that copies frames (an edit list's,
// its output timeline's spans) hands PatchFrameGains for each frame it writes.
GainPlan PlanForSpans(size_t granules, int encoderDelay, const std::vector<LevelSpan>& spans);

// Granules per frame of the stream: 2 in MPEG-1, 1 in MPEG-2 and 2.5.
size_t GranulesPerFrame(const FrameTable& table);

// The delay PlanForSpans takes for samples of a stream's edited timeline: its LAME tag's, or 0
// without one, as the edit list counts such a stream.
int TimelineDelay(const FrameTable& table);
// The plan giving `spans` (samples of the edited timeline's source) their level on the frames of
// `table`: what the renderer writes into the frames and the player applies to what it decodes,
// so that what is heard is what is saved.
GainPlan PlanForTimeline(const FrameTable& table, const std::vector<LevelSpan>& spans);
// The granule whose decoded output holds sample `sample`: the rule GranulesForSamples rounds to.
size_t GranuleAt(size_t granules, int encoderDelay, int64_t sample);
// What a granule moved by `steps` scales its decoded output by: 2^(steps/4), 0 for kMute.
double GainFactor(int steps);
