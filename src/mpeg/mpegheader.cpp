#include "mpeg/mpegheader.h"

#include "mpeg/mpegtables.h"

namespace {

using mpegtables::kBitratesKbps;
using mpegtables::kSampleRates;

// Frame lengths without padding, [version][layer - 1][bitrate index][frequency index], so that
// the frame walk needs no division per frame.
struct FrameLengths {
    uint16_t bytes[3][3][16][3];
};

constexpr FrameLengths MakeFrameLengths() {
    FrameLengths t{};
    for (int v = 0; v < 3; ++v)
        for (int layer = 1; layer <= 3; ++layer)
            for (int b = 0; b < 16; ++b)
                for (int r = 0; r < 3; ++r) {
                    const uint32_t bps = kBitratesKbps[v == 0 ? 0 : 1][layer - 1][b] * 1000u;
                    const uint32_t rate = kSampleRates[v][r];
                    uint32_t length = layer == 1 ? 12 * bps / rate * 4
                                      : (layer == 2 || v == 0) ? 144 * bps / rate
                                                               : 72 * bps / rate;
                    t.bytes[v][layer - 1][b][r] = static_cast<uint16_t>(length);
                }
    return t;
}

constexpr FrameLengths kFrameLengths = MakeFrameLengths();

}  // namespace

MpegHeaderBits SplitMpegHeader(const uint8_t* b) {
    MpegHeaderBits f;
    f.sync = static_cast<uint16_t>((b[0] << 3) | (b[1] >> 5));
    f.versionBits = (b[1] >> 3) & 3;
    f.layerBits = (b[1] >> 1) & 3;
    f.protectionBit = (b[1] & 1) != 0;
    f.bitrateIndex = b[2] >> 4;
    f.rateIndex = (b[2] >> 2) & 3;
    f.paddingBit = (b[2] & 2) != 0;
    f.privateBit = (b[2] & 1) != 0;
    f.mode = b[3] >> 6;
    f.modeExtension = (b[3] >> 4) & 3;
    f.copyright = (b[3] & 0x08) != 0;
    f.original = (b[3] & 0x04) != 0;
    f.emphasis = b[3] & 3;
    return f;
}

bool HasFrameSync(const uint8_t* b) { return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0; }

int MpegVersionNumber(uint8_t versionBits) {
    static constexpr int kNumbers[4] = {3, 0, 2, 1};
    return kNumbers[versionBits & 3];
}

int MpegLayerNumber(uint8_t layerBits) { return layerBits == 0 ? 0 : 4 - (layerBits & 3); }

uint32_t SamplesPerFrame(int versionNumber, int layer) {
    return layer == 1 ? 384 : (layer == 2 || versionNumber == 1) ? 1152 : 576;
}

bool DecodeMpegHeader(const uint8_t* b, MpegHeader& h) {
    if (!HasFrameSync(b)) return false;
    const MpegHeaderBits f = SplitMpegHeader(b);
    const int versionNumber = MpegVersionNumber(f.versionBits);
    const int layer = MpegLayerNumber(f.layerBits);
    if (versionNumber == 0 || layer == 0 || f.bitrateIndex == 0 || f.bitrateIndex == 15 || f.rateIndex == 3)
        return false;
    const int v = versionNumber - 1;
    h.version = static_cast<MpegVersion>(v);
    h.layer = static_cast<uint8_t>(layer);
    h.crc = !f.protectionBit;
    h.padding = f.paddingBit;
    h.channelMode = f.mode;
    h.bitrateKbps = mpegtables::BitrateKbps(v == 0, layer, f.bitrateIndex);
    h.sampleRate = kSampleRates[v][f.rateIndex];
    h.samples = SamplesPerFrame(versionNumber, layer);
    h.length = kFrameLengths.bytes[v][layer - 1][f.bitrateIndex][f.rateIndex] +
               (h.padding ? (layer == 1 ? 4 : 1) : 0);
    return true;
}

uint32_t Layer3SideInfoSize(MpegVersion version, uint8_t channelMode) {
    const bool mono = channelMode == kMonoMode;
    if (version == MpegVersion::Mpeg1) return mono ? 17 : 32;
    return mono ? 9 : 17;
}
