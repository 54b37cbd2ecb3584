#pragma once
// What the audio sink pulls from: the ring buffer's PCM, or a little silence while the decoder
// catches up after a start. It remembers which file sample each byte it handed over came from,
// so a count of frames heard maps back to the file.
#include <cstdint>
#include <vector>

#include <QIODevice>

#include "playback/ringbuffer.h"

class SinkDevice : public QIODevice {
    Q_OBJECT
public:
    explicit SinkDevice(RingBuffer& ring, QObject* parent = nullptr);

    // A new run of the sink starts at the file's `sample`; the frame count restarts at 0.
    void Begin(int64_t sample);
    // This run hands over nothing from the file's `sample` on and ends there; -1 for no end
    // but the file's.
    void SetStopSample(int64_t sample) { stopSample_ = sample; }
    // The run ended at the stop sample rather than at the end of the file.
    bool StoppedAtSample() const { return stoppedAtSample_; }
    // Frames handed over since Begin.
    int64_t HandedFrames() const { return handed_; }
    // File sample heard when the sink has played `frames` of this run.
    int64_t SampleAt(int64_t frames) const;
    // The file ended during this run, and the sink has played all of it.
    bool EndedBy(int64_t frames) const { return endFrame_ >= 0 && frames >= endFrame_; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // From `frame` of the run on, the bytes are audio from `sample` on, or silence held at it.
    struct Stretch {
        int64_t frame = 0;
        int64_t sample = 0;
        bool audio = false;
    };
    void Note(int64_t sample, bool audio);

    RingBuffer& ring_;
    std::vector<Stretch> stretches_;
    int64_t handed_ = 0;
    int64_t endFrame_ = -1;
    int64_t stopSample_ = -1;
    bool stoppedAtSample_ = false;
};
