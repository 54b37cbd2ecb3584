#pragma once
// The bit reservoir across a join. A Layer III frame's main data may begin up to 511 bytes (255
// in MPEG 2 and 2.5) before its own main data area, in the areas of the frames before it
// (ISO/IEC 11172-3 2.4.1.7). When a join puts other frames there, those bytes are carried in the
// frame before the join: in the tail of its area that its own main data leaves unused, or in a
// frame grown to a higher bitrate index, its own bytes untouched. The borrowed bytes then end
// exactly where the frame after the join starts its area, and it decodes as in the source.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "mpeg/framescan.h"
#include "mpeg/sideinfo.h"

// Bytes of a source frame that go into an output frame.
struct CarriedBytes {
    size_t sourceFrame = 0;     // the source frame that holds them
    uint32_t sourceOffset = 0;  // from that frame's first byte
    uint32_t length = 0;
    uint32_t outputOffset = 0;  // from the output frame's first byte

    bool operator==(const CarriedBytes&) const = default;
};

// Bytes before a Layer III frame's main data area: header, CRC and side information.
uint32_t MainDataAreaStart(const FrameTable& table, const MpegFrame& frame);

// The bytes that frame `q` of `table` borrows, as pieces of the frames before it in stream order,
// with outputOffset counted from the start of the borrowed run. A reservoir reaching before the
// first frame (a damaged stream) yields what there is, aligned to its end.
std::vector<CarriedBytes> BorrowedBytes(const FrameTable& table, size_t q);

// How the frame before a join takes `borrowed` bytes at the end of its area.
struct CarrierFit {
    uint32_t length = 0;      // the frame's length with them
    uint8_t headerByte2 = 0;  // bitrate index, frequency, padding and private bit of its header
    bool grown = false;       // a higher bitrate index than the source frame's
    uint32_t carryAt = 0;     // offset in the frame where the borrowed bytes go
};

// Where `frame` (with side information `info`) can take `borrowed` bytes behind its own main
// data: in place, or grown to the smallest frame of the same stream that holds them; nothing
// when even the largest frame cannot.
std::optional<CarrierFit> FitCarriedBytes(const FrameTable& table, const MpegFrame& frame, const Layer3SideInfo& info,
                                          uint32_t borrowed);
