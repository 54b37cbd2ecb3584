#pragma once
// The fresh Xing/Info frame (with a LAME tag) put in front of whole frames copied from MPEG
// Layer III streams: clips, split parts and joins. Its frame and byte counts, seek table, CRC of
// the audio, encoder delay and padding describe exactly the frames behind it.
#include <cstdint>
#include <functional>
#include <vector>

#include "mpeg/mpegheader.h"
#include "mpeg/vbrheader.h"

struct InfoFrameSpec {
    MpegVersion version = MpegVersion::Mpeg1;
    uint32_t modelHeader = 0;   // header word of the first audio frame behind it
    bool vbr = false;           // "Xing" rather than "Info"
    uint32_t frames = 0;        // audio frames behind it
    uint32_t streamBytes = 0;   // the Info frame and the audio frames
    std::function<uint32_t(uint32_t index)> frameLength;  // of audio frame `index`, from 0
    const VbrHeader* source = nullptr;  // the stream the frames came from (its LAME tag), or null
    uint32_t delay = 0;         // 12-bit fields
    uint32_t padding = 0;
    uint16_t musicCrc = 0;      // LameCrc16 over the audio frames
};

// Header word of the Info frame for a stream whose first audio frame has `modelHeader`: the same
// version, rate and mode, no CRC, at a bitrate whose frame holds the Xing fields and the LAME tag
// (the stream's own for a constant bitrate, so the file stays constant; else the smallest that
// fits). Returns the frame length, 0 when none fits.
uint32_t InfoFrameHeader(MpegVersion version, uint32_t modelHeader, bool vbr, uint8_t header[4]);

// The whole Info frame, InfoFrameHeader long.
std::vector<uint8_t> BuildInfoFrame(const InfoFrameSpec& spec);
