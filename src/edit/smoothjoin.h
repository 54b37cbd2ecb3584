#pragma once
// The frames of a smooth join, made anew: the output's decoded audio around the join (outgoing
// and incoming audio crossfaded on the join's sample) encoded with libmp3lame at the source's
// rate, channels, mode and bitrate or VBR quality, without the bit reservoir, so that they
// replace a few source frames in place. The first copied frame after them gets the reservoir
// bytes it borrows in the last of them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "edit/renderplan.h"
#include "mpeg/framescan.h"

// `count` samples of the output's decoded audio from sample `from` on (which may be negative or
// lie past the end: silence there), interleaved floats in -1..1.
using OutputAudio = std::function<bool(int64_t from, int64_t count, std::vector<float>& pcm, std::string* error)>;

// Where frames are encoded into: the stream `table` describes (version, sampling rate, channel
// mode, CRC, bitrate), with `channels` channels, and an output whose decoded sample 0 is
// `outputLead` samples after its first frame starts (decoder delay plus encoder delay).
struct EncodeTarget {
    const FrameTable* table = nullptr;
    int channels = 2;
    int64_t outputLead = 0;
    int maxKbps = 0;  // a lower bitrate than the source's (0: the source's)
};

// Output frames [first, first + count) of the output whose audio `audio` gives, encoded so that
// they decode in place of that audio. Each frame borrows nothing from the reservoir.
bool EncodeOutputFrames(const EncodeTarget& target, size_t first, size_t count, const OutputAudio& audio,
                        std::vector<std::vector<uint8_t>>& frames, std::string* error);

// `frame` (encoded, borrowing nothing) made to carry `borrowed` (the bytes the copied frame after
// it reads from the reservoir) at its end, grown to a higher bitrate index where its tail is too
// short. False when even the largest frame cannot hold them.
bool CarryBorrowedBytes(const FrameTable& table, std::vector<uint8_t>& frame, const std::vector<uint8_t>& borrowed);

// The crossfade of a join centred on output sample `join`: the weight of the incoming audio at
// output sample `at`, 0 before it and 1 after it (a raised cosine).
float IncomingWeight(int64_t join, int64_t crossfade, int64_t at);

// Fills the placeholder frames of every smooth join of `plan` (of `source`, walked into
// `table`), decoding only a few source frames around each. Where the reservoir bytes of the
// frame after them do not fit, that frame is encoded anew as well. False with `error` when the
// source cannot be decoded or encoded.
bool EncodeSmoothJoins(const std::string& source, const FrameTable& table, const RenderOptions& options,
                       RenderPlan& plan, std::string* error);
