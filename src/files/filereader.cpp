#include "files/filereader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mdlID3 {

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const std::string& path) {
    Close();
    if (path.empty()) return false;
    // O_NONBLOCK so that opening a FIFO by mistake cannot block; only regular files are kept.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<int64_t>(st.st_size);
    return true;
}

void FileReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

size_t FileReader::ReadAt(int64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    if (fd_ >= 0 && offset >= 0) {
        while (done < out.size()) {
            ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + static_cast<int64_t>(done)));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), uint8_t{0});
    return done;
}

bool FileReader::ReadExact(int64_t offset, std::span<uint8_t> out) const {
    return ReadAt(offset, out) == out.size();
}

std::vector<uint8_t> FileReader::ReadUpTo(int64_t offset, int64_t count) const {
    if (offset < 0 || count <= 0 || offset >= size_) return {};
    std::vector<uint8_t> data(static_cast<size_t>(std::min(count, size_ - offset)));
    data.resize(ReadAt(offset, data));
    return data;
}

bool ClearReadOnly(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (st.st_mode & S_IWUSR) return true;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

}  // namespace mdlID3
