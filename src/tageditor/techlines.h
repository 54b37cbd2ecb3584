#pragma once
// The one-line texts under "Additional Information" for a file's technical data.
#include <QString>

#include "id3/mpeginfo.h"

namespace tageditor {

struct TechnicalLines {
    QString mpeg;         // lblMPEG
    QString length;       // lblLen
    QString bitrate;      // lblkBit
    QString frequency;    // lblFreq
    QString copyrighted;  // lblCopy
    QString original;     // lblOrig
    QString checksums;    // lblCRC
    QString emphasis;     // lblEmphasis
    QString v1;           // lblv1Vers
    QString v2;           // lblv2Vers
};

TechnicalLines DescribeMpegInfo(const mdlID3::MpegInfo& info);

}  // namespace tageditor
