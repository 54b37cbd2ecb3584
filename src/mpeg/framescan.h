#pragma once
// Exact walk over the MPEG audio frames of a file: every frame header decoded, lengths followed,
// playing time summed from the samples per frame. Header layout after ISO/IEC 11172-3 and
// ISO/IEC 13818-3 (plus the unofficial MPEG-2.5 extension).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mpeg/mpegheader.h"
#include "mpeg/vbrheader.h"

// One audio frame. Version, layer, sampling rate and samples per frame are the table's (a stream
// keeps them); the rest is read from the header word.
struct MpegFrame {
    int64_t offset = 0;
    uint32_t header = 0;         // the four header bytes, big-endian
    uint16_t length = 0;
    uint16_t mainDataBegin = 0;  // Layer III: bytes of main data taken from earlier frames

    bool crc() const { return (header & 0x00010000u) == 0; }
    uint8_t channelMode() const { return static_cast<uint8_t>((header >> 6) & 3); }
    uint8_t bitrateIndex() const { return static_cast<uint8_t>((header >> 12) & 0x0F); }
};

struct FrameTable {
    int64_t fileSize = 0;
    int64_t id3v2Bytes = 0;   // leading ID3v2 tag(s), footers included
    int64_t audioStart = 0;   // first frame, the Xing/Info/VBRI frame included
    int64_t audioEnd = 0;     // end of the last whole frame
    int64_t tagsStart = 0;    // where trailing tags begin (file size when there are none)
    bool hasId3v1 = false;
    bool hasApe = false;
    int64_t junkBytes = 0;    // skipped between audioStart and audioEnd
    VbrHeader vbr;
    std::vector<MpegFrame> frames;  // audio frames only, the VBR header frame excluded
    MpegVersion version = MpegVersion::Mpeg1;
    uint8_t layer = 0;
    bool variableBitrate = false;   // the audio frames use more than one bitrate
    bool complete = true;           // false when ScanFramesUntil stopped before the end
    uint32_t sampleRate = 0;
    uint32_t samplesPerFrame = 0;
    uint64_t totalSamples = 0;
    double durationSeconds = 0.0;
};

// Fraction done in 0..1; return false to cancel the scan.
using ScanProgress = std::function<bool(double fraction)>;

// Walks every frame of the file. False when the file cannot be read, holds no MPEG audio frames
// or the scan was cancelled; `error` then says which.
bool ScanFrames(const std::string& path, FrameTable& table, std::string* error = nullptr,
                const ScanProgress& progress = {});

// ScanFrames that stops a few frames after the one starting at `seconds`, for callers that only
// need the start of the file; `complete` tells whether it reached the end anyway. The totals
// then describe the frames walked.
bool ScanFramesUntil(const std::string& path, double seconds, FrameTable& table, std::string* error = nullptr,
                     const ScanProgress& progress = {});

// True when the file holds MPEG audio: a frame header followed by further headers at exactly
// the right distances (or a chain of frames that ends with the audio), as a decoder asks before
// it trusts a sync word. A sync word in noise or in another format is not enough. `error` says
// why not.
bool HoldsMpegAudio(const std::string& path, std::string* error = nullptr);

// Index of the first frame whose start time is at or after `seconds` (frames.size() when none).
size_t FrameIndexAtSeconds(const FrameTable& table, double seconds);

// Playing time in seconds from walking every frame; 0 when the file has no MPEG audio frames.
double ScanDurationSeconds(const std::string& path);
