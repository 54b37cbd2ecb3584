#pragma once
// The one-line texts under "Additional Information" for a file's technical data.
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
};

TechnicalLines DescribeMpegInfo(const mdlID3::MpegInfo& info);
