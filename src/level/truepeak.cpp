#include "level/truepeak.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr size_t kStretch = 16;
}  // namespace

TruePeakMeter::TruePeakMeter(int channels, int stride)
    : channels_(channels), stride_(stride), history_(static_cast<size_t>(channels), std::vector<double>(kSpan - 1, 0.0)) {
    for (int j = 0; j < kTaps; ++j) {
        const double m = j - (kTaps - 1) / 2.0;
        double c = std::abs(m) > 1e-6 ? std::sin(m * std::numbers::pi / kFactor) / (m * std::numbers::pi / kFactor) : 1.0;
        c *= 0.5 * (1 - std::cos(2 * std::numbers::pi * j / (kTaps - 1)));
        coeffs_[static_cast<size_t>(j % kFactor)][static_cast<size_t>(j / kFactor)] = c;
    }
    for (const auto& phase : coeffs_) {
        double sum = 0;
        for (const double c : phase) sum += std::abs(c);
        gain_ = std::max(gain_, sum);
    }
}

void TruePeakMeter::Add(const int16_t* interleaved, size_t frames) {
    for (size_t c = 0; c < static_cast<size_t>(channels_); ++c) AddChannel(c, interleaved, frames);
}

void TruePeakMeter::AddChannel(size_t channel, const int16_t* interleaved, size_t frames) {
    std::vector<double>& history = history_[channel];
    // The samples before this block, then the block: work_[i + kSpan - 1] is sample i.
    work_.assign(history.begin(), history.end());
    for (size_t i = 0; i < frames; ++i) work_.push_back(interleaved[i * static_cast<size_t>(stride_) + channel]);
    for (size_t start = 0; start < frames; start += kStretch) {
        const size_t end = std::min(start + kStretch, frames);
        // The stretch's own samples count as they are (the filter passes them through), and no
        // output of it can exceed the filter's gain times the largest sample it reads.
        double own = 0;
        for (size_t i = start + kSpan - 1; i < end + kSpan - 1; ++i) own = std::max(own, std::abs(work_[i]));
        peak_ = std::max(peak_, own);
        double largest = own;
        for (size_t i = start; i < start + kSpan - 1; ++i) largest = std::max(largest, std::abs(work_[i]));
        if (gain_ * largest <= peak_) continue;
        for (size_t i = start; i < end; ++i) {
            const double* newest = &work_[i + kSpan - 1];
            for (const auto& phase : coeffs_) {
                double out = 0;
                for (size_t k = 0; k < kSpan; ++k) out += phase[k] * newest[-static_cast<std::ptrdiff_t>(k)];
                peak_ = std::max(peak_, std::abs(out));
            }
        }
    }
    history.assign(work_.end() - (kSpan - 1), work_.end());
}

double TruePeakMeter::Peak() const { return peak_ / 32768.0; }
