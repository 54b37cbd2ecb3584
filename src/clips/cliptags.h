#pragma once
// Tags written into a clip while it is written: the ID3v2 tag in front of the audio and the ID3v1
// tag at its end, exactly as the tag library's writes would leave them on the finished clip, so
// the clip is copied once instead of being rebuilt for a tag that grows it.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "files/safefile.h"

// An ID3v1 tag: the last 128 bytes, starting with "TAG".
inline constexpr int kClipV1Size = 128;

struct ClipTags {
    // What happens to the ID3v1 tag that the copied bytes may end with.
    enum class V1 { Keep, Remove, Write };

    std::vector<uint8_t> v2;  // the whole tag, padding included; empty for none
    V1 v1 = V1::Keep;
    std::array<uint8_t, kClipV1Size> v1Tag{};  // the tag written with V1::Write
};

// False when the copied bytes start with an ID3v2 tag of their own: the library's write keeps
// frames of it and reuses its space, which only the write on the finished file does.
bool FitsOnePass(std::span<const uint8_t> firstBytes);

// Bytes at the end of a clip of `clipBytes` to leave out: its own ID3v1 tag, which is removed or
// replaced. `lastBytes` are the clip's last min(128, clipBytes) bytes.
int64_t ClipTailToDrop(const ClipTags& tags, int64_t clipBytes, std::span<const uint8_t> lastBytes);

// The clip's last bytes: the ID3v1 tag of `tags` (may be null) when it writes one. False when
// the write failed.
bool WriteClipV1(const ClipTags* tags, mdlID3::AtomicFileWriter& out);
