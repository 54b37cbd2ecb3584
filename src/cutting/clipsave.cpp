#include "cutting/clipsave.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/rounding.h"

namespace {

constexpr size_t kChunkBytes = 1 << 20;

void RemoveAll(std::string& text, const std::string& what) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.erase(at, what.size());
}

std::string SystemError(const std::string& what, int err) {
    return what + ": " + std::strerror(err);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FsyncPath(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

// Permission bits for the clip: those of the file it replaces, else what a new file gets.
mode_t ClipMode(const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the result.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

}  // namespace

double StartMark(double rate, double positionSeconds) {
    double mark = rate * positionSeconds;
    return mark == 0 ? 100 : mark;
}

double EndMark(double rate, double positionSeconds) { return rate * positionSeconds; }

std::string ClipNameStart(const std::string& fileTitle) {
    std::string title = fileTitle;
    RemoveAll(title, ".mp3");
    RemoveAll(title, ".MP3");
    RemoveAll(title, ".");
    return "Trimbel_" + title;
}

std::string DefaultClipName(const std::string& fileTitle, const std::string& dateTimeText) {
    std::string stamp = dateTimeText;
    RemoveAll(stamp, ":");
    RemoveAll(stamp, "/");
    RemoveAll(stamp, " ");
    return ClipNameStart(fileTitle) + stamp + ".mp3";
}

bool ClipByteRange(double curStart, double curDuration, int64_t fileSize, ClipBytes* range,
                   std::string* error) {
    int64_t start = RoundHalfEvenToInt64(curStart);
    int64_t length = RoundHalfEvenToInt64(curDuration);
    if (start < 1) {
        *error = "The selection starts before the first byte of the file.";
        return false;
    }
    if (length < 1) {
        *error = "The selection holds no bytes of the file.";
        return false;
    }
    if (start > fileSize) {
        *error = "The selection starts after the end of the file.";
        return false;
    }
    range->offset = start - 1;
    range->length = std::min(length, fileSize - range->offset);
    return true;
}

bool SaveClip(const std::string& source, const std::string& target, double curStart,
              double curDuration, const ClipFinisher& finish, std::string* error) {
    namespace fs = std::filesystem;
    std::string ignored;
    if (!error) error = &ignored;
    if (target.empty()) {
        *error = "No file name was given for the clip.";
        return false;
    }
    std::error_code ec;
    if (fs::exists(target, ec) && fs::equivalent(source, target, ec)) {
        *error = "The clip cannot be saved over the file it is cut from. Please choose another name.";
        return false;
    }

    FdCloser in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        *error = SystemError("Cannot open " + source, errno);
        return false;
    }
    struct stat st;
    if (::fstat(in.get(), &st) != 0) {
        *error = SystemError("Cannot read " + source, errno);
        return false;
    }
    ClipBytes range;
    if (!ClipByteRange(curStart, curDuration, st.st_size, &range, error)) return false;

    fs::path targetPath(target);
    fs::path folder = targetPath.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + targetPath.filename().string() + "-XXXXXX.mp3")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FdCloser out(::mkostemps(name.data(), 4, O_CLOEXEC));
    if (out.get() < 0) {
        *error = SystemError("Cannot create the clip in " + folder.string(), errno);
        return false;
    }
    const std::string temp(name.data());
    auto fail = [&](const std::string& what, int err) {
        *error = err ? SystemError(what, err) : what;
        ::unlink(temp.c_str());
        return false;
    };

    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(kChunkBytes, range.length)));
    int64_t done = 0;
    while (done < range.length) {
        size_t want = static_cast<size_t>(std::min<int64_t>(buffer.size(), range.length - done));
        ssize_t got = ::pread(in.get(), buffer.data(), want, range.offset + done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail("Cannot read " + source, errno);
        if (got == 0) return fail("The file " + source + " became shorter while the clip was copied", 0);
        if (!WriteAll(out.get(), buffer.data(), static_cast<size_t>(got)))
            return fail("Cannot write the clip", errno);
        done += got;
    }
    if (::fchmod(out.get(), ClipMode(target)) != 0) return fail("Cannot set the clip's permissions", errno);
    if (::fsync(out.get()) != 0) return fail("Cannot write the clip", errno);
    if (!out.Close()) return fail("Cannot write the clip", errno);

    if (finish) {
        std::string reason;
        if (!finish(temp, &reason)) return fail(reason.empty() ? "The clip's tags could not be written" : reason, 0);
        // The finisher may have rewritten the file; make sure its bytes are on disk too.
        if (!FsyncPath(temp, O_RDONLY)) return fail("Cannot write the clip", errno);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail("Cannot save the clip as " + target, errno);
    FsyncPath(folder.string(), O_RDONLY | O_DIRECTORY);
    return true;
}
