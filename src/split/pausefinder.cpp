#include "split/pausefinder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "decode/decoder.h"

namespace {

constexpr double kWindowSeconds = 0.010;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Collects runs of quiet windows into pauses.
class PauseCollector {
public:
    PauseCollector(long rate, const PauseOptions& options, std::vector<Pause>* pauses)
        : rate_(rate), window_(std::max<long>(1, std::lround(rate * kWindowSeconds))), pauses_(pauses),
          minSamples_(static_cast<uint64_t>(std::max(0.0, options.minPauseSeconds) * rate)) {
        // Sum of squares below which a full window is quiet: level relative to full scale.
        const double ratio = std::pow(10.0, options.thresholdDb / 20.0) * 32768.0;
        limit_ = ratio * ratio;
    }

    void Add(const int16_t* s, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            sum_ += static_cast<int64_t>(s[i]) * s[i];
            if (++filled_ == static_cast<uint64_t>(window_)) EndWindow();
        }
    }

    void Finish() {
        if (filled_ > 0) EndWindow();
        CloseRun();
    }

private:
    void EndWindow() {
        const bool quiet = static_cast<double>(sum_) / static_cast<double>(filled_) < limit_;
        if (quiet && !inRun_) {
            inRun_ = true;
            runStart_ = position_;
        }
        position_ += filled_;
        if (!quiet) CloseRun();
        else runEnd_ = position_;
        sum_ = 0;
        filled_ = 0;
    }

    void CloseRun() {
        if (inRun_ && runEnd_ - runStart_ >= minSamples_)
            pauses_->push_back(Pause{static_cast<double>(runStart_) / rate_, static_cast<double>(runEnd_) / rate_});
        inRun_ = false;
    }

    long rate_;
    long window_;
    std::vector<Pause>* pauses_;
    uint64_t minSamples_;
    double limit_ = 0;
    int64_t sum_ = 0;
    uint64_t filled_ = 0;
    uint64_t position_ = 0;
    bool inRun_ = false;
    uint64_t runStart_ = 0;
    uint64_t runEnd_ = 0;
};

}  // namespace

bool FindPauses(const std::string& path, const PauseOptions& options, std::vector<Pause>* pauses,
                std::string* error, const PauseProgress& progress) {
    pauses->clear();
    if (!std::isfinite(options.thresholdDb) || !std::isfinite(options.minPauseSeconds))
        return Fail(error, "The pause threshold and length must be numbers");
    // 16-bit mono: the decoder mixes the channels before synthesis, which halves its work.
    Decoder decoder;
    if (!decoder.Open(path, Decoder::Output::Mono16)) return Fail(error, "Cannot decode " + path);
    const long rate = decoder.SampleRate();
    const int64_t length = decoder.LengthSamples();
    PauseCollector collector(rate, options, pauses);
    std::vector<int16_t> buffer(1 << 16);
    uint64_t decoded = 0;
    uint64_t reported = 0;
    for (;;) {
        size_t got = 0;
        const Decoder::ReadStatus status =
            decoder.Read(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size() * sizeof(int16_t), got);
        collector.Add(buffer.data(), got / sizeof(int16_t));
        decoded += got / sizeof(int16_t);
        if (status == Decoder::ReadStatus::End) break;
        if (status == Decoder::ReadStatus::Error)
            return Fail(error, std::string("Decoding stopped: ") + decoder.Error());
        if (progress && length > 0 && decoded - reported >= static_cast<uint64_t>(rate)) {
            reported = decoded;
            if (!progress(std::min(1.0, static_cast<double>(decoded) / static_cast<double>(length))))
                return Fail(error, "The pause search was cancelled");
        }
    }
    collector.Finish();
    if (progress) progress(1.0);
    return true;
}

size_t AddPauseCuts(SplitPlan& plan, const std::vector<Pause>& pauses, bool trim) {
    size_t added = 0;
    double begin = plan.RangeBegin(), end = plan.RangeEnd();
    for (const Pause& p : pauses) {
        const bool atStart = p.start <= plan.RangeBegin();
        const bool atEnd = p.end >= plan.RangeEnd();
        if (atStart || atEnd) {
            if (trim && atStart && !atEnd) begin = p.end;
            if (trim && atEnd && !atStart) end = p.start;
            continue;
        }
        const int index = trim ? plan.AddGap(p.start, p.end) : plan.AddCut((p.start + p.end) / 2);
        if (index >= 0) ++added;
    }
    if (trim) plan.SetRange(begin, end);
    return added;
}
