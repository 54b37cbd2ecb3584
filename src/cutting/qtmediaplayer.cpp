#include "cutting/qtmediaplayer.h"

#include <algorithm>
#include <cmath>

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

#include "cutting/lengthscanner.h"

QtMediaPlayer::QtMediaPlayer(QObject* parent)
    : QObject(parent),
      player_(new QMediaPlayer(this)),
      output_(new QAudioOutput(this)),
      scanner_(new LengthScanner(this)) {
    player_->setAudioOutput(output_);
    connect(scanner_, &LengthScanner::progressChanged, this, &QtMediaPlayer::lengthScanProgressChanged);
    connect(scanner_, &LengthScanner::finished, this, [this](double seconds) {
        scannedDuration_ = seconds;
        scanFailed_ = !(seconds > 0);
    });
    // Qt's GStreamer player drops seeks asked before the stream is buffered and its length known
    // (for files without a VBR header that is some time into playback). Such seeks are held here
    // and applied once the player takes them.
    auto retry = [this] { ApplyPendingSeek(); };
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, retry);
    connect(player_, &QMediaPlayer::durationChanged, this, retry);
    connect(player_, &QMediaPlayer::playbackStateChanged, this, retry);
    connect(player_, &QMediaPlayer::positionChanged, this, retry);
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia) RestartAfterFalseEnd();
    });
}

QtMediaPlayer::~QtMediaPlayer() = default;

bool QtMediaPlayer::MediaReady() const {
    switch (player_->mediaStatus()) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
    case QMediaPlayer::EndOfMedia:
        return true;
    default:
        return false;
    }
}

bool QtMediaPlayer::TakesSeeks() const {
    if (player_->duration() <= 0) return false;
    switch (player_->mediaStatus()) {
    case QMediaPlayer::BufferedMedia:
        return true;
    case QMediaPlayer::LoadedMedia:
        // Loaded while it starts playing is still too early; loaded and stopped is fine.
        return player_->playbackState() != QMediaPlayer::PlayingState;
    default:
        return false;
    }
}

void QtMediaPlayer::ApplyPendingSeek() {
    if (!pendingSeekMs_ || !TakesSeeks()) return;
    qint64 ms = *pendingSeekMs_;
    pendingSeekMs_.reset();
    if (player_->playbackState() == QMediaPlayer::PlayingState) {
        // A seek into a running pipeline can end or stall the stream; one into a paused one
        // does not.
        player_->pause();
        player_->setPosition(ms);
        player_->play();
    } else {
        player_->setPosition(ms);
    }
}

// Now and then GStreamer ends a stream early: at once after loading, or right after a seek during
// playback. A stream that ends more than a second before its known length is played on from
// where it stopped; one that keeps doing so gets a few tries only.
void QtMediaPlayer::RestartAfterFalseEnd() {
    constexpr int kTries = 3;
    qint64 expectedMs = scannedDuration_ > 0 ? std::llround(scannedDuration_ * 1000) : player_->duration();
    qint64 at = player_->position();
    if (falseEnds_ >= kTries || expectedMs <= 0 || at >= expectedMs - 1000) return;
    ++falseEnds_;
    if (!pendingSeekMs_) pendingSeekMs_ = at;
    player_->play();
    ApplyPendingSeek();
}

void QtMediaPlayer::setURL(const QString& path) {
    url_ = path;
    falseEnds_ = 0;
    pendingSeekMs_.reset();
    // The player's own estimate is wrong for VBR files without a header (clips are such files);
    // walking the frames gives the exact length. On a large file that takes seconds: it runs
    // beside the GUI, and a new file drops the old file's walk. Most files take well under a
    // tenth of a second, so they are waited for briefly and their length is known at once.
    scannedDuration_ = 0;
    scanFailed_ = false;
    if (path.isEmpty()) {
        scanner_->Cancel();
    } else {
        scanner_->Scan(path);
        if (QFileInfo(path).size() <= kWaitForLengthBytes) scanner_->WaitBriefly(kLengthWaitMs);
    }
    player_->setSource(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
    if (!path.isEmpty()) player_->play();
}

int QtMediaPlayer::playState() const {
    switch (player_->playbackState()) {
    case QMediaPlayer::PlayingState: return kPlaying;
    case QMediaPlayer::PausedState: return kPaused;
    case QMediaPlayer::StoppedState: return kStopped;
    }
    return kStopped;
}

void QtMediaPlayer::play() {
    if (url_.isEmpty()) return;
    // Played to its end, the media starts again from the top like a fresh play.
    if (player_->mediaStatus() == QMediaPlayer::EndOfMedia && !pendingSeekMs_) pendingSeekMs_ = 0;
    player_->play();
    ApplyPendingSeek();
}

void QtMediaPlayer::pause() {
    if (!url_.isEmpty()) player_->pause();
}

void QtMediaPlayer::stop() {
    if (!url_.isEmpty()) player_->stop();
}

double QtMediaPlayer::currentPosition() const {
    if (url_.isEmpty() || player_->mediaStatus() == QMediaPlayer::InvalidMedia) return -1;
    if (pendingSeekMs_) return *pendingSeekMs_ / 1000.0;
    return player_->position() / 1000.0;
}

void QtMediaPlayer::setCurrentPosition(double seconds) {
    if (url_.isEmpty() || !std::isfinite(seconds)) return;
    falseEnds_ = 0;
    pendingSeekMs_ = std::llround(std::max(0.0, seconds) * 1000.0);
    ApplyPendingSeek();
}

double QtMediaPlayer::duration() const {
    if (url_.isEmpty()) return 0;
    if (scannedDuration_ > 0) return scannedDuration_;
    if (!scanFailed_ || !MediaReady()) return 0;
    return player_->duration() / 1000.0;
}

double QtMediaPlayer::LengthScanProgress() const { return scanner_->Progress(); }

void QtMediaPlayer::SetOutputVolume(float volume) { output_->setVolume(std::clamp(volume, 0.0f, 1.0f)); }

float QtMediaPlayer::OutputVolume() const { return output_->volume(); }
