#include "decode/bitrategrid.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "files/descriptor.h"
#include "mpeg/mpegheader.h"

namespace {
// Sync, version, layer, CRC, bitrate and frequency: the bits every frame of the stream shares.
constexpr uint32_t kStreamBits = 0xFFFFFC00u;
constexpr uint32_t kPaddingBit = 0x00000200u;
// Too few frames say little about the padding rule.
constexpr size_t kFitFrames = 32;

uint32_t HeaderWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
}  // namespace

std::optional<BitrateGrid> BitrateGrid::Fit(const Known& known, uint32_t header, int64_t end) {
    if (known.size() < kFitFrames || known.front().first != 0) return std::nullopt;
    const uint8_t bytes[4] = {static_cast<uint8_t>(header >> 24), static_cast<uint8_t>(header >> 16),
                              static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
    MpegHeader decoded;
    // Layer I pads in four-byte slots; free format has no fixed length.
    if (!DecodeMpegHeader(bytes, decoded) || decoded.layer == 1) return std::nullopt;
    BitrateGrid grid;
    grid.start_ = known.front().second;
    grid.header_ = header & kStreamBits;
    grid.samplesPerFrame_ = decoded.samples;
    // Bytes per frame exactly: samples / 8 * bitrate / frequency.
    const double exact = decoded.samples / 8.0 * decoded.bitrateKbps * 1000.0 / decoded.sampleRate;
    grid.length_ = static_cast<uint32_t>(std::floor(exact));
    grid.rate_ = exact - grid.length_;
    // floor(n r + c) = padded(n) for every known n: c lies in [padded - n r, padded + 1 - n r).
    double low = 0, high = 1;
    for (const auto& [n, offset] : known) {
        const int64_t padded = offset - grid.start_ - n * static_cast<int64_t>(grid.length_);
        if (n < 0 || padded < 0 || padded > n) return std::nullopt;
        low = std::max(low, padded - n * grid.rate_);
        high = std::min(high, padded + 1 - n * grid.rate_);
    }
    if (!(low < high)) return std::nullopt;
    grid.phase_ = (low + high) / 2;
    int64_t frames = static_cast<int64_t>((end - grid.start_) / exact);
    while (frames > 0 && grid.Offset(frames) > end) --frames;
    while (grid.Offset(frames + 1) <= end) ++frames;
    grid.frames_ = frames;
    return grid;
}

int64_t BitrateGrid::Offset(int64_t frame) const {
    return start_ + frame * static_cast<int64_t>(length_) + static_cast<int64_t>(std::floor(frame * rate_ + phase_));
}

bool BitrateGrid::Holds(int fd, int64_t first, int64_t last) const {
    if (first < 0 || last < first || last + 1 >= frames_) return false;
    const int64_t from = Offset(first);
    const int64_t to = Offset(last + 1) + 4;
    std::vector<uint8_t> bytes(static_cast<size_t>(to - from));
    if (ReadAt(fd, bytes.data(), bytes.size(), from) != static_cast<int64_t>(bytes.size())) return false;
    for (int64_t n = first; n <= last + 1; ++n) {
        const int64_t at = Offset(n);
        const uint32_t header = HeaderWord(bytes.data() + (at - from));
        if ((header & kStreamBits) != header_) return false;
        if (n <= last && Offset(n + 1) - at != length_ + ((header & kPaddingBit) ? 1 : 0)) return false;
    }
    return true;
}
