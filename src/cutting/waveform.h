#pragma once
// Peak envelope of an MP3 file for the waveform overview. The whole file is decoded with
// libmpg123 (which also skips ID3 tags and junk), both channels are folded into one min/max
// pair, and the pairs are kept per block of about 10 ms, so redrawing at any width is a cheap
// re-binning of the blocks rather than a new decode.
//
// WaveformBuilder runs the decode on a worker thread and delivers progress and the result on the
// thread it lives on (the GUI thread). Opening a new file cancels a decode still running; the
// cancelled result is never delivered. A file with no decodable audio gives an empty envelope.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>

// Full scale is -1..1.
struct PeakPair {
    float min = 0.0f;
    float max = 0.0f;
};

struct WaveformEnvelope {
    std::vector<PeakPair> blocks;
    double secondsPerBlock = 0.01;
    // Decoded playing time: the last block may be shorter than secondsPerBlock.
    double seconds = 0.0;

    bool Empty() const { return blocks.empty(); }
};

// Decodes `path` whole on the calling thread. `progress` (may be empty) receives the share of the
// file read so far, 0..1, at most about a hundred times. When `cancel` becomes true the decode
// stops at the next frame and `*cancelled` (if given) is set; the envelope then holds what was read.
WaveformEnvelope DecodePeakEnvelope(const std::string& path, const std::atomic<bool>& cancel,
                                    const std::function<void(double)>& progress,
                                    bool* cancelled = nullptr);

// Min and max of each of `columns` equal time slices of 0..spanSeconds. A slice narrower than a
// block takes the block it starts in; slices beyond the decoded audio are {0, 0}.
std::vector<PeakPair> RebinPeaks(const WaveformEnvelope& envelope, int columns, double spanSeconds);

class WaveformBuilder : public QObject {
    Q_OBJECT
public:
    explicit WaveformBuilder(QObject* parent = nullptr);
    // Cancels and waits for a running decode (one frame at most).
    ~WaveformBuilder() override;

    // Starts building the envelope of `path`, cancelling any decode still running.
    void Open(const QString& path);
    // Stops a running decode; nothing is delivered for it.
    void Cancel();
    bool IsBuilding() const { return building_; }

signals:
    void progressChanged(double fraction);
    // Empty envelope when the file could not be decoded.
    void finished(std::shared_ptr<const WaveformEnvelope> envelope);

private:
    void StopWorker();

    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    // Results and progress of older decodes carry an older number and are dropped.
    uint64_t generation_ = 0;
    bool building_ = false;
};
