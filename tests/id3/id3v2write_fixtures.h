#pragma once
// A plain frame walker to look into what the writer made, and the record's fields as one list.
#include <cstdint>
#include <string>
#include <vector>

#include "id3/taginfo.h"
#include "support/testfiles.h"
#include "support/v2fixtures.h"

namespace writefixtures {

using testfiles::Bytes;
using namespace v2fixtures;

// A frame of a version 2.3 (plain size) or 2.4 (sync-safe size) tag.
inline Bytes Frame(int major, const std::string& id, const Bytes& data, uint8_t format = 0) {
    return major == 4 ? Frame24(id, data, format) : Frame23(id, data, format);
}

// A whole tag: header, the frames, then `padding` zero bytes.
inline Bytes TagOf(int major, const std::vector<Bytes>& frames, size_t padding = 0) {
    Bytes body;
    for (const auto& f : frames) body.insert(body.end(), f.begin(), f.end());
    return Tag(static_cast<uint8_t>(major), body, 0, padding);
}

// Total tag size from the header at the start of `file` (0 without one).
inline size_t TagSize(const Bytes& file) {
    if (file.size() < 10 || file[0] != 'I') return 0;
    return 10 + ((size_t{file[6]} << 21) | (size_t{file[7]} << 14) | (size_t{file[8]} << 7) | file[9]);
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
    const size_t end = TagSize(file);
    const bool syncSafe = end > 0 && file[3] == 4;
    size_t pos = 10;
    while (pos + 10 <= end && pos + 10 <= file.size() && file[pos] != 0) {
        const uint8_t* s = &file[pos + 4];
        const size_t n = syncSafe ? (size_t{s[0]} << 21) | (size_t{s[1]} << 14) | (size_t{s[2]} << 7) | s[3]
                                  : (size_t{s[0]} << 24) | (size_t{s[1]} << 16) | (size_t{s[2]} << 8) | s[3];
        if (pos + 10 + n > end) break;
        frames.push_back({std::string(file.begin() + pos, file.begin() + pos + 4),
                          Bytes(file.begin() + pos + 10, file.begin() + pos + 10 + n)});
        pos += 10 + n;
    }
    return frames;
}

inline std::vector<std::string> Ids(const std::vector<WalkedFrame>& frames) {
    std::vector<std::string> ids;
    for (const auto& f : frames) ids.push_back(f.id);
    return ids;
}

inline Bytes Tail(const Bytes& file, size_t from) {
    return from <= file.size() ? Bytes(file.begin() + from, file.end()) : Bytes{};
}

// The record's twelve texts in its order, to compare whole records at once.
inline std::vector<std::string> Fields(const mdlID3::ID3TagInfo& i) {
    return {i.Artist, i.Album,   i.Title,  i.Year,      i.Genre,    i.Comment,
            i.Track,  i.Encoder, i.LinkTo, i.Copyright, i.Composer, i.OrigArtist};
}

}  // namespace writefixtures
