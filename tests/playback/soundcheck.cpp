#include "soundcheck.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QStandardPaths>
#include <QTest>

namespace soundcheck {

bool HaveEncoders() {
    return !QStandardPaths::findExecutable("sox").isEmpty() && !QStandardPaths::findExecutable("lame").isEmpty();
}

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Replaces [at, at + gap) of `wav` with silence: head, a silent piece and tail joined (sox's
// splice would cross-fade the edges).
static bool CutGap(const QString& wav, double at, double gap) {
    const QString head = wav + ".head.wav", tail = wav + ".tail.wav", hole = wav + ".hole.wav",
                  joined = wav + ".joined.wav";
    const bool ok = Run("sox", {wav, head, "trim", "0", QString::number(at)}) &&
                    Run("sox", {wav, tail, "trim", QString::number(at + gap)}) &&
                    Run("sox", {"-n", "-r", QString::number(kRate), "-c", "2", "-b", "16", hole, "trim", "0",
                                QString::number(gap)}) &&
                    Run("sox", {head, hole, tail, joined});
    for (const QString& part : {head, tail, hole}) QFile::remove(part);
    return ok && QFile::remove(wav) && QFile::rename(joined, wav);
}

bool MakeToneMp3(const std::string& path, double hz, double seconds, const std::vector<double>& gapsAt,
                 double gapSeconds) {
    const QString wav = QString::fromStdString(path) + ".wav";
    bool ok = Run("sox", {"-n", "-r", QString::number(kRate), "-c", "2", "-b", "16", wav, "synth",
                          QString::number(seconds), "sine", QString::number(hz), "vol", "0.5"});
    for (double at : gapsAt) ok = ok && CutGap(wav, at, gapSeconds);
    ok = ok && Run("lame", {"--quiet", "-b", "128", "-q", "9", wav, QString::fromStdString(path)});
    QFile::remove(wav);
    return ok;
}

SinkLock::SinkLock() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray path = (runtime.isEmpty() ? QByteArray("/tmp") : runtime) + "/trimbel-test-null-sink.lock";
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

SinkLock::~SinkLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool MonitorRecorder::SinkAvailable() {
    QProcess pactl;
    pactl.start("pactl", {"list", "short", "sinks"});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0) return false;
    return pactl.readAllStandardOutput().contains("test_null");
}

MonitorRecorder::~MonitorRecorder() {
    process_.kill();
    process_.waitForFinished(2000);
}

bool MonitorRecorder::Start() {
    clock_.start();
    process_.start("parec", {"-d", "test_null.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                             "--latency-msec=5"});
    if (!process_.waitForStarted(5000)) return false;
    // Wait for the first bytes, so what follows is recorded.
    return QTest::qWaitFor([&] { return Frames() > 0; }, 5000);
}

const std::vector<int16_t>& MonitorRecorder::Left() {
    pending_ += process_.readAllStandardOutput();
    const qsizetype frames = pending_.size() / 4;
    left_.reserve(left_.size() + frames);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pending_.constData());
    for (qsizetype i = 0; i < frames; ++i)
        left_.push_back(static_cast<int16_t>(bytes[4 * i] | (bytes[4 * i + 1] << 8)));
    pending_.remove(0, frames * 4);
    if (!left_.empty())
        startSeconds_ = std::min(startSeconds_, clock_.nsecsElapsed() / 1e9 - double(left_.size()) / kRate);
    return left_;
}

int64_t MonitorRecorder::Now() {
    Left();
    const int64_t now = static_cast<int64_t>((clock_.nsecsElapsed() / 1e9 - startSeconds_) * kRate);
    if (!QTest::qWaitFor([&] { return Frames() >= now; }, 3000)) return -1;
    return now;
}

double Level(const std::vector<int16_t>& samples, int64_t from, int64_t to) {
    from = std::max<int64_t>(0, from);
    to = std::min<int64_t>(static_cast<int64_t>(samples.size()), to);
    if (to <= from) return 0;
    double sum = 0;
    for (int64_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

// Blocks of 5 ms: a dropout of a loaded machine inside a stretch spoils a block or two, never
// the measure of the rest.
constexpr int64_t kBlock = kRate / 200;
constexpr double kSoundingLevel = 1000;

Sound Measure(const std::vector<int16_t>& samples, int64_t from, int64_t to) {
    from = std::max<int64_t>(0, from);
    to = std::min<int64_t>(static_cast<int64_t>(samples.size()), to);
    Sound sound;
    std::vector<double> levels;
    int blocks = 0;
    for (int64_t block = from; block + kBlock <= to; block += kBlock, ++blocks) {
        const double level = Level(samples, block, block + kBlock);
        if (level >= kSoundingLevel) levels.push_back(level);
    }
    if (blocks == 0 || levels.empty()) return sound;
    sound.share = double(levels.size()) / blocks;
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    sound.level = levels[levels.size() / 2];
    // The median distance between zero crossings inside sounding stretches is half a period.
    std::vector<int64_t> halfPeriods;
    int64_t last = -1;
    for (int64_t i = from + 1; i < to; ++i) {
        if (std::abs(samples[i]) < kSoundingLevel && std::abs(samples[i - 1]) < kSoundingLevel &&
            Level(samples, std::max(from, i - kBlock / 2), std::min(to, i + kBlock / 2)) < kSoundingLevel) {
            last = -1;  // a quiet stretch: no crossing is measured across it
            continue;
        }
        if ((samples[i - 1] < 0) == (samples[i] < 0)) continue;
        if (last >= 0) halfPeriods.push_back(i - last);
        last = i;
    }
    if (halfPeriods.empty()) return sound;
    std::nth_element(halfPeriods.begin(), halfPeriods.begin() + halfPeriods.size() / 2, halfPeriods.end());
    sound.hz = kRate / (2.0 * halfPeriods[halfPeriods.size() / 2]);
    return sound;
}

}  // namespace soundcheck
