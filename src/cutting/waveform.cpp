#include "cutting/waveform.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QFile>

#include "decode/decoder.h"
#include "files/threadpriority.h"
#include "level/gainplan.h"

namespace {

// Blocks of 256 samples (5.8 ms at 44.1 kHz): at the closest zoom an MPEG frame of 1,152
// samples spans several pixels and still shows its shape; a two-hour file needs about 10 MB.
constexpr long kBlockLength = WaveformEnvelope::kSamplesPerBlock;

// Min and max of p[0..n) into lo/hi. Eight independent lanes let the compiler use packed
// min/max instructions; a plain running min/max is a serial dependency chain and costs about as
// much as the decoding itself.
void FoldRange(const float* p, size_t n, float& lo, float& hi) {
    constexpr size_t kLanes = 8;
    float lanesLo[kLanes];
    float lanesHi[kLanes];
    for (size_t k = 0; k < kLanes; ++k) {
        lanesLo[k] = lo;
        lanesHi[k] = hi;
    }
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        for (size_t k = 0; k < kLanes; ++k) {
            lanesLo[k] = p[i + k] < lanesLo[k] ? p[i + k] : lanesLo[k];
            lanesHi[k] = lanesHi[k] < p[i + k] ? p[i + k] : lanesHi[k];
        }
    }
    for (; i < n; ++i) {
        lo = std::min(lo, p[i]);
        hi = std::max(hi, p[i]);
    }
    for (size_t k = 0; k < kLanes; ++k) {
        lo = std::min(lo, lanesLo[k]);
        hi = std::max(hi, lanesHi[k]);
    }
}

// Folds interleaved samples into the current block, closing blocks as they fill.
class BlockFolder {
public:
    explicit BlockFolder(WaveformEnvelope& envelope) : envelope_(envelope) {}

    void SetFormat(long rate, int channels) {
        rate_ = rate;
        channels_ = std::max(channels, 1);
        blockLength_ = kBlockLength;
        if (envelope_.blocks.empty() && filled_ == 0) {
            envelope_.secondsPerBlock = static_cast<double>(blockLength_) / rate;
            envelope_.sampleRate = rate;
        }
    }

    void Add(const float* samples, size_t frames) {
        if (rate_ <= 0) return;
        while (frames > 0) {
            size_t take = std::min<size_t>(frames, static_cast<size_t>(blockLength_ - filled_));
            const float* end = samples + take * channels_;
            // A block's first sample opens its range, so a block that never crosses zero keeps
            // its true extremes.
            float lo = filled_ == 0 ? samples[0] : current_.min;
            float hi = filled_ == 0 ? samples[0] : current_.max;
            FoldRange(samples, take * channels_, lo, hi);
            current_ = {lo, hi};
            filled_ += static_cast<long>(take);
            envelope_.seconds += static_cast<double>(take) / rate_;
            samples = end;
            frames -= take;
            if (filled_ == blockLength_) Close();
        }
    }

    void Finish() {
        if (filled_ > 0) Close();
    }

private:
    void Close() {
        envelope_.blocks.push_back(current_);
        current_ = {};
        filled_ = 0;
    }

    WaveformEnvelope& envelope_;
    long rate_ = 0;
    int channels_ = 1;
    long blockLength_ = 1;
    long filled_ = 0;
    PeakPair current_;
};

}  // namespace

WaveformEnvelope DecodePeakEnvelope(const std::string& path, const std::atomic<bool>& cancel,
                                    const std::function<void(double)>& progress, bool* cancelled) {
    if (cancelled) *cancelled = false;
    WaveformEnvelope envelope;
    Decoder decoder;
    if (!decoder.Open(path, Decoder::Output::Float) || decoder.FileSize() <= 0) return envelope;
    const int channels = decoder.Channels();
    BlockFolder folder(envelope);
    folder.SetFormat(decoder.SampleRate(), channels);
    // About a frame's worth per read: cancelling stops within one.
    std::vector<float> samples(static_cast<size_t>(1152 * channels));
    const double fileSize = static_cast<double>(decoder.FileSize());
    int lastPercent = -1;
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) {
            if (cancelled) *cancelled = true;
            break;
        }
        size_t bytes = 0;
        const Decoder::ReadStatus status =
            decoder.Read(reinterpret_cast<uint8_t*>(samples.data()), samples.size() * sizeof(float), bytes);
        if (bytes > 0) folder.Add(samples.data(), bytes / decoder.BytesPerFrame());
        // The end, or an error: what was decoded is kept.
        if (status != Decoder::ReadStatus::Data) break;
        if (progress) {
            const double share = std::min(1.0, static_cast<double>(decoder.BytesRead()) / fileSize);
            const int percent = static_cast<int>(share * 100.0);
            if (percent != lastPercent) {
                lastPercent = percent;
                progress(share);
            }
        }
    }
    folder.Finish();
    BuildSummaries(envelope);
    if (progress && !(cancelled && *cancelled)) progress(1.0);
    return envelope;
}

void BuildSummaries(WaveformEnvelope& envelope) {
    envelope.summaries.clear();
    const std::vector<PeakPair>* below = &envelope.blocks;
    for (int level = 0; level < 2; ++level) {
        std::vector<PeakPair> folded;
        folded.reserve(below->size() / WaveformEnvelope::kSummaryFactor + 1);
        for (size_t i = 0; i < below->size(); i += WaveformEnvelope::kSummaryFactor) {
            const size_t end = std::min(below->size(), i + WaveformEnvelope::kSummaryFactor);
            PeakPair peak = (*below)[i];
            for (size_t j = i + 1; j < end; ++j) {
                peak.min = std::min(peak.min, (*below)[j].min);
                peak.max = std::max(peak.max, (*below)[j].max);
            }
            folded.push_back(peak);
        }
        envelope.summaries.push_back(std::move(folded));
        below = &envelope.summaries.back();
    }
}

std::vector<PeakPair> RebinPeaks(const WaveformEnvelope& envelope, int columns, double spanSeconds) {
    return RebinPeaks(envelope, columns, 0.0, spanSeconds);
}

std::vector<PeakPair> RebinPeaks(const WaveformEnvelope& envelope, int columns, double fromSeconds,
                                 double toSeconds) {
    std::vector<PeakPair> out(static_cast<size_t>(std::max(columns, 0)));
    const double span = toSeconds - fromSeconds;
    if (columns <= 0 || !(span > 0.0) || envelope.Empty() || !(envelope.secondsPerBlock > 0.0))
        return out;
    // The coarsest level whose blocks still fit in a column.
    const std::vector<PeakPair>* level = &envelope.blocks;
    double secondsPerBlock = envelope.secondsPerBlock;
    const double columnSeconds = span / columns;
    for (const auto& summary : envelope.summaries) {
        const double wider = secondsPerBlock * WaveformEnvelope::kSummaryFactor;
        if (wider > columnSeconds || summary.empty()) break;
        level = &summary;
        secondsPerBlock = wider;
    }
    const double blocksPerColumn = columnSeconds / secondsPerBlock;
    const double firstBlock = fromSeconds / secondsPerBlock;
    const size_t count = level->size();
    // A hair of tolerance so that a boundary landing exactly on a block edge, give or take the
    // rounding of the division, does not pull in the neighbouring block.
    constexpr double kEdge = 1e-9;
    for (int c = 0; c < columns; ++c) {
        const double from = firstBlock + c * blocksPerColumn;
        const double to = firstBlock + (c + 1) * blocksPerColumn;
        if (to <= kEdge) continue;
        const double firstExact = std::max(0.0, std::floor(from + kEdge));
        if (firstExact >= static_cast<double>(count)) break;
        const size_t first = static_cast<size_t>(firstExact);
        size_t last = static_cast<size_t>(std::min(std::ceil(to - kEdge), static_cast<double>(count)));
        last = std::max(last, first + 1);
        PeakPair peak = (*level)[first];
        for (size_t b = first + 1; b < last; ++b) {
            peak.min = std::min(peak.min, (*level)[b].min);
            peak.max = std::max(peak.max, (*level)[b].max);
        }
        out[static_cast<size_t>(c)] = peak;
    }
    return out;
}

WaveformBuilder::WaveformBuilder(QObject* parent) : QObject(parent) {
    connect(&worker_, &BackgroundWorker::progressChanged, this, &WaveformBuilder::progressChanged);
}

void WaveformBuilder::Open(const QString& path) {
    const std::string localPath = QFile::encodeName(path).toStdString();
    worker_.Start([this, localPath](const BackgroundWorker::Progress& progress,
                                    const std::atomic<bool>& cancel) -> BackgroundWorker::Delivery {
        // Decoding the whole file yields to the player's decoding and reading.
        LowerThisThreadsPriority();
        bool cancelled = false;
        auto envelope = std::make_shared<const WaveformEnvelope>(
            DecodePeakEnvelope(localPath, cancel, [&progress](double share) { progress(share); }, &cancelled));
        if (cancelled) return {};
        return [this, envelope] { emit finished(envelope); };
    });
}

namespace {

// What a block `at` seconds into a stretch of `length` seconds is scaled by: the gain, and a fade
// falling in straight decibels to the fade depth, its outermost granule silent, as the frames' ramp.
double LevelFactor(const StretchLevel& level, double at, double length, double granuleSeconds) {
    double steps = level.gainSteps;
    const auto ramp = [&](double into, double fade) {
        if (!(fade > 0) || into >= fade) return true;
        if (into < granuleSeconds) return false;
        steps -= kFadeDepthSteps * (1.0 - into / fade);
        return true;
    };
    if (!ramp(at, level.fadeInSeconds) || !ramp(length - at, level.fadeOutSeconds)) return 0.0;
    if (steps <= -kFadeDepthSteps) return 0.0;
    return std::exp2(steps / 4.0);
}

}  // namespace

WaveformEnvelope EditedEnvelope(const WaveformEnvelope& source, const std::vector<std::pair<double, double>>& stretches,
                                const std::vector<StretchLevel>& levels) {
    WaveformEnvelope edited;
    edited.secondsPerBlock = source.secondsPerBlock;
    edited.sampleRate = source.sampleRate;
    if (!(source.secondsPerBlock > 0)) return edited;
    const auto blockAt = [&](double seconds) {
        const double block = std::round(std::clamp(seconds, 0.0, source.seconds) / source.secondsPerBlock);
        return std::min(static_cast<size_t>(block), source.blocks.size());
    };
    for (size_t i = 0; i < stretches.size(); ++i) {
        const auto& [from, to] = stretches[i];
        if (!(to > from)) continue;
        const size_t first = blockAt(from);
        const size_t last = blockAt(to);
        for (size_t b = first; b < last; ++b) {
            PeakPair pair = source.blocks[b];
            if (i < levels.size()) {
                // The block's middle stands for it.
                const double at = (static_cast<double>(b - first) + 0.5) * source.secondsPerBlock;
                const double granule = source.sampleRate > 0 ? 576.0 / static_cast<double>(source.sampleRate) : 0.0;
                const float factor = static_cast<float>(LevelFactor(levels[i], at, to - from, granule));
                pair.min = std::clamp(pair.min * factor, -1.0f, 1.0f);
                pair.max = std::clamp(pair.max * factor, -1.0f, 1.0f);
            }
            edited.blocks.push_back(pair);
        }
        edited.seconds += std::clamp(to, 0.0, source.seconds) - std::clamp(from, 0.0, source.seconds);
    }
    BuildSummaries(edited);
    return edited;
}
