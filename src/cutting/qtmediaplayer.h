#pragma once
// The player over QMediaPlayer and QAudioOutput. Nothing else in the program touches Qt's media
// classes.
#include <memory>
#include <optional>

#include <QObject>

#include "cutting/lengthprogress.h"
#include "cutting/mediaplayer.h"

class LengthScanner;
class QAudioOutput;
class QMediaPlayer;

// The duration is the exact one from walking the file's frames, measured in the background;
// until that is done it is 0, so a poller never sees the player's own (for VBR files without a
// header, wrong) estimate first. Only a file without frames falls back to the player's value.
class QtMediaPlayer : public QObject, public MediaPlayer, public LengthProgress {
    Q_OBJECT
public:
    explicit QtMediaPlayer(QObject* parent = nullptr);
    ~QtMediaPlayer() override;

    void setURL(const QString& path) override;
    QString URL() const override { return url_; }
    int playState() const override;
    void play() override;
    void pause() override;
    void stop() override;
    double currentPosition() const override;
    void setCurrentPosition(double seconds) override;
    double duration() const override;
    double LengthScanProgress() const override;

    // Loudness of this program's output, 0..1 (the wave-out volume of the window).
    void SetOutputVolume(float volume);
    float OutputVolume() const;

signals:
    // Share of the length measurement done, 0..1.
    void lengthScanProgressChanged(double fraction);

private:
    // Files up to this size have their frames walked before setURL returns (tens of
    // milliseconds); the wait is bounded all the same, for slow disks.
    static constexpr qint64 kWaitForLengthBytes = 32 * 1024 * 1024;
    static constexpr int kLengthWaitMs = 300;

    bool MediaReady() const;
    bool TakesSeeks() const;
    void ApplyPendingSeek();
    void RestartAfterFalseEnd();

    QMediaPlayer* player_;
    QAudioOutput* output_;
    LengthScanner* scanner_;
    QString url_;
    double scannedDuration_ = 0;
    bool scanFailed_ = false;
    std::optional<qint64> pendingSeekMs_;
    int falseEnds_ = 0;
};
