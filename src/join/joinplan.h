#pragma once
// How files are joined into one stream, as plain values: which frames of each input go into the
// output, the encoder delay and padding of the whole, and where each input's audio starts in it.
//
// Inputs cut from one stream (the parts of a split) begin with lead frames that the input before
// ends with: where those frames are the same bytes, they are written once, so the parts join back
// into the source's frames. The first lead frame may be one made up to carry the bit reservoir:
// the input before has the source's frame there. Other inputs keep their own delay and padding
// at the joins.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mpeg/framescan.h"

struct JoinInput {
    std::string path;
    FrameTable table;
    std::string title;  // for its chapter: the ID3v2 title, else the file name
};

struct JoinPart {
    size_t firstFrame = 0;       // frames before it are the previous input's last frames
    size_t endFrame = 0;         // one past the last frame written
    uint64_t outputFrame = 0;    // where its first written frame goes among the output's frames
    uint64_t startSample = 0;    // its first audible sample in the output's decoded audio
    bool smooth = false;         // joined to the input before by re-encoded frames
    std::vector<std::vector<uint8_t>> reencodedBefore;  // frames written before its own
};

struct JoinPlan {
    std::vector<JoinPart> parts;
    uint64_t frames = 0;
    uint32_t delay = 0;          // the first input's encoder delay
    uint32_t padding = 0;        // the last input's encoder padding
    bool vbr = false;
    uint32_t sampleRate = 0;
    uint32_t samplesPerFrame = 0;
    uint64_t decodedSamples = 0;  // what a gapless decoder gives for the output
};

// Where each part goes among the output's frames, where its audio starts, the output's frame count
// and decoded length, from the parts' frames and re-encoded frames.
void PlaceJoinParts(const std::vector<JoinInput>& inputs, JoinPlan& plan);

// True when the frames [from, from + count) of input `a` are byte for byte the frames
// [bFrom, bFrom + count) of input `b`.
using SameFrames = std::function<bool(size_t a, size_t from, size_t b, size_t bFrom, size_t count)>;

// "" when the inputs can be joined; else the reason, naming the file at fault: every input must
// be MPEG Layer III with the first one's version, sampling rate and channel count.
std::string CheckJoinInputs(const std::vector<JoinInput>& inputs);

// The plan for inputs that passed CheckJoinInputs (at least one).
JoinPlan PlanJoin(const std::vector<JoinInput>& inputs, const SameFrames& same);

// Channels of a stream (1 for mono, else 2), from its first audio frame.
int ChannelCount(const FrameTable& table);
