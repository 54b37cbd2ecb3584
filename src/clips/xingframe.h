#pragma once
// A fresh Xing/Info frame with a LAME tag in front of audio frames copied from a source: the
// frame and byte counts, the seek table, and the encoder delay and padding that gapless decoders
// (mpg123, libavcodec) trust. Shared by everything that writes frames of a source anew.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "mpeg/framescan.h"

// mpg123 and libavcodec both drop encoder delay + 528 + 1 samples at the start of a stream with
// a LAME tag, and end it encoder padding - 529 samples early: the 529 samples their synthesis
// lags behind the encoder's input.
inline constexpr int kDecoderDelay = 528 + 1;
inline constexpr int kMaxTagDelay = 4095;  // 12-bit fields of the LAME tag

struct XingFrameFields {
    bool vbr = false;          // "Xing" rather than "Info"
    uint32_t frames = 0;       // audio frames behind the header frame
    uint32_t streamBytes = 0;  // the header frame and the audio frames behind it
    uint16_t delay = 0;
    uint16_t padding = 0;
    uint16_t musicCrc = 0;     // LameCrc16 of the audio frames
    std::array<uint8_t, kXingTocSize> toc{};
};

// The header of the Xing/Info frame in front of audio frames like `model` of `table`: without
// CRC, at a bitrate whose frame holds the Xing fields and the LAME tag (the stream's own bitrate
// for a constant one, so the file stays constant; otherwise the smallest that fits). Returns the
// frame's length, 0 when none fits.
uint32_t XingFrameHeader(const FrameTable& table, const MpegFrame& model, bool vbr, uint8_t header[4]);

// The seek table: entry i is the byte position of the frame at i % of the playing time, in 1/256
// of the stream. `frameStart(i)` is where audio frame i starts, counted from the header frame.
std::array<uint8_t, kXingTocSize> XingToc(uint32_t frames, uint32_t streamBytes,
                                          const std::function<uint64_t(uint32_t)>& frameStart);

// The whole header frame. The LAME tag of a LAME source is kept (its peak and ReplayGain
// cleared: they were measured on the whole source), otherwise a minimal one is made.
std::vector<uint8_t> XingFrame(const FrameTable& table, const MpegFrame& model, const XingFrameFields& fields);
