#include "files/filereader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mdlID3 {

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const std::string& path) {
    Close();
    if (path.empty()) return false;
    // O_NONBLOCK so that opening a FIFO by mistake cannot block; only regular files are kept.
    FileDescriptor file = OpenFile(path, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!file.IsOpen() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    file_ = std::move(file);
    size_ = static_cast<int64_t>(st.st_size);
    return true;
}

void FileReader::Close() {
    file_.Close();
    size_ = 0;
}

size_t FileReader::ReadAt(int64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    if (file_.IsOpen() && offset >= 0) done = static_cast<size_t>(std::max<int64_t>(0, ::ReadAt(file_.get(), out.data(), out.size(), offset)));
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
