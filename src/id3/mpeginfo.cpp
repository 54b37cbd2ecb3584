#include "id3/mpeginfo.h"

#include <array>
#include <optional>
#include <vector>

#include "files/bytereader.h"
#include "files/filereader.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "mpeg/mpegheader.h"
#include "mpeg/mpegtables.h"
#include "mpeg/rounding.h"
#include "mpeg/vbrheader.h"

namespace mdlID3 {
namespace {

using FrameHeader = std::array<uint8_t, 4>;

constexpr const char* kModeTexts[4] = {"Stereo", "Joint stereo", "Dual channel", "Mono"};

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
    const MpegHeaderBits bits = SplitMpegHeader(h.data());
    const int version = MpegVersionNumber(bits.versionBits);
    const int layer = MpegLayerNumber(bits.layerBits);
    if (version == 0 || layer == 0) return false;
    static const char* const kVersionTexts[4] = {"", "version 1", "version 2", "version 2.5"};
    info.VersionText = std::string(kVersionTexts[version]) + " layer " + std::to_string(layer);
    info.UsesChecksums = !bits.protectionBit;
    info.ModeText = kModeTexts[bits.mode];
    info.Frequency = bits.rateIndex == 3 ? 0 : static_cast<int32_t>(mpegtables::kSampleRates[version - 1][bits.rateIndex]);
    info.IsCopyrighted = bits.copyright;
    info.IsOriginal = bits.original;
    info.UsesEmphasis = bits.emphasis != 0;
    const uint32_t samplesPerFrame = SamplesPerFrame(version, layer);

    // The counts of a Xing/Info header after the side information (no room is made for a CRC
    // here), or of a VBRI header, which wins over it; bytes past the end of the file read as zero.
    std::array<uint8_t, kVbriOffset + kVbriFixedSize> frame{};
    file.ReadAt(s, frame);
    const auto xingAt = XingOffset(static_cast<MpegVersion>(version - 1), bits.mode, false);
    uint32_t frames = 0;
    uint32_t bytes = 0;
    bool infoHeader = false;
    if (VbrHeader xing; ParseXing(frame, xingAt, xing) && xing.hasFrames) {
        frames = xing.frames;
        bytes = xing.hasBytes ? xing.bytes : 0;
        infoHeader = xing.kind == VbrHeader::Kind::Info;
    }
    if (VbrHeader vbri; ParseVbri(frame, vbri)) {
        bytes = vbri.bytes;
        frames = vbri.frames;
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
    const int32_t kbps = mpegtables::BitrateKbps(version == 1, layer, bits.bitrateIndex);
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
