#include "playback/decoderthread.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cmath>
#include <cstring>

#include "mpeg/framescan.h"
#include "playback/pcm.h"

namespace {
// About 46 ms of 44.1 kHz stereo per decode step.
constexpr size_t kChunkBytes = 8192;
// While the ring is full the thread looks again this often; the sink drains it far slower.
constexpr auto kFullWait = std::chrono::milliseconds(20);

// Scales the 16-bit stereo `frames` whose first is source sample `first` by the plan's granule
// gains, as the frames' changed global gains would scale them in the decoder.
void ApplyGains(uint8_t* pcm, size_t frames, int64_t first, const GainPlan& plan, int delay) {
    size_t granule = SIZE_MAX;
    double factor[pcm::kChannels] = {1.0, 1.0};
    for (size_t i = 0; i < frames; ++i) {
        const size_t g = GranuleAt(plan.Granules(), delay, first + static_cast<int64_t>(i));
        if (g != granule) {
            granule = g;
            for (int c = 0; c < pcm::kChannels; ++c) factor[c] = GainFactor(plan.StepsAt(g, c));
        }
        for (int c = 0; c < pcm::kChannels; ++c) {
            uint8_t* at = pcm + i * pcm::kBytesPerFrame + c * 2;
            int16_t v;
            std::memcpy(&v, at, sizeof v);
            v = static_cast<int16_t>(std::clamp(std::lround(v * factor[c]), -32768L, 32767L));
            std::memcpy(at, &v, sizeof v);
        }
    }
}

}  // namespace

DecoderThread::DecoderThread(RingBuffer& ring) : ring_(ring), chunk_(kChunkBytes), thread_([this] { Run(); }) {}

DecoderThread::~DecoderThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void DecoderThread::Load(std::unique_ptr<Decoder> decoder) {
    std::unique_ptr<Decoder> replaced;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        replaced = std::move(pending_.decoder);
        pending_.decoder = std::move(decoder);
        pending_.serial = ++loads_;
        pending_.index.reset();
        pending_.start.reset();
        pending_.segments.emplace();
        pending_.idle = true;
        hasPending_ = true;
    }
    wake_.notify_one();
}

void DecoderThread::SetIndex(std::shared_ptr<const FrameTable> table) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.index = std::move(table);
        pending_.indexSerial = loads_;
        hasPending_ = true;
    }
    wake_.notify_one();
}

void DecoderThread::SetSegments(std::vector<PlaySegment> segments) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.segments = std::move(segments);
        hasPending_ = true;
    }
    wake_.notify_one();
}

void DecoderThread::Start(uint64_t generation, int64_t sample) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.start = std::make_pair(generation, sample);
        pending_.idle = false;
        hasPending_ = true;
    }
    wake_.notify_one();
}

void DecoderThread::Idle() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.start.reset();
        pending_.idle = true;
        hasPending_ = true;
    }
    wake_.notify_one();
}

void DecoderThread::Run() {
    std::optional<uint64_t> filling;  // the generation being filled
    for (;;) {
        Request request = Take(filling.has_value(), filling.value_or(0));
        if (quit_) return;
        Apply(request, filling);
        const bool room = filling && ring_.FreeSpace(*filling) >= kChunkBytes;
        if (room && !FillOnce(*filling)) filling.reset();
    }
}

// Waits for a request, or for room in the ring while filling; returns what is pending.
DecoderThread::Request DecoderThread::Take(bool filling, uint64_t generation) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [&] { return quit_ || hasPending_; };
    if (!filling) {
        wake_.wait(lock, ready);
    } else if (ring_.FreeSpace(generation) < kChunkBytes) {
        wake_.wait_for(lock, kFullWait, ready);
    }
    Request request;
    if (hasPending_ && !quit_) {
        request = std::move(pending_);
        pending_ = Request{};
        hasPending_ = false;
    }
    return request;
}

void DecoderThread::Apply(Request& request, std::optional<uint64_t>& filling) {
    if (request.decoder) {
        current_ = std::move(request.decoder);
        currentSerial_ = request.serial;
        table_.reset();
    }
    // Copying the offsets into the decoder takes a millisecond or two even for a long file.
    if (request.index && current_ && request.indexSerial == currentSerial_) {
        current_->SetIndex(*request.index);
        table_ = request.index;
    }
    if (request.idle) filling.reset();
    if (request.segments) {
        segments_ = *request.segments;
        cursor_.SetSegments(segments_);
        // A run in progress was decoded for the old stretches; the engine starts a new one.
        if (!request.start) filling.reset();
    }
    if (request.segments || request.index || request.decoder) PlanLevel();
    if (request.start) {
        filling = request.start->first;
        const int64_t source = cursor_.Seek(request.start->second);
        if (!current_ || source < 0 || !current_->SeekToSample(source)) {
            ring_.MarkEnd(*filling);
            filling.reset();
        }
    }
}

void DecoderThread::PlanLevel() {
    std::vector<LevelSpan> spans;
    for (const PlaySegment& s : segments_)
        if (!s.level.IsUnchanged())
            spans.push_back({s.sourceStart, s.sourceEnd, s.level.gainSteps, s.level.fadeInSamples, s.level.fadeOutSamples});
    gains_ = spans.empty() || !table_ ? GainPlan() : PlanForTimeline(*table_, spans);
    gainDelay_ = table_ ? TimelineDelay(*table_) : 0;
}

size_t DecoderThread::SegmentRoom() {
    if (cursor_.Whole()) return chunk_.size();
    while (cursor_.Remaining() <= 0) {
        // The next stretch follows at the very next sample of the output: no gap, no overlap. One
        // that follows on in the source too (a change of level) is decoded straight on.
        const int64_t decoded = cursor_.Source();
        const int64_t next = cursor_.Next();
        if (next < 0 || (next != decoded && !current_->SeekToSample(next))) return 0;
    }
    const int64_t room = cursor_.Remaining() * pcm::kBytesPerFrame;
    return static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(chunk_.size())));
}

bool DecoderThread::FillOnce(uint64_t generation) {
    const size_t room = SegmentRoom();
    if (room == 0) {
        ring_.MarkEnd(generation);
        return false;
    }
    size_t bytes = 0;
    const Decoder::ReadStatus status = current_->Read(chunk_.data(), room, bytes);
    if (bytes > 0 && gains_.Changes() && !cursor_.Whole())
        ApplyGains(chunk_.data(), bytes / pcm::kBytesPerFrame, cursor_.Source(), gains_, gainDelay_);
    if (bytes > 0) ring_.Write(generation, chunk_.data(), bytes);
    cursor_.Advance(static_cast<int64_t>(bytes / pcm::kBytesPerFrame));
    if (status == Decoder::ReadStatus::Data) return true;
    ring_.MarkEnd(generation);
    return false;
}
