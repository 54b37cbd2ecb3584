#pragma once
// The one-line texts under "Additional Information" for a file's technical data.
#include <cstdint>
#include <span>
#include <string>

#include "id3/mpeginfo.h"

struct TechnicalLines {
    std::string mpeg;         // lblMPEG
    std::string length;       // lblLen
    std::string bitrate;      // lblkBit
    std::string frequency;    // lblFreq
    std::string copyrighted;  // lblCopy
    std::string original;     // lblOrig
    std::string checksums;    // lblCRC
    std::string emphasis;     // lblEmphasis
    std::string v1;           // lblv1Vers
    std::string v2;           // lblv2Vers
    std::string replayGain;   // lblReplayGain: empty when the tag holds no ReplayGain values
};

TechnicalLines DescribeMpegInfo(const mdlID3::MpegInfo& info);
// The ReplayGain values of a leading ID3v2 tag's user text frames, as players read them:
// "ReplayGain: track -6.20 dB, peak 0.988831; album -5.10 dB, peak 1.000000". Empty for none.
std::string ReplayGainLine(std::span<const uint8_t> tag);
// The same from the file at `path`.
std::string ReplayGainLineOf(const std::string& path);
