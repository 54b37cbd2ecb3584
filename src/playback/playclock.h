#pragma once
// How many frames of the current run have been heard. With a sink that is the time the sink
// says it has played (PulseAudio's playback time, so what sits in its buffers is not counted);
// without a device it is wall-clock time, so the file "plays" silently at real speed.
#include <cstdint>

#include <QElapsedTimer>

class QAudioSink;

class PlayClock {
public:
    void StartSink(const QAudioSink* sink, int rate);
    void StartReal(int rate);
    void Stop();
    int64_t Frames() const;

private:
    const QAudioSink* sink_ = nullptr;
    QElapsedTimer real_;
    int rate_ = 0;
};
