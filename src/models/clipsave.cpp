#include "models/clipsave.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "clips/clipfile.h"
#include "clips/cliptags.h"
#include "files/descriptor.h"
#include "files/safefile.h"
#include "mpeg/rounding.h"

namespace {

void RemoveAll(std::string& text, const std::string& what) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.erase(at, what.size());
}

// Up to `n` bytes of `fd` at `offset`; false when they cannot be read.
bool Peek(int fd, int64_t offset, size_t n, std::vector<uint8_t>& bytes) {
    bytes.resize(n);
    const int64_t got = ReadAt(fd, bytes.data(), n, offset);
    if (got < 0) return false;
    bytes.resize(static_cast<size_t>(got));
    return true;
}

// Whether the range takes `tags` in the same pass, and how much of its end is left out for them.
bool OnePass(int fd, const ClipBytes& range, const ClipTags& tags, int64_t* drop) {
    std::vector<uint8_t> first, last;
    const int64_t lastAt = range.offset + range.length - std::min<int64_t>(range.length, kClipV1Size);
    if (!Peek(fd, range.offset, 3, first) || !FitsOnePass(first) ||
        !Peek(fd, lastAt, static_cast<size_t>(range.offset + range.length - lastAt), last))
        return false;
    *drop = ClipTailToDrop(tags, range.length, last);
    return true;
}

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
              double curDuration, const ClipFinisher& finish, std::string* error, const ClipTags* tags) {
    std::string ignored;
    if (!error) error = &ignored;
    if (target.empty()) {
        *error = "No file name was given for the clip.";
        return false;
    }
    if (ClipWouldReplaceSource(source, target)) {
        *error = kClipOverSource;
        return false;
    }

    const FileDescriptor in = OpenFile(source, O_RDONLY);
    if (in.get() < 0) {
        *error = ErrorText("Cannot open " + source, errno);
        return false;
    }
    struct stat st;
    if (::fstat(in.get(), &st) != 0) {
        *error = ErrorText("Cannot read " + source, errno);
        return false;
    }
    ClipBytes range;
    if (!ClipByteRange(curStart, curDuration, st.st_size, &range, error)) return false;

    mdlID3::AtomicFileWriter out;
    if (!OpenClip(out, target, error)) return false;
    int64_t drop = 0;
    if (tags && OnePass(in.get(), range, *tags, &drop)) {
        const bool written = out.Write(tags->v2) && out.CopyRange(in.get(), range.offset, range.length - drop) &&
                             WriteClipV1(tags, out);
        if (!written) {
            *error = ClipWriteError(out, source, target);
            return false;
        }
        return CommitClip(out, {}, source, target, error);
    }
    if (!out.CopyRange(in.get(), range.offset, range.length)) {
        *error = ClipWriteError(out, source, target);
        return false;
    }
    ClipHook handOver;
    if (finish) {
        handOver = [&finish](const std::string& path, std::string* why) {
            return FinishClip(finish, path, why);
        };
    }
    return CommitClip(out, handOver, source, target, error);
}
