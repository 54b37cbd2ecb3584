#pragma once
// Exact walk over the MPEG audio frames of a file: every frame header decoded, lengths followed,
// playing time summed from the samples per frame. Header layout after ISO/IEC 11172-3 and
// ISO/IEC 13818-3 (plus the unofficial MPEG-2.5 extension).
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class MpegVersion : uint8_t { Mpeg1, Mpeg2, Mpeg25 };

// One decoded four-byte frame header.
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
// Size of the Layer III side information that follows the header (and its CRC).
uint32_t Layer3SideInfoSize(MpegVersion version, uint8_t channelMode);
// CRC-16 as used by the LAME tag (polynomial 0x8005, reflected, initial value 0).
uint16_t LameCrc16(const uint8_t* data, size_t size, uint16_t crc = 0);

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
    std::array<uint8_t, 100> toc{};
    bool hasQuality = false;
    uint32_t quality = 0;

    // A LAME tag (or one written by libavcodec in the same layout) that decoders honour.
    bool hasLame = false;
    std::array<uint8_t, 36> lameBytes{};  // the tag as stored
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

// Index of the first frame whose start time is at or after `seconds` (frames.size() when none).
size_t FrameIndexAtSeconds(const FrameTable& table, double seconds);

// Playing time in seconds from walking every frame; 0 when the file has no MPEG audio frames.
double ScanDurationSeconds(const std::string& path);
