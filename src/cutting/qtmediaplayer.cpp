#include "cutting/qtmediaplayer.h"

#include <cmath>

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

#include "analysis/framescan.h"

QtMediaPlayer::QtMediaPlayer(QObject* parent)
    : QObject(parent), player_(new QMediaPlayer(this)), output_(new QAudioOutput(this)) {
    player_->setAudioOutput(output_);
    // Qt drops seeks asked before the media is loaded; hold them and apply them once it is.
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this] {
        if (MediaReady()) ApplyPendingSeek();
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

void QtMediaPlayer::ApplyPendingSeek() {
    if (!pendingSeekMs_) return;
    qint64 ms = *pendingSeekMs_;
    pendingSeekMs_.reset();
    player_->setPosition(ms);
}

void QtMediaPlayer::setURL(const QString& path) {
    url_ = path;
    pendingSeekMs_.reset();
    // The player's own estimate is wrong for VBR files without a header (clips are such files);
    // walking the frames gives the exact length.
    scannedDuration_ = path.isEmpty() ? 0 : ScanDurationSeconds(path.toStdString());
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
    if (MediaReady()) ApplyPendingSeek();
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
    qint64 ms = std::llround(std::max(0.0, seconds) * 1000.0);
    if (MediaReady() && player_->playbackState() != QMediaPlayer::StoppedState) {
        player_->setPosition(ms);
    } else {
        // Also held while stopped: a seek before play would otherwise be lost.
        pendingSeekMs_ = ms;
        if (MediaReady()) player_->setPosition(ms);
    }
}

double QtMediaPlayer::duration() const {
    if (url_.isEmpty()) return 0;
    if (scannedDuration_ > 0) return scannedDuration_;
    if (!MediaReady()) return 0;
    return player_->duration() / 1000.0;
}

void QtMediaPlayer::SetOutputVolume(float volume) { output_->setVolume(std::clamp(volume, 0.0f, 1.0f)); }

float QtMediaPlayer::OutputVolume() const { return output_->volume(); }
