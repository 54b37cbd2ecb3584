#pragma once
// What the tests of the real output need around the engine: MP3 files made with sox and lame,
// a recording of what the null sink played (its monitor, through parec), and measures of that
// recording.
#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
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
    // Waits until the recording reaches the present moment (parec may deliver late on a busy
    // machine) and returns the index of the sample the monitor carried just now; -1 when the
    // recording stalls.
    int64_t Now();

private:
    QProcess process_;
    QByteArray pending_;
    std::vector<int16_t> left_;
    // The monitor runs on the system clock: sample n was carried at start_ + n / rate. The
    // earliest start any delivery implies is the one least delayed.
    QElapsedTimer clock_;
    double startSeconds_ = 1e300;
};

// Root mean square of samples [from, to).
double Level(const std::vector<int16_t>& samples, int64_t from, int64_t to);
// The tone in samples [from, to), measured over the parts that carry sound only.
struct Sound {
    double share = 0;  // of the stretch that carries sound
    double level = 0;  // median RMS of the sounding parts
    double hz = 0;     // from the median distance between zero crossings
};
Sound Measure(const std::vector<int16_t>& samples, int64_t from, int64_t to);

}  // namespace soundcheck
