#pragma once
// Peak and loudness of a file's decoded audio: integrated loudness after EBU R128 (libebur128),
// sample peak, and on request the true peak (four times oversampled, as EBU R128 asks).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct MeterOptions {
    bool loudness = true;
    bool truePeak = false;
    bool mono = false;  // the file has one channel: the decoder's second copy of it is not counted
    uint64_t expectedSamples = 0;  // for the progress; 0: a pass over the frames finds it out
};

class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(LoudnessMeter&&) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept;

    // Decodes `path` and measures it. False with `error` set when it cannot be decoded or
    // `progress` (fraction done) returns false.
    bool MeasureFile(const std::string& path, const MeterOptions& options, std::string* error,
                     const std::function<bool(double)>& progress = {});

    // Full scale is 1.0. The decoder's 16-bit output holds nothing above full scale.
    double SamplePeak() const { return samplePeak_; }
    // 0 unless the true peak was asked for.
    double TruePeak() const { return truePeak_; }
    // Integrated loudness in LUFS; -infinity for silence or when loudness was not asked for.
    double Loudness() const;
    uint64_t Samples() const { return samples_; }

    // Integrated loudness of several files together, as one programme (an album).
    static double AlbumLoudness(const std::vector<const LoudnessMeter*>& meters);

private:
    struct State;  // libebur128's
    std::unique_ptr<State> state_;
    double samplePeak_ = 0;
    double truePeak_ = 0;
    uint64_t samples_ = 0;
};

// dBFS of a linear level (1.0 full scale); -infinity for 0.
double LevelDb(double linear);
