#include "analysis/syncsearch.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <unistd.h>

namespace {

bool IsLayer3SecondByte(unsigned char b) { return b == 0xFA || b == 0xFB; }

constexpr size_t kChunk = 4096;

// Whether any of the kChunk pairs starting in p[0..kChunk) is FF FA / FF FB (reads p[kChunk]).
// Branch-free over a fixed count so that the compiler vectorises it: random data has an FF about
// every 256 bytes, and stopping at each one (memchr) costs several times a plain read. The
// accumulator is byte-wide; a wider one makes the vector loop widen every byte first.
bool ChunkHasPair(const unsigned char* p) {
    unsigned char found = 0;
    for (size_t i = 0; i < kChunk; ++i)
        found |= static_cast<unsigned char>(p[i] == 0xFF) & static_cast<unsigned char>((p[i + 1] | 1) == 0xFB);
    return found != 0;
}

// 0-based index of the first pair starting in p[0..count), reading p[count]; -1 when none.
int64_t FirstPair(const unsigned char* p, size_t count) {
    size_t i = 0;
    for (; i + kChunk <= count; i += kChunk)
        if (ChunkHasPair(p + i)) break;
    for (; i < count; ++i)
        if (p[i] == 0xFF && IsLayer3SecondByte(p[i + 1])) return static_cast<int64_t>(i);
    return -1;
}

}  // namespace

SyncSearchResult FindFirstFrameSync(int fd, int64_t size, size_t blockBytes) {
    SyncSearchResult result;
    if (blockBytes == 0) blockBytes = 1;
    std::vector<unsigned char> block(blockBytes);
    int64_t offset = 0;
    // The previous block ended in FF: its partner is the first byte of this block.
    bool pendingFF = false;
    while (offset < size) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(blockBytes), size - offset));
        const int64_t got = ReadAt(fd, block.data(), want, offset);
        if (got < 0) {
            result.ioError = true;
            return result;
        }
        if (got == 0) break;  // the file shrank while we read it
        const auto n = static_cast<size_t>(got);
        if (pendingFF && IsLayer3SecondByte(block[0])) {
            result.offset = offset - 1;
            return result;
        }
        // Pairs that start in this block and end in it; the last byte waits for the next block.
        const int64_t at = FirstPair(block.data(), n - 1);
        if (at >= 0) {
            result.offset = offset + at;
            return result;
        }
        pendingFF = block[n - 1] == 0xFF;
        offset += got;
    }
    return result;
}
