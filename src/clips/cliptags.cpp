#include "clips/cliptags.h"

#include <cstring>

namespace {

bool StartsWith(std::span<const uint8_t> bytes, const char* magic) {
    const size_t n = std::strlen(magic);
    return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

}  // namespace

bool FitsOnePass(std::span<const uint8_t> firstBytes) { return !StartsWith(firstBytes, "ID3"); }

int64_t ClipTailToDrop(const ClipTags& tags, int64_t clipBytes, std::span<const uint8_t> lastBytes) {
    // A clip shorter than a tag has none. The ID3v2 tag in front does not change that: it ends in
    // at least 1025 bytes of padding, so the last 128 bytes of a short clip behind it never start
    // with "TAG" either.
    if (tags.v1 == ClipTags::V1::Keep || clipBytes < kClipV1Size ||
        lastBytes.size() < static_cast<size_t>(kClipV1Size))
        return 0;
    return StartsWith(lastBytes.last(kClipV1Size), "TAG") ? kClipV1Size : 0;
}

bool WriteClipV1(const ClipTags* tags, mdlID3::AtomicFileWriter& out) {
    return !tags || tags->v1 != ClipTags::V1::Write || out.Write(tags->v1Tag.data(), kClipV1Size);
}
