#pragma once
// The four-byte MPEG audio frame header (ISO/IEC 11172-3 2.4.1.3, ISO/IEC 13818-3, and the
// unofficial MPEG 2.5): its bit fields, and the frame they describe.
#include <cstddef>
#include <cstdint>

enum class MpegVersion : uint8_t { Mpeg1, Mpeg2, Mpeg25 };

// The header's bit fields as coded, nothing looked up or checked.
struct MpegHeaderBits {
    uint16_t sync = 0;           // 11 bits, all set in a frame header
    uint8_t versionBits = 0;     // 3 MPEG 1, 2 MPEG 2, 0 MPEG 2.5, 1 reserved
    uint8_t layerBits = 0;       // 3 Layer I, 2 Layer II, 1 Layer III, 0 reserved
    bool protectionBit = false;  // clear: a 16-bit CRC follows the header
    uint8_t bitrateIndex = 0;    // 0 free format, 15 invalid
    uint8_t rateIndex = 0;       // 3 reserved
    bool paddingBit = false;
    bool privateBit = false;
    uint8_t mode = 0;            // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    uint8_t modeExtension = 0;
    bool copyright = false;
    bool original = false;
    uint8_t emphasis = 0;        // 0 none, 1 50/15 us, 2 reserved, 3 CCITT J.17
};

inline constexpr uint8_t kMonoMode = 3;

MpegHeaderBits SplitMpegHeader(const uint8_t* bytes);
// First byte FF and the next three sync bits set.
bool HasFrameSync(const uint8_t* bytes);

// One decoded header.
struct MpegHeader {
    MpegVersion version = MpegVersion::Mpeg1;
    uint8_t layer = 0;         // 1, 2 or 3
    bool crc = false;          // protection bit clear: a 16-bit CRC follows the header
    bool padding = false;
    uint8_t channelMode = 0;   // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    uint16_t bitrateKbps = 0;
    uint32_t sampleRate = 0;
    uint32_t length = 0;       // whole frame in bytes, header included
    uint32_t samples = 0;      // per channel
};

// False for a missing sync, a reserved version, layer or frequency, bitrate index 15, and free
// format (bitrate index 0), whose frame length cannot be known from the header.
bool DecodeMpegHeader(const uint8_t* bytes, MpegHeader& header);
// 1 for MPEG 1, 2 for MPEG 2, 3 for MPEG 2.5; 0 for the reserved code.
int MpegVersionNumber(uint8_t versionBits);
// 1 to 3; 0 for the reserved code.
int MpegLayerNumber(uint8_t layerBits);
// Samples per channel in one frame of the given version number and layer.
uint32_t SamplesPerFrame(int versionNumber, int layer);
// Size of the Layer III side information that follows the header (and its CRC).
uint32_t Layer3SideInfoSize(MpegVersion version, uint8_t channelMode);
