#pragma once
// Joins MP3 files into one: the first file's ID3v2 tag (with chapters, one per input, on
// request), the audio frames of every input in order, and one fresh Xing/Info + LAME header over
// the whole. Inner tags and Info frames are left out. Written through the crash-safe writer:
// a join that fails or is cancelled writes nothing.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "join/joinplan.h"

struct JoinOptions {
    bool chapters = false;   // one chapter per input, titled from its ID3v2 title or file name
    bool overwrite = false;  // replace an output that exists already
    // Each join between unrelated files made on the sample with a few frames encoded anew.
    bool smoothJoins = false;
    int crossfadeMs = 5;
};

struct JoinedInput {
    std::string path;
    std::string title;
    uint64_t startSample = 0;  // where its audio starts in the output's decoded audio
    uint64_t endSample = 0;
    size_t sharedFrames = 0;   // lead frames it shared with the input before, written once
    size_t reencodedFrames = 0;  // frames encoded anew at a smooth join before it
};

struct JoinOutcome {
    bool ok = false;
    bool cancelled = false;
    std::string error;
    std::vector<JoinedInput> inputs;
    uint64_t frames = 0;
    uint64_t bytes = 0;
    uint32_t sampleRate = 0;
    uint64_t decodedSamples = 0;
    uint32_t encoderDelay = 0;
    uint32_t encoderPadding = 0;
};

// Fraction of the whole done, 0..1; false cancels.
using JoinProgress = std::function<bool(double fraction)>;

JoinOutcome JoinFiles(const std::vector<std::string>& inputs, const std::string& output, const JoinOptions& options,
                      const JoinProgress& progress = {});
