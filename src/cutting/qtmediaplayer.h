#pragma once
// The player over QMediaPlayer and QAudioOutput. Nothing else in the program touches Qt's media
// classes.
#include <memory>
#include <optional>

#include <QObject>

#include "cutting/mediaplayer.h"

class QAudioOutput;
class QMediaPlayer;

class QtMediaPlayer : public QObject, public MediaPlayer {
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

    // Loudness of this program's output, 0..1 (the wave-out volume of the window).
    void SetOutputVolume(float volume);
    float OutputVolume() const;

private:
    bool MediaReady() const;
    bool TakesSeeks() const;
    void ApplyPendingSeek();
    void RestartAfterFalseEnd();

    QMediaPlayer* player_;
    QAudioOutput* output_;
    QString url_;
    double scannedDuration_ = 0;
    std::optional<qint64> pendingSeekMs_;
    int falseEnds_ = 0;
};
