#pragma once
// The search for the first MPEG-1 Layer III frame start (FF FA or FF FB), read in blocks but
// answering exactly as a byte-by-byte walk would.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "files/descriptor.h"

inline constexpr size_t kSyncBlockBytes = 64 * 1024;


struct SyncSearchResult {
    bool ioError = false;
    // 0-based offset of the FF byte of the first FF FA / FF FB pair within the first `size` bytes.
    std::optional<int64_t> offset;
};

// A pair whose FF is the `size`-th byte has nothing after it and is not a frame start.
SyncSearchResult FindFirstFrameSync(int fd, int64_t size, size_t blockBytes = kSyncBlockBytes);
