#pragma once
// ID3v2 frames and tags built from bytes.
#include <cstdint>
#include <string>

#include "support/testfiles.h"

namespace v2fixtures {

using testfiles::Bytes;

inline Bytes SyncSafe(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F), uint8_t(v & 0x7F)};
}

inline Bytes Plain32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

inline Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Encoding byte followed by the text bytes.
inline Bytes Text(uint8_t encoding, const Bytes& text) { return testfiles::Concat({{encoding}, text}); }
inline Bytes Text(const std::string& latin1) { return Text(0, Str(latin1)); }

inline Bytes Frame22(const std::string& id, const Bytes& data) {
    uint32_t n = static_cast<uint32_t>(data.size());
    return testfiles::Concat({Str(id), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)}, data});
}

inline Bytes Frame23(const std::string& id, const Bytes& data, uint8_t format = 0) {
    return testfiles::Concat({Str(id), Plain32(static_cast<uint32_t>(data.size())), {0, format}, data});
}

// `plainSize` stores the size as a plain number, as some ID3v2.4 writers wrongly do.
inline Bytes Frame24(const std::string& id, const Bytes& data, uint8_t format = 0, bool plainSize = false) {
    uint32_t n = static_cast<uint32_t>(data.size());
    return testfiles::Concat({Str(id), plainSize ? Plain32(n) : SyncSafe(n), {0, format}, data});
}

// Header + body (+ padding); with flag 0x10 on a 2.4 tag the footer follows.
inline Bytes Tag(uint8_t major, const Bytes& body, uint8_t flags = 0, size_t padding = 0) {
    Bytes padded = body;
    padded.resize(body.size() + padding, 0);
    uint32_t size = static_cast<uint32_t>(padded.size());
    Bytes out = testfiles::Concat({Str("ID3"), {major, 0, flags}, SyncSafe(size), padded});
    if (major == 4 && (flags & 0x10)) out = testfiles::Concat({out, Str("3DI"), {major, 0, flags}, SyncSafe(size)});
    return out;
}

}  // namespace v2fixtures
