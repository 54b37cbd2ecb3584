#pragma once
// Which frames of a source a clean clip takes, and the LAME delay and padding that make gapless
// decoders (mpg123, libavcodec) give exactly the chosen samples of the source's decoded audio:
// the delay hides the lead frames and the samples of the first frame before the start, the
// padding those of the last frame after the end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mpeg/framescan.h"

// Samples of the source's frame timeline before its first decoded sample: its encoder delay and
// the decoder's 529. A source without a LAME tag counts as one whose delay is 0: every clip
// carries a tag, so decoders drop their warm-up from a clip of its start too.
uint64_t SourceLead(const FrameTable& table);

// Samples a gapless decoder gives for the frames walked into `table`; the source's own padding
// counts only when the walk reached the end.
uint64_t SourceDecodedSamples(const FrameTable& table);

// A frame made up in front of a clip's first source frame that holds, at the end of its main
// data area, the bit-reservoir bytes that frame borrows; its own granules are empty (silence).
struct ReservoirCarrier {
    uint32_t header = 0;    // no CRC; the bitrate index the smallest that holds the bytes
    uint32_t length = 0;
    uint32_t carried = 0;   // bytes at its end, from the main data areas before the frame after it
};

struct ClipLayout {
    size_t from = 0;         // first source frame written (the lead frames come first)
    size_t first = 0;        // the frame that holds the first sample
    size_t to = 0;           // one past the last frame written
    ReservoirCarrier carrier;  // written before `from` when its length is not 0
    uint32_t delay = 0;      // for the LAME tag
    uint32_t padding = 0;
    uint64_t start = 0;      // the source's decoded samples [start, end) that the clip gives
    uint64_t end = 0;
    bool exactStart = true;  // false: moved to the nearest frame start (see PlanClipLayout)

    bool Empty() const { return to <= from || end <= start; }
    uint64_t Samples() const { return end > start ? end - start : 0; }
    // Audio frames of the clip, the carrier included.
    size_t Frames() const { return to - from + (carrier.length ? 1 : 0); }
    // Frames before `first`, the carrier included.
    size_t LeadFrames() const { return first - from + (carrier.length ? 1 : 0); }
};

// The clip of decoded samples [start, end) of the source walked into `table` (`end` is clamped
// to its audio). The frames before the first one whose granules overlap into it are written
// whole and hidden by the delay; the bit-reservoir bytes the first of them borrows come in a
// carrier frame before it, or where none can hold them, in the source frames that hold them.
// When the 12-bit delay field cannot hide the lead frames plus the offset of `start` inside its
// frame, the clip starts on the frame start nearest to `start` instead and `exactStart` is
// false. Empty when no audio is left.
ClipLayout PlanClipLayout(const FrameTable& table, uint64_t start, uint64_t end);

// Where the carrier's bytes lie in the source: pieces (offset in the file, length) in stream order
// from the main data areas of the frames before `frame`, `carried` bytes in all.
struct SourcePiece {
    int64_t offset = 0;
    uint32_t length = 0;
};
std::vector<SourcePiece> CarriedPieces(const FrameTable& table, size_t frame, uint32_t carried);
