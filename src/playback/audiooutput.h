#pragma once
// The sound device side of the engine: one run of a QAudioSink in pull mode from the sink
// device, or, without any output device, a timer that drains the device at real speed. A
// fresh sink is made for every run with its buffer size set before the start: Qt 6.4 hands a
// restarted sink the buffer size PulseAudio last gave it, which shrinks with every restart
// until the sound breaks up.
#include <cstdint>

#include <QAudio>
#include <QAudioSink>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "playback/playclock.h"

class SinkDevice;

class AudioOutput : public QObject {
    Q_OBJECT
public:
    AudioOutput(SinkDevice& device, QObject* parent = nullptr);
    ~AudioOutput() override;

    // Starts a run at `rate` samples per second, stereo 16-bit. Without a device, or when the
    // device refuses at once, the run is silent; the second case returns the reason.
    QString Start(int rate);
    void Stop();
    bool Running() const { return running_; }
    bool Silent() const { return running_ && !sink_; }
    // Frames of this run heard so far (never more than were handed to the sink).
    int64_t HeardFrames() const;

    void SetVolume(float volume);
    float Volume() const { return volume_; }

signals:
    // The device failed during a run; the run has ended.
    void failed(const QString& reason);

private:
    static QString ErrorText(QAudio::Error error);
    QString StartSink(int rate, bool& started);
    void OnSinkState(QAudio::State state);
    void DrainSilently();
    void DropSink();

    SinkDevice& device_;
    QPointer<QAudioSink> sink_;
    QTimer drain_;
    PlayClock clock_;
    int rate_ = 0;
    mutable int64_t heard_ = 0;
    float volume_ = 1.0f;
    bool running_ = false;
};
