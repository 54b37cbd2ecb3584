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

class Decoder;

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

// Output frames [first, end) to encode anew for a join at raw output sample `rawJoin` (counted
// from the first frame's start) with a crossfade of `crossfade` samples centred on it. Before the
// crossfade they leave room for the granule in which the copied frame before them and the first
// of them overlap, and for the synthesis filter's reach; after it for the filter's reach into the
// first copied frame. At most kSmoothJoinFrames unless the crossfade itself needs more.
struct SmoothFrames {
    int64_t first = 0, end = 0;
};
SmoothFrames SmoothJoinFrames(int64_t rawJoin, int64_t samplesPerFrame, int64_t crossfade);

// EncodeOutputFrames, with the last frame made to carry the reservoir bytes of frame `nextFrame`
// of `nextTable` (read from the descriptor `nextFile`) that follows them; no such frame when
// `nextTable` is null. Where those bytes do not fit, the frames are encoded at a lower bitrate.
// True with `carried` false when they fit at none.
bool EncodeJoinFrames(EncodeTarget target, size_t first, size_t count, const OutputAudio& audio,
                      const FrameTable* nextTable, int nextFile, size_t nextFrame,
                      std::vector<std::vector<uint8_t>>& frames, bool& carried, std::string* error);

// Decoded samples [from, from + count) of `decoder`'s stream of `total` samples, interleaved;
// silence outside them.
bool DecodeSpan(Decoder& decoder, int64_t total, int64_t from, int64_t count, std::vector<float>& out,
                std::string* error);

// The crossfade of a join centred on output sample `join`: the weight of the incoming audio at
// output sample `at`, 0 before it and 1 after it (a raised cosine).
float IncomingWeight(int64_t join, int64_t crossfade, int64_t at);
// Mixes two interleaved stretches of `channels` channels that both play from output sample
// `from` by that crossfade into `mixed`.
void MixCrossfade(const std::vector<float>& outgoing, const std::vector<float>& incoming, size_t channels,
                  int64_t join, int64_t crossfade, int64_t from, std::vector<float>& mixed);

// Fills the placeholder frames of every smooth join of `plan` (of `source`, walked into
// `table`), decoding only a few source frames around each. Where the reservoir bytes of the
// frame after them do not fit, that frame is encoded anew as well. False with `error` when the
// source cannot be decoded or encoded.
bool EncodeSmoothJoins(const std::string& source, const FrameTable& table, const RenderOptions& options,
                       RenderPlan& plan, std::string* error);
