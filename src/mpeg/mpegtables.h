#pragma once
// Bitrates and sampling frequencies of the MPEG audio frame header (ISO/IEC 11172-3 2.4.2.3,
// ISO/IEC 13818-3 2.4.2.3); MPEG 2.5 uses the MPEG 2 bitrates at a quarter of MPEG 1's rates.
#include <cstdint>

namespace mpegtables {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][bitrate index]; 0 for free format and index 15.
inline constexpr uint16_t kBitratesKbps[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

// Hz by [0 MPEG 1, 1 MPEG 2, 2 MPEG 2.5][frequency index 0..2]; index 3 is reserved.
inline constexpr uint32_t kSampleRates[3][3] = {
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

constexpr uint16_t BitrateKbps(bool mpeg1, int layer, int bitrateIndex) {
    return kBitratesKbps[mpeg1 ? 0 : 1][layer - 1][bitrateIndex];
}

}  // namespace mpegtables
