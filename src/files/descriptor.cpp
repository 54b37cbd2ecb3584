#include "files/descriptor.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

FileDescriptor::~FileDescriptor() { Close(); }

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

bool FileDescriptor::Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
}

int FileDescriptor::Release() { return std::exchange(fd_, -1); }

FileDescriptor OpenFile(const std::string& path, int flags, mode_t mode) {
    if (path.empty()) {
        errno = ENOENT;
        return FileDescriptor();
    }
    return FileDescriptor(::open(path.c_str(), flags | O_CLOEXEC, mode));
}

int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

namespace {

// Repeats `put(bytes, count, done)` (one write() or pwrite() call) until all `count` bytes are
// written; false (errno set) on an error or a write that takes nothing.
template <typename Put>
bool PutAll(const void* data, size_t count, Put put) {
    const auto* in = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = put(in + done, count - done, done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteAt(int fd, const void* data, size_t count, int64_t offset) {
    return PutAll(data, count, [&](const uint8_t* bytes, size_t size, size_t done) {
        return ::pwrite(fd, bytes, size, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    });
}

bool WriteAll(int fd, const void* data, size_t count) {
    return PutAll(data, count, [&](const uint8_t* bytes, size_t size, size_t) { return ::write(fd, bytes, size); });
}

std::string ErrorText(const std::string& what, int err) {
    return err ? what + ": " + std::strerror(err) : what;
}
