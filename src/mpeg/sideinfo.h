#pragma once
// Layer III side information (ISO/IEC 11172-3 2.4.1.7; ISO/IEC 13818-3 2.4.1.7 for the lower
// sampling frequencies and MPEG 2.5): the fields that tools editing frames without decoding them
// need, and where each granule's global_gain sits, so it can be rewritten in place.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "mpeg/mpegheader.h"

// One granule of one channel.
struct GranuleChannel {
    uint16_t part2_3Length = 0;  // bits of scale factors and Huffman data in the main data
    uint16_t bigValues = 0;
    uint8_t globalGain = 0;      // quantiser step: the output scales by 2^(globalGain / 4)
    uint32_t globalGainBit = 0;  // where its 8 bits start, counted from the frame's first bit
};

struct SideInfo {
    uint16_t mainDataBegin = 0;  // bytes of main data taken from earlier frames
    uint8_t granules = 0;        // 2 in MPEG-1, 1 in MPEG-2 and 2.5
    uint8_t channels = 0;
    uint32_t offset = 0;         // first byte of the side information in the frame (4, or 6 with a CRC)
    uint32_t size = 0;           // 17 or 32 bytes (MPEG-1), 9 or 17 (MPEG-2, 2.5)
    std::array<std::array<GranuleChannel, 2>, 2> gr{};  // [granule][channel]

    // Main data bits of the whole frame: the sum of part2_3_length.
    uint32_t MainDataBits() const;
};

// Reads the side information of the Layer III frame `frame` (from its header on). Nothing when
// the header is not a valid Layer III header or the frame is too short to hold it.
std::optional<SideInfo> ParseSideInfo(std::span<const uint8_t> frame);

// `count` (at most 32) bits starting at bit `bit` of `bytes`, most significant first; nothing when
// they run past the end.
std::optional<uint32_t> ReadBits(std::span<const uint8_t> bytes, size_t bit, unsigned count);
// Writes the low `count` bits of `value` there; false (and nothing written) past the end.
bool WriteBits(std::span<uint8_t> bytes, size_t bit, unsigned count, uint32_t value);

// The frame's CRC-16 (ISO/IEC 11172-3 2.4.3.1: polynomial 0x8005, start 0xFFFF) over the last two
// header bytes and the `sideInfoSize` bytes of side information, which it protects in Layer III.
// `frame` must hold the header, the CRC and the side information.
uint16_t FrameCrc16(std::span<const uint8_t> frame, size_t sideInfoSize);
// Recomputes the CRC of a protected Layer III frame after its side information changed; true also
// for an unprotected frame (nothing to do), false when the frame is too short or not Layer III.
bool UpdateFrameCrc(std::span<uint8_t> frame);
