#pragma once
// The first frame of many streams holds no audio but describes the stream: the Xing header
// ("Xing" marks a variable bitrate, "Info" a constant one; LAME and libavcodec put their tag
// behind it) or Fraunhofer's VBRI header.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "mpeg/mpegheader.h"

// Xing flags: which optional fields follow the flags, in this order.
inline constexpr uint32_t kXingHasFrames = 0x1;
inline constexpr uint32_t kXingHasBytes = 0x2;
inline constexpr uint32_t kXingHasToc = 0x4;
inline constexpr uint32_t kXingHasQuality = 0x8;
inline constexpr uint32_t kXingAllFields = kXingHasFrames | kXingHasBytes | kXingHasToc | kXingHasQuality;
inline constexpr size_t kXingTocSize = 100;
// Marker, flags, frames, bytes, TOC, quality: the Xing fields with every flag set.
inline constexpr size_t kXingFullSize = 4 + 4 + 4 + 4 + kXingTocSize + 4;

// The LAME tag behind the Xing fields: offsets within its 36 bytes.
namespace lametag {
inline constexpr size_t kVersion = 0;          // 9 bytes of text, e.g. "LAME3.100"
inline constexpr size_t kVersionSize = 9;
inline constexpr size_t kRevisionMethod = 9;   // tag revision (high nibble), VBR method (low)
inline constexpr size_t kPeakAndGain = 11;     // peak amplitude and the two ReplayGain fields
inline constexpr size_t kPeakAndGainSize = 8;
inline constexpr size_t kBitrate = 20;         // ABR/CBR bitrate, or the VBR minimum
inline constexpr size_t kDelayPadding = 21;    // 12-bit encoder delay, 12-bit padding
inline constexpr size_t kMusicLength = 28;     // bytes of the stream, this frame included
inline constexpr size_t kMusicCrc = 32;        // CRC-16 of the audio frames
inline constexpr size_t kTagCrc = 34;          // CRC-16 of the frame up to here
inline constexpr size_t kSize = 36;
}  // namespace lametag

// VBRI sits 32 bytes after the frame header whatever the mode; offsets within it.
inline constexpr size_t kVbriOffset = 36;
inline constexpr size_t kVbriBytes = 10;
inline constexpr size_t kVbriFrames = 14;
inline constexpr size_t kVbriFixedSize = 26;

// The Xing/Info/VBRI frame at the start of the stream and the LAME extension inside it.
struct VbrHeader {
    enum class Kind { None, Xing, Info, Vbri };
    Kind kind = Kind::None;
    int64_t offset = -1;
    uint32_t length = 0;     // of the whole header frame
    uint32_t tagOffset = 0;  // of the "Xing"/"Info"/"VBRI" marker inside the frame
    bool hasFrames = false;
    uint32_t frames = 0;
    bool hasBytes = false;
    uint32_t bytes = 0;
    bool hasToc = false;
    std::array<uint8_t, kXingTocSize> toc{};
    bool hasQuality = false;
    uint32_t quality = 0;

    // A LAME tag (or one written by libavcodec in the same layout) that decoders honour.
    bool hasLame = false;
    std::array<uint8_t, lametag::kSize> lameBytes{};  // the tag as stored
    std::string encoder;     // 9 bytes as stored
    uint8_t lameRevision = 0;
    uint8_t vbrMethod = 0;
    uint16_t encoderDelay = 0;
    uint16_t encoderPadding = 0;
    uint32_t musicLength = 0;
    uint16_t musicCrc = 0;
    uint16_t tagCrc = 0;
    bool tagCrcValid = false;
};

// Where the Xing marker sits in a Layer III frame: after the header, its CRC and the side
// information.
size_t XingOffset(MpegVersion version, uint8_t channelMode, bool crc);

// The Xing/Info fields whose marker is at `at` of `frame` (the frame from its header on), and a
// LAME tag behind them. Each field is taken only when `frame` holds all of it. False (and `vbr`
// untouched) without a marker and its flags.
bool ParseXing(std::span<const uint8_t> frame, size_t at, VbrHeader& vbr);
// The VBRI counts; false (and `vbr` untouched) without the marker and its fixed fields.
bool ParseVbri(std::span<const uint8_t> frame, VbrHeader& vbr);
// A whole Layer III frame, decoded as `h` and found at file `offset`, as a Xing/Info or VBRI
// frame; false for an audio frame.
bool ParseVbrHeader(std::span<const uint8_t> frame, const MpegHeader& h, int64_t offset, VbrHeader& vbr);

// CRC-16 as used by the LAME tag (polynomial 0x8005, reflected, initial value 0).
uint16_t LameCrc16(const uint8_t* data, size_t size, uint16_t crc = 0);
