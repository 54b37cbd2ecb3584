#pragma once
// The program's player: libmpg123 decodes on a thread of its own into a ring buffer, a
// QAudioSink pulls from it, and the position is the sample being heard. Every change of state
// (open, play, pause, stop, seek, end of file, device failure) goes through this class on the
// GUI thread; each start of sound is a new generation, and audio decoded for an older one is
// dropped, so the calls work in any order and any number of times.
//
// Pause, stop and seeks end the sink's run (its buffered sound is discarded at once) and a play
// starts a new run from the exact sample; without an output device the runs are silent and
// timed by the wall clock. The duration is the exact one from walking the file's frames.
#include <cstdint>
#include <memory>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "playback/audiooutput.h"
#include "playback/decoderthread.h"
#include "playback/lengthprogress.h"
#include "playback/mediaplayer.h"
#include "playback/ringbuffer.h"
#include "playback/sinkdevice.h"

class LengthScanner;

class PlaybackEngine : public QObject, public MediaPlayer, public LengthProgress {
    Q_OBJECT
public:
    explicit PlaybackEngine(QObject* parent = nullptr);
    ~PlaybackEngine() override;

    void setURL(const QString& path) override;
    QString URL() const override { return url_; }
    int playState() const override { return state_; }
    void play() override;
    void pause() override;
    void stop() override;
    double currentPosition() const override;
    void setCurrentPosition(double seconds) override;
    double duration() const override;
    int64_t positionSamples() const override;
    int sampleRate() const override { return loaded_ ? rate_ : 0; }
    void setPositionSamples(int64_t sample) override;
    bool setEndSample(int64_t sample) override;
    bool setSegments(const std::vector<PlaySegment>& segments) override;
    double LengthScanProgress() const override;

    // Loudness of this program's output, 0..1 (the wave-out volume of the window).
    void SetOutputVolume(float volume) { output_.SetVolume(volume); }
    float OutputVolume() const { return output_.Volume(); }
    // Why the file could not be played or the device failed last; empty when all is well.
    QString LastError() const { return error_; }
    // True while the sound goes to no device (none there, or it failed on this run).
    bool PlaysSilently() const { return output_.Silent(); }

signals:
    void lengthScanProgressChanged(double fraction);
    // The output device failed: during a run (the player then stands paused at the sample heard
    // last) or at its start (that run plays silently). The next play tries the device again.
    void deviceFailed(const QString& reason);

private:
    static constexpr qint64 kWaitForLengthBytes = 32 * 1024 * 1024;
    static constexpr int kLengthWaitMs = 300;

    void StartRun(int64_t sample);
    void StopRun();
    int64_t HeardSample() const;
    int64_t ClampSample(int64_t sample) const;
    void Watch();
    void OnOutputFailed(const QString& reason);
    void StartLengthWalk(const QString& path);

    // Declared before the thread and the output that use them.
    RingBuffer ring_;
    SinkDevice device_;
    DecoderThread decoder_;
    AudioOutput output_;
    LengthScanner* scanner_;
    QTimer watch_;

    QString url_;
    QString error_;
    bool loaded_ = false;  // the decoder took the file
    int rate_ = 0;
    int64_t exactLength_ = -1;   // from the frame walk, once it is done
    int64_t openedLength_ = -1;  // libmpg123's own, for files the walk cannot time
    int state_ = kStopped;
    int64_t held_ = 0;  // position while not playing
    int64_t endSample_ = -1;  // where the next run ends, paused (-1: the file's end)
    int64_t editedLength_ = -1;  // output samples of the stretches played (-1: the whole file)
    uint64_t generation_ = 0;
    double scannedDuration_ = 0;
    bool scanFailed_ = false;
    // Ends a run whose end was handed over but whose clock stopped short of it.
    int64_t lastHeard_ = -1;
    QElapsedTimer heardSince_;
};
