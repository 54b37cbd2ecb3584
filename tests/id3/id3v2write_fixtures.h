#pragma once
// ID3v2 tags built from bytes, and a plain frame walker to look into what the writer made.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/testfiles.h"

namespace writefixtures {

using testfiles::Bytes;

inline Bytes SyncSafe(uint32_t v) {
    return {static_cast<uint8_t>((v >> 21) & 0x7F), static_cast<uint8_t>((v >> 14) & 0x7F),
            static_cast<uint8_t>((v >> 7) & 0x7F), static_cast<uint8_t>(v & 0x7F)};
}

inline Bytes Plain32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

// A frame of a version 2.3 (plain size) or 2.4 (sync-safe size) tag.
inline Bytes Frame(int major, const std::string& id, const Bytes& data) {
    Bytes out(id.begin(), id.end());
    Bytes size = major == 4 ? SyncSafe(static_cast<uint32_t>(data.size()))
                            : Plain32(static_cast<uint32_t>(data.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), {0, 0});
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline Bytes Frame22(const std::string& id, const Bytes& data) {
    Bytes out(id.begin(), id.end());
    auto n = static_cast<uint32_t>(data.size());
    out.insert(out.end(), {static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                           static_cast<uint8_t>(n)});
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Encoding-0 text frame content.
inline Bytes Text0(const std::string& latin1) {
    Bytes out(latin1.size() + 2, 0);
    std::copy(latin1.begin(), latin1.end(), out.begin() + 1);
    return out;
}

// A whole tag: header, the frames, then `padding` zero bytes.
inline Bytes Tag(int major, const std::vector<Bytes>& frames, size_t padding = 0) {
    Bytes body;
    for (const auto& f : frames) body.insert(body.end(), f.begin(), f.end());
    body.resize(body.size() + padding, 0);
    Bytes out{'I', 'D', '3', static_cast<uint8_t>(major), 0, 0};
    Bytes size = SyncSafe(static_cast<uint32_t>(body.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

struct WalkedFrame {
    std::string id;
    Bytes data;
    bool operator==(const WalkedFrame&) const = default;
};

// The frames of the version 2.3/2.4 tag at the start of `file` (no unsynchronisation, no extended
// header: what the writer makes and what mutagen writes by default).
inline std::vector<WalkedFrame> WalkFrames(const Bytes& file) {
    std::vector<WalkedFrame> frames;
    if (file.size() < 10 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return frames;
    const int major = file[3];
    const size_t end = 10 + ((size_t{file[6]} << 21) | (size_t{file[7]} << 14) |
                             (size_t{file[8]} << 7) | file[9]);
    size_t pos = 10;
    while (pos + 10 <= end && pos + 10 <= file.size() && file[pos] != 0) {
        size_t n = major == 4 ? ((size_t{file[pos + 4]} << 21) | (size_t{file[pos + 5]} << 14) |
                                 (size_t{file[pos + 6]} << 7) | file[pos + 7])
                              : ((size_t{file[pos + 4]} << 24) | (size_t{file[pos + 5]} << 16) |
                                 (size_t{file[pos + 6]} << 8) | file[pos + 7]);
        if (pos + 10 + n > end) break;
        frames.push_back({std::string(file.begin() + pos, file.begin() + pos + 4),
                          Bytes(file.begin() + pos + 10, file.begin() + pos + 10 + n)});
        pos += 10 + n;
    }
    return frames;
}

// Total tag size from the header at the start of `file` (0 without one).
inline size_t TagSize(const Bytes& file) {
    if (file.size() < 10 || file[0] != 'I') return 0;
    return 10 + ((size_t{file[6]} << 21) | (size_t{file[7]} << 14) | (size_t{file[8]} << 7) |
                 file[9]);
}

inline Bytes Tail(const Bytes& file, size_t from) {
    return from <= file.size() ? Bytes(file.begin() + from, file.end()) : Bytes{};
}

}  // namespace writefixtures
