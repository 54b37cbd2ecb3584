// The true peak read with the shortcut equals libebur128's own reading of the same samples, fed in
// blocks of any size.
#include "level/truepeak.h"

#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <functional>
#include <random>

namespace {

double LibraryTruePeak(const std::vector<int16_t>& stereo) {
    ebur128_state* st = ebur128_init(2, 44100, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_short(st, stereo.data(), stereo.size() / 2);
    double peak = 0;
    for (unsigned c = 0; c < 2; ++c) {
        double p = 0;
        ebur128_true_peak(st, c, &p);
        peak = std::max(peak, p);
    }
    ebur128_destroy(&st);
    return peak;
}

TEST(TruePeak, ReadsAsLibebur128Does) {
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0, 3000);
    const struct {
        const char* what;
        std::function<double(size_t)> sample;  // left channel; the right one is half of it
    } signals[] = {
        {"a sine at a quarter of the rate, peaks between the samples", [](size_t i) { return 32000 * std::sin(i * M_PI / 2 + M_PI / 4); }},
        {"a square wave near full scale", [](size_t i) { return (i / 50) % 2 ? 30000.0 : -30000.0; }},
        {"noise with one loud click late on", [&](size_t i) { return i == 70001 ? 31000.0 : noise(random); }},
        {"silence", [](size_t) { return 0.0; }},
    };
    for (const auto& s : signals) {
        std::vector<int16_t> stereo;
        for (size_t i = 0; i < 100000; ++i) {
            const auto v = static_cast<int16_t>(std::clamp(std::lround(s.sample(i)), -32768L, 32767L));
            stereo.push_back(v);
            stereo.push_back(static_cast<int16_t>(v / 2));
        }
        TruePeakMeter meter(2, 2);
        for (size_t at = 0; at < stereo.size() / 2;) {
            const size_t frames = std::min<size_t>(777 + at % 5, stereo.size() / 2 - at);
            meter.Add(stereo.data() + 2 * at, frames);
            at += frames;
        }
        const double expected = LibraryTruePeak(stereo);
        EXPECT_NEAR(meter.Peak(), expected, expected * 1e-4 + 1e-9) << s.what;
    }
}

}  // namespace
