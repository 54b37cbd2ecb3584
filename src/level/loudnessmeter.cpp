#include "level/loudnessmeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "decode/decoder.h"
#include "level/truepeak.h"

namespace {

// Large blocks: the meter's filters run best over long runs of samples.
// The decoder's 16-bit stereo output.
constexpr int kStereo = 2;
constexpr size_t kBlockSamples = size_t{1} << 16;
constexpr size_t kBlocksAhead = 4;

// Decodes on a thread of its own, a few blocks ahead of the meter: the meter's filters take
// longer than decoding, so on two cores the pass takes about as long as the meter alone.
class DecodeAhead {
public:
    explicit DecodeAhead(Decoder& decoder) : decoder_(decoder), thread_([this] { Run(); }) {}
    ~DecodeAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The next block of interleaved samples; false at the end or after a decoding error (`failed`).
    bool Next(std::vector<int16_t>& block, bool* failed) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !blocks_.empty() || done_; });
        if (blocks_.empty()) {
            *failed = failed_;
            return false;
        }
        block = std::move(blocks_.front());
        blocks_.pop_front();
        changed_.notify_all();
        return true;
    }

private:
    void Run() {
        for (;;) {
            std::vector<int16_t> block(kBlockSamples);
            size_t bytes = 0;
            const Decoder::ReadStatus status =
                decoder_.Read(reinterpret_cast<uint8_t*>(block.data()), block.size() * sizeof(int16_t), bytes);
            block.resize(bytes / sizeof(int16_t));
            std::unique_lock<std::mutex> lock(mutex_);
            if (status != Decoder::ReadStatus::Data) {
                failed_ = status == Decoder::ReadStatus::Error;
                done_ = true;
                changed_.notify_all();
                return;
            }
            changed_.wait(lock, [this] { return blocks_.size() < kBlocksAhead || stop_; });
            if (stop_) return;
            blocks_.push_back(std::move(block));
            changed_.notify_all();
        }
    }

    Decoder& decoder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<int16_t>> blocks_;
    bool done_ = false;
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;  // last: starts once the rest is set up
};

}  // namespace

struct LoudnessMeter::State {
    explicit State(ebur128_state* s) : st(s) {}
    ~State() { ebur128_destroy(&st); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ebur128_state* st;
};

LoudnessMeter::LoudnessMeter() = default;
LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&&) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&&) noexcept = default;

bool LoudnessMeter::MeasureFile(const std::string& path, const MeterOptions& options, std::string* error,
                                const std::function<bool(double)>& progress) {
    const auto fail = [error](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    state_.reset();
    samplePeak_ = truePeak_ = 0;
    samples_ = 0;
    Decoder decoder;
    if (!decoder.Open(path)) return fail("Cannot decode " + path + ": " + decoder.Error());
    int64_t length = static_cast<int64_t>(options.expectedSamples);
    // Without an expected length, libmpg123's (exact with a LAME tag, estimated otherwise).
    if (progress && length <= 0) length = decoder.LengthSamples();
    if (options.loudness) {
        ebur128_state* st = ebur128_init(kStereo, static_cast<unsigned long>(decoder.SampleRate()), EBUR128_MODE_I);
        if (!st) return fail("The loudness meter cannot start");
        state_ = std::make_unique<State>(st);
        if (options.mono) ebur128_set_channel(st, 1, EBUR128_UNUSED);
    }
    std::vector<int16_t> block;
    int peak = 0;
    TruePeakMeter truePeak(options.mono ? 1 : kStereo, kStereo);
    uint64_t reported = 0;
    const int channels = options.mono ? 1 : kStereo;
    bool failed = false;
    DecodeAhead ahead(decoder);
    while (ahead.Next(block, &failed)) {
        const size_t frames = block.size() / kStereo;
        for (size_t i = 0; i < frames * kStereo; i += kStereo)
            for (int c = 0; c < channels; ++c) peak = std::max(peak, std::abs(int{block[i + c]}));
        if (options.truePeak) truePeak.Add(block.data(), frames);
        if (state_ && ebur128_add_frames_short(state_->st, block.data(), frames) != EBUR128_SUCCESS)
            return fail("The loudness meter failed on " + path);
        samples_ += frames;
        if (progress && length > 0 && samples_ - reported >= static_cast<uint64_t>(decoder.SampleRate()) * 10) {
            reported = samples_;
            if (!progress(std::min(1.0, static_cast<double>(samples_) / static_cast<double>(length))))
                return fail("Cancelled");
        }
    }
    if (failed) return fail("Decoding " + path + " stopped: " + decoder.Error());
    samplePeak_ = std::min(1.0, peak / 32768.0);
    if (options.truePeak) truePeak_ = truePeak.Peak();
    if (progress) progress(1.0);
    return true;
}

double LoudnessMeter::Loudness() const {
    double lufs = -HUGE_VAL;
    if (!state_ || ebur128_loudness_global(state_->st, &lufs) != EBUR128_SUCCESS) return -HUGE_VAL;
    return lufs;
}

double LoudnessMeter::AlbumLoudness(const std::vector<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* m : meters)
        if (m && m->state_) states.push_back(m->state_->st);
    double lufs = -HUGE_VAL;
    if (states.empty() || ebur128_loudness_global_multiple(states.data(), states.size(), &lufs) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return lufs;
}

double LevelDb(double linear) { return linear > 0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }
