#include "analysis/syncsearch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <unistd.h>

int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset) {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, out + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

namespace {

bool IsLayer3SecondByte(unsigned char b) { return b == 0xFA || b == 0xFB; }

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
        pendingFF = false;
        const unsigned char* begin = block.data();
        const unsigned char* end = begin + n;
        const unsigned char* p = begin;
        while (p < end) {
            p = static_cast<const unsigned char*>(std::memchr(p, 0xFF, static_cast<size_t>(end - p)));
            if (p == nullptr) break;
            if (p + 1 == end) {
                pendingFF = true;
                break;
            }
            if (IsLayer3SecondByte(p[1])) {
                result.offset = offset + (p - begin);
                return result;
            }
            ++p;
        }
        offset += got;
    }
    return result;
}
