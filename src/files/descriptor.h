#pragma once
// POSIX file descriptors: one owner that closes them, reads and writes that retry interrupted
// and short transfers, and the text of an errno value for messages.
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/types.h>

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Closes now. Closing can report a late write error, so callers that wrote check it.
    bool Close();
    // Gives the descriptor up without closing it.
    int Release();

private:
    int fd_ = -1;
};

// open() with O_CLOEXEC added; an empty path fails.
FileDescriptor OpenFile(const std::string& path, int flags, mode_t mode = 0);

// Reads up to `count` bytes at `offset`. Returns the number read (less than `count` only at end
// of file) or -1 on a read error.
int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset);
// Writes all `count` bytes at `offset`; false (errno set) otherwise.
bool WriteAt(int fd, const void* data, size_t count, int64_t offset);
// Writes all `count` bytes at the file position; false (errno set) otherwise.
bool WriteAll(int fd, const void* data, size_t count);

// "what: reason" for an errno value; `what` alone for 0.
std::string ErrorText(const std::string& what, int err);
