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

bool WriteAt(int fd, const void* data, size_t count, int64_t offset) {
    const auto* in = static_cast<const uint8_t*>(data);
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, in, count, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        in += n;
        count -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t count) {
    const auto* in = static_cast<const uint8_t*>(data);
    while (count > 0) {
        const ssize_t n = ::write(fd, in, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        in += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

std::string ErrorText(const std::string& what, int err) {
    return err ? what + ": " + std::strerror(err) : what;
}
