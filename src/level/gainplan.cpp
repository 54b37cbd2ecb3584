#include "level/gainplan.h"

#include <algorithm>
#include <cmath>

#include "mpeg/framescan.h"

namespace {

constexpr double kGranuleSamples = 576.0;
// The decoder's delay from a granule's data to its output (MDCT overlap and synthesis filter bank).
constexpr double kDecoderDelay = 529.0;

}  // namespace

int StepsForDb(double db) {
    if (!std::isfinite(db)) return 0;
    return static_cast<int>(std::lround(std::clamp(db / kStepDb, -1000.0, 1000.0)));
}

int16_t& GainPlan::At(size_t granule) {
    if (perGranule_.empty()) perGranule_.assign(granules_, 0);
    return perGranule_[granule];
}

void GainPlan::AddToAll(int steps) {
    AddToChannel(0, steps);
    AddToChannel(1, steps);
}

void GainPlan::AddToRange(GranuleRange range, int steps) {
    for (size_t k = range.first; k < std::min(range.end, granules_); ++k) {
        int16_t& s = At(k);
        if (s != kMute) s = static_cast<int16_t>(std::clamp(s + steps, -1000, 1000));
    }
}

void GainPlan::AddFadeIn(GranuleRange range) {
    const size_t end = std::min(range.end, granules_);
    const size_t n = end > range.first ? end - range.first : 0;
    if (n == 0) return;
    At(range.first) = kMute;
    // Straight in decibels from the fade's depth up to the level: equal steps in loudness.
    for (size_t i = 1; i < n; ++i) {
        const double rest = static_cast<double>(n - 1 - i) / static_cast<double>(n - 1);
        AddToRange({range.first + i, range.first + i + 1}, -static_cast<int>(std::lround(kFadeDepthSteps * rest)));
    }
}

void GainPlan::AddFadeOut(GranuleRange range) {
    const size_t end = std::min(range.end, granules_);
    const size_t n = end > range.first ? end - range.first : 0;
    if (n == 0) return;
    for (size_t i = 0; i + 1 < n; ++i) {
        const double done = static_cast<double>(i) / static_cast<double>(n - 1);
        AddToRange({range.first + i, range.first + i + 1}, -static_cast<int>(std::lround(kFadeDepthSteps * done)));
    }
    At(end - 1) = kMute;
}

bool GainPlan::Changes() const { return !perGranule_.empty() || channelSteps_[0] != 0 || channelSteps_[1] != 0; }

int GainPlan::StepsAt(size_t granule, int channel) const {
    const int extra = perGranule_.empty() || granule >= perGranule_.size() ? 0 : perGranule_[granule];
    if (extra == kMute) return kMute;
    return channelSteps_[channel & 1] + extra;
}

uint8_t GainPlan::Apply(uint8_t old, size_t granule, int channel, bool* clamped) const {
    const int steps = StepsAt(granule, channel);
    if (steps == kMute) return 0;
    if (old == 0 || steps == 0) return old;
    const int value = old + steps;
    if (wrap_) return static_cast<uint8_t>(value & 0xFF);
    if (value < 0 || value > 255) {
        if (clamped) *clamped = true;
        return static_cast<uint8_t>(std::clamp(value, 0, 255));
    }
    return static_cast<uint8_t>(value);
}

size_t GranulesPerFrame(const FrameTable& table) { return table.version == MpegVersion::Mpeg1 ? 2 : 1; }

namespace {

// Granule k holds the encoder's input from sample 576k on, less the encoder's delay; its decoded
// output comes out the decoder's 529 samples later, which a gapless decoder drops together with
// the encoder delay and a plain decoder plays.
double GranuleOffset(int encoderDelay) { return encoderDelay >= 0 ? encoderDelay : -kDecoderDelay; }

}  // namespace

size_t GranuleAt(size_t granules, int encoderDelay, int64_t sample) {
    if (granules == 0) return 0;
    const double k = std::floor((static_cast<double>(sample) + GranuleOffset(encoderDelay)) / kGranuleSamples);
    return static_cast<size_t>(std::clamp(k, 0.0, static_cast<double>(granules - 1)));
}

double GainFactor(int steps) { return steps == kMute ? 0.0 : std::exp2(steps / 4.0); }

int TimelineDelay(const FrameTable& table) { return table.vbr.hasLame ? table.vbr.encoderDelay : 0; }

GainPlan PlanForTimeline(const FrameTable& table, const std::vector<LevelSpan>& spans) {
    const size_t granules = table.frames.size() * GranulesPerFrame(table);
    const int delay = TimelineDelay(table);
    GainPlan plan = PlanForSpans(granules, delay, spans);
    // The timeline's last sample, as the edit list counts it: the LAME tag's padding left out, or
    // the decoder's warm-up without one.
    const int64_t raw = static_cast<int64_t>(table.frames.size()) * table.samplesPerFrame;
    const int64_t end = table.vbr.hasLame ? std::min(raw, raw + static_cast<int64_t>(kDecoderDelay) - table.vbr.encoderPadding) -
                                                static_cast<int64_t>(kDecoderDelay) - delay
                                          : raw - static_cast<int64_t>(kDecoderDelay);
    // A fade from or to silence at an end of the stream mutes the granules beyond that end too:
    // their overlap would otherwise sound in the first or the last samples.
    for (const LevelSpan& s : spans) {
        const GranuleRange range = GranulesForSamples(granules, delay, s.start, s.end);
        if (s.fadeInSamples > 0 && s.start <= 0)
            for (size_t k = 0; k < range.first; ++k) plan.AddFadeOut({k, k + 1});
        if (s.fadeOutSamples > 0 && s.end >= end)
            for (size_t k = range.end; k < granules; ++k) plan.AddFadeOut({k, k + 1});
    }
    return plan;
}

GranuleRange GranulesForSamples(size_t granules, int encoderDelay, int64_t start, int64_t end) {
    if (end <= start) return {};
    const double offset = GranuleOffset(encoderDelay);
    const auto at = [&](int64_t sample) {
        const double k = std::round((static_cast<double>(std::max<int64_t>(0, sample)) + offset) / kGranuleSamples);
        return static_cast<size_t>(std::clamp(k, 0.0, static_cast<double>(granules)));
    };
    return {at(start), at(end)};
}

GranuleRange GranulesForTime(const FrameTable& table, double startSeconds, double endSeconds) {
    const size_t total = table.frames.size() * GranulesPerFrame(table);
    if (table.sampleRate == 0 || !(endSeconds > startSeconds)) return {};
    const auto sample = [&](double seconds) {
        return static_cast<int64_t>(std::min(std::max(0.0, seconds) * table.sampleRate, 9.0e18));
    };
    return GranulesForSamples(total, table.vbr.hasLame ? table.vbr.encoderDelay : -1, sample(startSeconds),
                              sample(endSeconds));
}

GainPlan PlanForSpans(size_t granules, int encoderDelay, const std::vector<LevelSpan>& spans) {
    GainPlan plan(granules);
    for (const LevelSpan& s : spans) {
        if (s.steps != 0) plan.AddToRange(GranulesForSamples(granules, encoderDelay, s.start, s.end), s.steps);
        if (s.fadeInSamples > 0)
            plan.AddFadeIn(GranulesForSamples(granules, encoderDelay, s.start, std::min(s.end, s.start + s.fadeInSamples)));
        if (s.fadeOutSamples > 0)
            plan.AddFadeOut(GranulesForSamples(granules, encoderDelay, std::max(s.start, s.end - s.fadeOutSamples), s.end));
    }
    return plan;
}
