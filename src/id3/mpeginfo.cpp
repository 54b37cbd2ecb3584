#include "id3/mpeginfo.h"

#include <array>
#include <optional>
#include <vector>

#include "files/bytereader.h"
#include "files/filereader.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "mpeg/mpegtables.h"
#include "mpeg/rounding.h"

namespace mdlID3 {
namespace {

using FrameHeader = std::array<uint8_t, 4>;

constexpr const char* kModeTexts[4] = {"Stereo", "Joint stereo", "Dual channel", "Mono"};

uint32_t BigEndian32(std::span<const uint8_t> bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
           bytes[at + 3];
}

// The first position at or after `start` where 11 sync bits begin, with its four header bytes.
// Reads in blocks; the positions examined are the same as one 4-byte read per position.
std::optional<std::pair<int64_t, FrameHeader>> FindSync(const FileReader& file, int64_t start) {
    constexpr int64_t kBlock = 64 * 1024;
    std::vector<uint8_t> block;
    for (int64_t base = start; base + 4 <= file.Size(); base += kBlock) {
        block = file.ReadUpTo(base, kBlock + 3);
        for (size_t i = 0; i + 4 <= block.size() && i < static_cast<size_t>(kBlock); ++i) {
            if (block[i] == 0xFF && (block[i + 1] & 0xE0) == 0xE0)
                return std::pair{base + static_cast<int64_t>(i), FrameHeader{block[i], block[i + 1], block[i + 2], block[i + 3]}};
        }
        if (block.size() < 4) break;
    }
    return std::nullopt;
}

// Fills the MPEG fields from the header at `s`; true when bitrate and length could be worked out.
bool ReadFrameData(const FileReader& file, int64_t s, const FrameHeader& h, MpegInfo& info) {
    int versionBits = (h[1] >> 3) & 3;
    int layerBits = (h[1] >> 1) & 3;
    if (versionBits == 1 || layerBits == 0) return false;
    int version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 3;
    int layer = 4 - layerBits;
    static const char* const kVersionTexts[4] = {"", "version 1", "version 2", "version 2.5"};
    info.VersionText = std::string(kVersionTexts[version]) + " layer " + std::to_string(layer);
    info.UsesChecksums = (h[1] & 1) == 0;
    int mode = h[3] >> 6;
    info.ModeText = kModeTexts[mode];
    const int rateIndex = (h[2] >> 2) & 3;
    info.Frequency = rateIndex == 3 ? 0 : static_cast<int32_t>(mpegtables::kSampleRates[version - 1][rateIndex]);
    info.IsCopyrighted = (h[3] & 0x08) != 0;
    info.IsOriginal = (h[3] & 0x04) != 0;
    info.UsesEmphasis = (h[3] & 0x03) != 0;
    int samplesPerFrame = layer == 1 ? 384 : layer == 2 ? 1152 : (version == 1 ? 1152 : 576);

    // Xing/Info sit after the side information; VBRI always 32 bytes after the header.
    uint32_t frames = 0;
    uint32_t bytes = 0;
    int sideInfo = version == 1 ? (mode == 3 ? 17 : 32) : (mode == 3 ? 9 : 17);
    std::array<uint8_t, 16> xing{};
    file.ReadAt(s + 4 + sideInfo, xing);
    bool infoHeader = false;
    if ((StartsWith(xing, "Xing") || StartsWith(xing, "Info")) && (xing[7] & 1)) {
        frames = BigEndian32(xing, 8);
        if (xing[7] & 2) bytes = BigEndian32(xing, 12);
        infoHeader = StartsWith(xing, "Info");
    }
    std::array<uint8_t, 18> vbri{};
    file.ReadAt(s + 36, vbri);
    if (StartsWith(vbri, "VBRI")) {
        bytes = BigEndian32(vbri, 10);
        frames = BigEndian32(vbri, 14);
        infoHeader = false;
    }

    info.IsVbr = frames != 0 && bytes != 0;
    info.HasInfoHeader = info.IsVbr && infoHeader;
    info.Bitrate = 0;
    info.Length = 0;
    if (info.Frequency == 0) return false;
    if (info.IsVbr) {
        info.Bitrate = RoundHalfEvenToInt32(double(bytes) / frames / samplesPerFrame / 125.0 * info.Frequency);
        info.Length = RoundHalfEvenToInt32(double(frames) / info.Frequency * samplesPerFrame);
        return true;
    }
    const int32_t kbps = mpegtables::BitrateKbps(version == 1, layer, h[2] >> 4);
    if (kbps == 0) return false;
    info.Bitrate = kbps;
    info.Length = RoundHalfEvenToInt32(double(file.Size() - s) / (kbps * 125.0));
    return true;
}

}  // namespace

bool ReadMpegInfo(const std::string& path, MpegInfo& info) {
    FileReader file;
    if (!file.Open(path) || file.Size() < 4) return false;
    bool result = false;
    if (auto sync = FindSync(file, GetID3v2TagSize(file, 0))) result = ReadFrameData(file, sync->first, sync->second, info);

    info.ID3v1Minor = -1;
    std::array<uint8_t, kID3v1Size> v1{};
    if (file.Size() >= kID3v1Size && file.ReadExact(file.Size() - kID3v1Size, v1) && StartsWith(v1, "TAG"))
        info.ID3v1Minor = (v1[125] == 0 && v1[126] != 0) ? 1 : 0;
    info.ID3v2Major = -1;
    std::array<uint8_t, 4> start{};
    file.ReadAt(0, start);
    if (StartsWith(start, "ID3")) info.ID3v2Major = start[3];
    info.FileSize = file.Size();
    return result;
}

}  // namespace mdlID3
