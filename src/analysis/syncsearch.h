#pragma once
// Positioned reads on a POSIX descriptor and the search for the first MPEG-1 Layer III frame
// start (FF FA or FF FB), read in blocks but answering exactly as a byte-by-byte walk would.
#include <cstddef>
#include <cstdint>
#include <optional>

inline constexpr size_t kSyncBlockBytes = 64 * 1024;

// Reads up to `count` bytes at `offset`, retrying short and interrupted reads. Returns the
// number read (less than `count` only at end of file) or -1 on a read error.
int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset);

struct SyncSearchResult {
    bool ioError = false;
    // 0-based offset of the FF byte of the first FF FA / FF FB pair within the first `size` bytes.
    std::optional<int64_t> offset;
};

// A pair whose FF is the `size`-th byte has nothing after it and is not a frame start.
SyncSearchResult FindFirstFrameSync(int fd, int64_t size, size_t blockBytes = kSyncBlockBytes);
