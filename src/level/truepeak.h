#pragma once
// True peak of 16-bit audio: the largest level of the signal four times oversampled, with the
// interpolation filter of libebur128 (49 taps, Hann-windowed sinc), so it reads as that library's
// does. Oversampling every sample costs more than decoding; here a stretch of 16 samples is
// oversampled only when the filter could lift it above the peak found so far (its gain times the
// stretch's largest sample), which for music leaves out nearly all of them and changes nothing
// in the result.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class TruePeakMeter {
public:
    // Measures the first `channels` channels of interleaved audio of `stride` channels.
    TruePeakMeter(int channels, int stride);

    void Add(const int16_t* interleaved, size_t frames);
    // Full scale is 1.0; at least the sample peak.
    double Peak() const;

private:
    static constexpr int kFactor = 4;
    static constexpr int kTaps = 49;
    static constexpr int kSpan = (kTaps + kFactor - 1) / kFactor;  // input samples per output

    void AddChannel(size_t channel, const int16_t* interleaved, size_t frames);

    int channels_;
    int stride_;
    // coeffs_[phase][k] weighs the input k samples back.
    std::array<std::array<double, kSpan>, kFactor> coeffs_{};
    double gain_ = 0;  // the largest sum of |coefficients| of a phase
    std::vector<std::vector<double>> history_;  // the last kSpan - 1 samples of each channel
    std::vector<double> work_;
    double peak_ = 0;  // in sample units (full scale 32768)
};
