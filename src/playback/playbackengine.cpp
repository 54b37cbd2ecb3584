#include "playback/playbackengine.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QFileInfo>

#include "playback/lengthscanner.h"

namespace {
// About 1.5 s of 44.1 kHz stereo between the decoder and the sink.
constexpr size_t kRingBytes = 256 * 1024;
constexpr int kWatchMs = 50;
// A run whose file has ended but whose heard count stands still this long is over.
constexpr qint64 kStuckEndMs = 600;
}  // namespace

PlaybackEngine::PlaybackEngine(QObject* parent)
    : QObject(parent),
      ring_(kRingBytes),
      device_(ring_),
      decoder_(ring_),
      output_(device_),
      scanner_(new LengthScanner(this)) {
    connect(scanner_, &LengthScanner::progressChanged, this, &PlaybackEngine::lengthScanProgressChanged);
    connect(scanner_, &LengthScanner::finished, this, [this](double seconds) {
        scannedDuration_ = seconds;
        scanFailed_ = !(seconds > 0);
        // The walk's offsets of every frame are the decoder's seek index: no seek reads forward
        // through the file any more, and the length is exact.
        if (const auto table = scanner_->Table(); table && loaded_) {
            exactLength_ = Decoder::GaplessLength(*table);
            decoder_.SetIndex(table);
        }
    });
    connect(&output_, &AudioOutput::failed, this, &PlaybackEngine::OnOutputFailed);
    watch_.setInterval(kWatchMs);
    connect(&watch_, &QTimer::timeout, this, &PlaybackEngine::Watch);
}

PlaybackEngine::~PlaybackEngine() { output_.Stop(); }

void PlaybackEngine::StartLengthWalk(const QString& path) {
    // The exact length comes from walking every frame. On a large file that takes seconds: it
    // runs beside the GUI; most files take well under a tenth of a second and are waited for.
    scannedDuration_ = 0;
    scanFailed_ = false;
    if (path.isEmpty()) {
        scanner_->Cancel();
        return;
    }
    scanner_->Scan(path);
    if (QFileInfo(path).size() <= kWaitForLengthBytes) scanner_->WaitBriefly(kLengthWaitMs);
}

void PlaybackEngine::setURL(const QString& path) {
    StopRun();
    url_ = path;
    error_.clear();
    loaded_ = false;
    rate_ = 0;
    exactLength_ = -1;
    openedLength_ = -1;
    held_ = 0;
    endSample_ = -1;
    editedLength_ = -1;
    state_ = kStopped;
    if (path.isEmpty()) {
        StartLengthWalk(path);
        decoder_.Load(nullptr);
        return;
    }
    auto decoder = std::make_unique<Decoder>();
    if (!decoder->Open(QFile::encodeName(path).toStdString())) {
        error_ = QString::fromStdString(decoder->Error());
        StartLengthWalk(path);
        decoder_.Load(nullptr);
        return;
    }
    rate_ = decoder->SampleRate();
    openedLength_ = decoder->LengthSamples();
    decoder_.Load(std::move(decoder));
    loaded_ = true;
    // After the load, so that a walk finished at once hands its index to this file.
    StartLengthWalk(path);
    StartRun(0);
    state_ = kPlaying;
}

void PlaybackEngine::play() {
    if (!loaded_ || state_ == kPlaying) return;
    error_.clear();
    StartRun(held_);
    state_ = kPlaying;
}

void PlaybackEngine::pause() {
    endSample_ = -1;
    if (state_ != kPlaying) return;
    held_ = HeardSample();
    StopRun();
    state_ = kPaused;
}

void PlaybackEngine::stop() {
    endSample_ = -1;
    if (!loaded_) return;
    StopRun();
    held_ = 0;
    state_ = kStopped;
}

void PlaybackEngine::setCurrentPosition(double seconds) {
    if (!loaded_ || !std::isfinite(seconds)) return;
    setPositionSamples(std::llround(std::max(0.0, seconds) * rate_));
}

void PlaybackEngine::setPositionSamples(int64_t sample) {
    endSample_ = -1;
    if (!loaded_) return;
    sample = ClampSample(sample);
    if (state_ == kPlaying) {
        StartRun(sample);
    } else {
        held_ = sample;
    }
}

bool PlaybackEngine::setEndSample(int64_t sample) {
    endSample_ = std::max<int64_t>(0, sample);
    if (state_ == kPlaying) device_.SetStopSample(endSample_);
    return true;
}

bool PlaybackEngine::setSegments(const std::vector<PlaySegment>& segments) {
    if (!loaded_) return false;
    SegmentCursor cursor;
    cursor.SetSegments(segments);
    editedLength_ = cursor.Length();
    endSample_ = -1;
    decoder_.SetSegments(segments);
    const int64_t position = ClampSample(positionSamples());
    if (state_ == kPlaying) {
        StartRun(position);
    } else {
        held_ = position;
    }
    return true;
}

int64_t PlaybackEngine::ClampSample(int64_t sample) const {
    sample = std::max<int64_t>(0, sample);
    if (editedLength_ >= 0) return std::min(sample, editedLength_);
    // The exact gapless length once the walk is done; before that nothing is clamped.
    int64_t length = exactLength_;
    if (length <= 0 && scannedDuration_ > 0) length = std::llround(scannedDuration_ * rate_);
    return length > 0 ? std::min(sample, length) : sample;
}

int64_t PlaybackEngine::HeardSample() const { return device_.SampleAt(output_.HeardFrames()); }

int64_t PlaybackEngine::positionSamples() const {
    if (!loaded_) return -1;
    return state_ == kPlaying ? HeardSample() : held_;
}

double PlaybackEngine::currentPosition() const {
    const int64_t sample = positionSamples();
    return sample < 0 ? -1.0 : static_cast<double>(sample) / rate_;
}

double PlaybackEngine::duration() const {
    if (url_.isEmpty()) return 0;
    if (editedLength_ >= 0 && rate_ > 0) return static_cast<double>(editedLength_) / rate_;
    if (scannedDuration_ > 0) return scannedDuration_;
    // Only a file our own walk could not time falls back to the decoder's length.
    if (!scanFailed_ || !loaded_ || openedLength_ <= 0) return 0;
    return static_cast<double>(openedLength_) / rate_;
}

double PlaybackEngine::LengthScanProgress() const { return scanner_->Progress(); }

void PlaybackEngine::StartRun(int64_t sample) {
    output_.Stop();
    ++generation_;
    ring_.Reset(generation_, sample);
    device_.Begin(sample);
    device_.SetStopSample(endSample_);
    decoder_.Start(generation_, sample);
    lastHeard_ = -1;
    const QString refused = output_.Start(rate_);
    watch_.start();
    if (!refused.isEmpty()) {
        // Played silently this time; the next play asks the device again.
        error_ = refused;
        emit deviceFailed(refused);
    }
}

void PlaybackEngine::StopRun() {
    watch_.stop();
    output_.Stop();
    ++generation_;
    ring_.Reset(generation_, 0);
    device_.Begin(0);
    decoder_.Idle();
}

// End of file: the sink has played everything the decoder gave, or the clock stands still
// after the last sound was handed over (a sink that stops counting short of its end).
void PlaybackEngine::Watch() {
    if (state_ != kPlaying) return;
    const int64_t heard = output_.HeardFrames();
    if (heard != lastHeard_) {
        lastHeard_ = heard;
        heardSince_.start();
    }
    const bool stuck = device_.EndedBy(device_.HandedFrames()) && heardSince_.elapsed() > kStuckEndMs;
    if (!device_.EndedBy(heard) && !stuck) return;
    const bool atEndSample = device_.StoppedAtSample();
    StopRun();
    // A run told where to end stands paused on that sample; the file's end goes back to the top.
    held_ = atEndSample ? endSample_ : 0;
    state_ = atEndSample ? kPaused : kStopped;
    endSample_ = -1;
}

void PlaybackEngine::OnOutputFailed(const QString& reason) {
    if (state_ == kPlaying) held_ = HeardSample();
    StopRun();
    if (state_ == kPlaying) state_ = kPaused;
    error_ = reason;
    emit deviceFailed(reason);
}
