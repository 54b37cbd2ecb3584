#pragma once
// Peak envelope of an MP3 file for the waveform band. The whole file is decoded once with
// libmpg123 (which also skips ID3 tags and junk), both channels are folded into one min/max
// pair per block of 256 samples, and coarser summaries (4,096 and 65,536 samples) are built from
// those blocks. Redrawing at any zoom is a re-binning of the level whose blocks just fit a
// column, so a pixel column never walks more than a few dozen pairs, even on a two-hour file.
//
// WaveformBuilder runs the decode on a worker thread and delivers progress and the result on the
// thread it lives on (the GUI thread). Opening a new file cancels a decode still running; the
// cancelled result is never delivered. A file with no decodable audio gives an empty envelope.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>

#include "jobs/backgroundworker.h"

// Full scale is -1..1.
struct PeakPair {
    float min = 0.0f;
    float max = 0.0f;
};

struct WaveformEnvelope {
    static constexpr int kSamplesPerBlock = 256;
    // Each summary level folds this many blocks of the level below.
    static constexpr int kSummaryFactor = 16;

    std::vector<PeakPair> blocks;
    double secondsPerBlock = 256.0 / 44100.0;
    // Decoded playing time: the last block may be shorter than secondsPerBlock.
    double seconds = 0.0;
    long sampleRate = 44100;
    // summaries[k] holds blocks of kSummaryFactor^(k+1) base blocks; built by BuildSummaries.
    std::vector<std::vector<PeakPair>> summaries;

    bool Empty() const { return blocks.empty(); }
};

// Builds the coarser levels from `blocks` (replacing any there were): two levels, so a column
// at full zoom-out of a two-hour file folds a few dozen pairs instead of thousands.
void BuildSummaries(WaveformEnvelope& envelope);

// Decodes `path` whole on the calling thread. `progress` (may be empty) receives the share of the
// file read so far, 0..1, at most about a hundred times. When `cancel` becomes true the decode
// stops at the next frame and `*cancelled` (if given) is set; the envelope then holds what was read.
WaveformEnvelope DecodePeakEnvelope(const std::string& path, const std::atomic<bool>& cancel,
                                    const std::function<void(double)>& progress,
                                    bool* cancelled = nullptr);

// Min and max of each of `columns` equal time slices of 0..spanSeconds. A slice narrower than a
// block takes the block it starts in; slices beyond the decoded audio are {0, 0}.
std::vector<PeakPair> RebinPeaks(const WaveformEnvelope& envelope, int columns, double spanSeconds);
// The same over fromSeconds..toSeconds, from the coarsest level whose blocks are no wider than
// a column. Slices before 0 are {0, 0} too.
std::vector<PeakPair> RebinPeaks(const WaveformEnvelope& envelope, int columns, double fromSeconds,
                                 double toSeconds);

// The level a stretch of an edited timeline plays at: a gain in 1.5 dB steps, fades at its ends.
struct StretchLevel {
    int gainSteps = 0;
    double fadeInSeconds = 0.0;
    double fadeOutSeconds = 0.0;
};

// The envelope of an edited timeline: the blocks under each of `stretches` (source seconds, in
// playing order) one after another, each scaled by its level in `levels` (none: as they are), the
// fades as ramps in decibels from silence. Joins fall on the nearest block edge, close enough to
// draw.
WaveformEnvelope EditedEnvelope(const WaveformEnvelope& source, const std::vector<std::pair<double, double>>& stretches,
                                const std::vector<StretchLevel>& levels = {});

class WaveformBuilder : public QObject {
    Q_OBJECT
public:
    explicit WaveformBuilder(QObject* parent = nullptr);

    // Starts building the envelope of `path`, cancelling any decode still running.
    void Open(const QString& path);
    // Stops a running decode; nothing is delivered for it.
    void Cancel() { worker_.Cancel(); }
    bool IsBuilding() const { return worker_.IsRunning(); }

signals:
    void progressChanged(double fraction);
    // Empty envelope when the file could not be decoded.
    void finished(std::shared_ptr<const WaveformEnvelope> envelope);

private:
    // Cancels and waits for a running decode (one frame at most) when the builder goes.
    BackgroundWorker worker_;
};
