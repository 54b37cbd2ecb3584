#pragma once
// The thread that keeps the ring buffer filled from the current file. The engine only posts
// requests (a new file, its seek index, a start sample for a generation, idle); it never waits
// for a decode.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "decode/decoder.h"
#include "level/gainplan.h"
#include "playback/ringbuffer.h"
#include "playback/segmentcursor.h"

struct FrameTable;

class DecoderThread {
public:
    explicit DecoderThread(RingBuffer& ring);
    // Stops the thread; a decode in progress finishes its chunk first.
    ~DecoderThread();

    // Hands over an opened file; the old one is closed on the thread.
    void Load(std::unique_ptr<Decoder> decoder);
    // The frame walk of the file last loaded, as its seek index.
    void SetIndex(std::shared_ptr<const FrameTable> table);
    // Fill the ring for `generation` from `sample` on.
    void Start(uint64_t generation, int64_t sample);
    // Stop filling (the ring has been reset by the caller).
    void Idle();
    // The stretches of the current file to play, in order (empty: all of it), each scaled by its
    // level granule by granule as a render writes it; the next Start counts in their output. A
    // new file plays whole until told otherwise.
    void SetSegments(std::vector<PlaySegment> segments);

private:
    struct Request {
        std::unique_ptr<Decoder> decoder;  // set: replaces the current file
        uint64_t serial = 0;               // of that file
        std::shared_ptr<const FrameTable> index;
        uint64_t indexSerial = 0;          // the file it belongs to
        std::optional<std::pair<uint64_t, int64_t>> start;
        std::optional<std::vector<PlaySegment>> segments;
        bool idle = false;
    };

    void Run();
    Request Take(bool filling, uint64_t generation);
    void Apply(Request& request, std::optional<uint64_t>& filling);
    bool FillOnce(uint64_t generation);
    // Room left in the current stretch, moving on to the next one when it is used up; 0 at the end.
    size_t SegmentRoom();
    // The stretches' level as granule gains, once both the stretches and the frame walk are known.
    void PlanLevel();

    RingBuffer& ring_;
    std::mutex mutex_;
    std::condition_variable wake_;
    Request pending_;
    bool hasPending_ = false;
    bool quit_ = false;
    uint64_t loads_ = 0;  // files handed over
    // Touched on the thread only.
    std::unique_ptr<Decoder> current_;
    uint64_t currentSerial_ = 0;
    SegmentCursor cursor_;
    std::vector<PlaySegment> segments_;
    std::shared_ptr<const FrameTable> table_;  // the current file's walk
    GainPlan gains_;
    int gainDelay_ = 0;
    std::vector<uint8_t> chunk_;
    std::thread thread_;
};
