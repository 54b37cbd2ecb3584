#pragma once
// Technical data of an MP3 file for the tag editor: the first MPEG audio frame header after the
// ID3v2 tag (ISO/IEC 11172-3, ISO/IEC 13818-3 and MPEG 2.5), Xing/Info/VBRI headers, tag versions.
#include <cstdint>
#include <string>

namespace mdlID3 {

struct MpegInfo {
    std::string VersionText;  // e.g. "version 1 layer 3"
    bool UsesChecksums = false;
    int32_t Bitrate = 0;  // kbit/s; 0 when unknown
    int32_t Frequency = 0;  // Hz
    bool IsVbr = false;
    // The counts behind IsVbr came from an "Info" header, which encoders write into
    // constant-bitrate files (the same layout as "Xing", which marks a variable bitrate).
    bool HasInfoHeader = false;
    std::string ModeText;  // "Stereo", "Joint stereo", "Dual channel" or "Mono"
    bool IsCopyrighted = false;
    bool IsOriginal = false;
    bool UsesEmphasis = false;
    int32_t Length = 0;  // whole seconds; 0 when unknown
    int32_t ID3v1Minor = -1;  // -1 none, 0 v1.0, 1 v1.1
    int32_t ID3v2Major = -1;  // -1 none, else the major version byte
    int64_t FileSize = 0;
};

// True when a usable frame header was found and the MPEG fields filled. The tag fields and
// FileSize are filled for every file of at least 4 bytes. A header with a free-format or invalid
// bitrate, or a reserved frequency, fills what it can, reports bitrate and length 0, and gives
// false. A file that cannot be opened or is shorter than 4 bytes leaves `info` unchanged.
bool ReadMpegInfo(const std::string& path, MpegInfo& info);

}  // namespace mdlID3
