#pragma once
// What the tests of the real output need around the engine: MP3 files made with sox and lame,
// a recording of what the null sink played (its monitor, through parec), and measures of that
// recording.
#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>
#include <QProcess>

namespace soundcheck {

constexpr int kRate = 44100;

// True when sox and lame are installed.
bool HaveEncoders();
// Runs a command; true when it exits with 0.
bool Run(const QString& program, const QStringList& arguments);
// An MP3 of a sine tone (`hz`, half full scale) of `seconds`, with silent gaps of `gapSeconds`
// starting at each of `gapsAt` seconds. Encoded by lame at 128 kbit/s with its Info/LAME header,
// so gapless decoding puts every sample where it was in the input.
bool MakeToneMp3(const std::string& path, double hz, double seconds, const std::vector<double>& gapsAt = {},
                 double gapSeconds = 0.05);

// Held while a test plays sound into the null sink and records it: tests run in parallel
// processes, and two tones on one sink would spoil both recordings. The lock file lives beside
// the daemon's socket, so each daemon has its own.
class SinkLock {
public:
    SinkLock();
    ~SinkLock();
    SinkLock(const SinkLock&) = delete;
    SinkLock& operator=(const SinkLock&) = delete;

private:
    int fd_ = -1;
};

// Records the null sink's monitor as 16-bit stereo at 44.1 kHz, with low latency (which also
// keeps the null sink from sitting on a new stream for a second).
class MonitorRecorder {
public:
    // True when a PulseAudio daemon answers and has the sink "test_null".
    static bool SinkAvailable();
    ~MonitorRecorder();
    bool Start();
    // Everything recorded so far, as left-channel samples.
    const std::vector<int16_t>& Left();
    int64_t Frames() { return static_cast<int64_t>(Left().size()); }

private:
    QProcess process_;
    QByteArray pending_;
    std::vector<int16_t> left_;
};

// Root mean square of samples [from, to).
double Level(const std::vector<int16_t>& samples, int64_t from, int64_t to);
// Frequency from the zero crossings in the parts of samples [from, to) that carry sound.
double ZeroCrossingHz(const std::vector<int16_t>& samples, int64_t from, int64_t to);

}  // namespace soundcheck
