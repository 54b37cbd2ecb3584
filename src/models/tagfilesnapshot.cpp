#include "models/tagfilesnapshot.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/filereader.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "files/safefile.h"

namespace {

bool AppendBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                    ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool TruncateTo(const std::string& path, int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// True when `path` holds `bytes` at `offset` already: nothing to put back.
bool Holds(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes) {
    mdlID3::FileReader file(path);
    std::vector<uint8_t> now(bytes.size());
    return file.IsOpen() && file.ReadExact(offset, now) && now == bytes;
}

// FNV-1a over [0, size) of the file, read in chunks; nullopt when it cannot be read.
std::optional<uint64_t> HashOf(const mdlID3::FileReader& file, int64_t size) {
    uint64_t hash = 14695981039346656037ull;
    std::vector<uint8_t> chunk(1 << 20);
    for (int64_t at = 0; at < size;) {
        const auto length = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk.size()), size - at));
        if (!file.ReadExact(at, std::span<uint8_t>(chunk.data(), length))) return std::nullopt;
        for (size_t i = 0; i < length; ++i) hash = (hash ^ chunk[i]) * 1099511628211ull;
        at += static_cast<int64_t>(length);
    }
    return hash;
}

}  // namespace

bool TagFileSnapshot::Take(const std::string& path, std::string* error) {
    path_ = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *error = errno == ENOENT ? "The file does not exist." : std::string("The file cannot be read: ") + std::strerror(errno) + ".";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "It is not a file.";
        return false;
    }
    mode_ = st.st_mode & 07777;
    inode_ = st.st_ino;
    mdlID3::FileReader file(path);
    if (!file.IsOpen()) {
        *error = std::string("The file cannot be read: ") + std::strerror(errno) + ".";
        return false;
    }
    size_ = file.Size();
    tail_.clear();
    head_.clear();
    if (size_ >= mdlID3::kID3v1Size) {
        tail_.resize(mdlID3::kID3v1Size);
        if (!file.ReadExact(size_ - mdlID3::kID3v1Size, tail_)) {
            *error = "The file cannot be read.";
            return false;
        }
    }
    hadV1Tag_ = tail_.size() == mdlID3::kID3v1Size && std::memcmp(tail_.data(), "TAG", 3) == 0;
    headSize_ = mdlID3::GetID3v2TagSize(file, 0);
    if (headSize_ > kHeadKeepLimit) {
        const auto hash = HashOf(file, headSize_);
        if (!hash) {
            *error = "The file cannot be read.";
            return false;
        }
        headHash_ = *hash;
    } else if (headSize_ > 0) {
        head_ = file.ReadUpTo(0, headSize_);
        if (static_cast<int64_t>(head_.size()) != headSize_) {
            *error = "The file cannot be read.";
            return false;
        }
    }
    return true;
}

bool TagFileSnapshot::RestoreTail() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return false;
    const int64_t now = st.st_size;
    // A tag appended: cut it off again.
    if (now > size_) return TruncateTo(path_, size_);
    // A tag cut off: put it back.
    if (now < size_) return hadV1Tag_ && now == size_ - mdlID3::kID3v1Size && AppendBytes(path_, tail_);
    // Same size: a tag overwritten (perhaps half way); the old bytes go back in any case.
    const int64_t at = size_ - mdlID3::kID3v1Size;
    return tail_.empty() || Holds(path_, at, tail_) || mdlID3::WriteInPlace(path_, at, tail_);
}

bool TagFileSnapshot::RestoreHead() const {
    if (headSize_ > kHeadKeepLimit) {
        // Too big to have been kept: fine only when it is still what it was.
        mdlID3::FileReader file(path_);
        return file.IsOpen() && HashOf(file, headSize_) == headHash_;
    }
    if (head_.empty()) return true;
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0 || st.st_size != size_) return false;
    return Holds(path_, 0, head_) || mdlID3::WriteInPlace(path_, 0, head_);
}

bool TagFileSnapshot::RestoreMode() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return false;
    if ((st.st_mode & 07777) == mode_) return true;
    return ::chmod(path_.c_str(), mode_) == 0;
}

bool TagFileSnapshot::Restore() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return false;
    // Another file under the name: a rebuilt file was renamed into place, and old bytes patched
    // into it would corrupt it rather than restore anything.
    if (st.st_ino != inode_) {
        RestoreMode();
        return false;
    }
    // The tail first, so that the size is the old one again when the head goes back in place.
    bool ok = RestoreTail();
    ok = ok && RestoreHead();
    // The bits last, since putting bytes back may need the write permission the steps gave.
    return RestoreMode() && ok;
}
