#pragma once
// Layer III side information (ISO/IEC 11172-3 2.4.1.7, ISO/IEC 13818-3 2.4.1.7): where a frame's
// main data begins in the bit reservoir, how long it is, and the per-granule fields that frame
// editors change in place (global_gain). Read through a bounds-checked bit cursor.
#include <cstddef>
#include <cstdint>
#include <span>

#include "mpeg/mpegheader.h"

// One granule of one channel.
struct GranuleChannel {
    uint16_t part23Length = 0;  // bits of scale factors and Huffman data
    uint16_t bigValues = 0;
    uint8_t globalGain = 0;
    uint16_t scalefacCompress = 0;  // 4 bits in MPEG 1, 9 in MPEG 2 and 2.5
    bool windowSwitching = false;
    uint8_t blockType = 0;
    uint32_t globalGainBit = 0;  // bit offset of global_gain from the start of the frame
};

struct Layer3SideInfo {
    MpegVersion version = MpegVersion::Mpeg1;
    uint16_t mainDataBegin = 0;  // bytes before this frame's main data area where its data starts
    uint8_t granules = 0;        // 2 in MPEG 1, 1 in MPEG 2 and 2.5
    uint8_t channels = 0;
    uint32_t headerBytes = 0;    // header, CRC and side information: where the main data area starts
    GranuleChannel gr[2][2]{};   // [granule][channel]

    // The frame's main data in bits, all granules and channels.
    uint32_t MainDataBits() const;
    // The same in whole bytes: the decoder reads this many from the reservoir.
    uint32_t MainDataBytes() const { return (MainDataBits() + 7) / 8; }
};

// The side information of the Layer III frame `frame` (its bytes from the header on). False when
// the header is no Layer III header or the bytes end before the side information does.
bool ParseLayer3SideInfo(std::span<const uint8_t> frame, Layer3SideInfo& info);

// Bytes of a Layer III frame of `version` and `channelMode` before its main data area.
uint32_t Layer3HeaderBytes(MpegVersion version, uint8_t channelMode, bool crc);

// The CRC-16 of a protected Layer III frame (ISO/IEC 11172-3 2.4.3.1): over the header's last two
// bytes and the side information, polynomial 0x8005, all ones to start. False when `frame`
// has no CRC or is too short.
bool Layer3Crc(std::span<const uint8_t> frame, uint16_t& crc);
