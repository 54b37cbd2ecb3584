#include "mpeg/framescan.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/descriptor.h"
#include "mpeg/id3v2size.h"

namespace {

// Frames needed after a candidate before it is believed to start the stream: a sync word in junk
// or tag data is rarely followed by further headers at exactly the right distances.
constexpr int kConfirmFirst = 3;
constexpr int kConfirmResync = 2;
constexpr size_t kBlockBytes = size_t{256} << 10;  // stays in cache between the copy and the walk
constexpr size_t kHistoryBytes = size_t{16} << 10;  // more than a few of the longest frames

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t LittleEndian32(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

bool SameStream(const MpegHeader& a, const MpegHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// A window of the file, refilled in large blocks so the walk costs about one sequential read.
class BlockReader {
public:
    BlockReader(int fd, int64_t size)
        : fd_(fd), size_(size), buf_(static_cast<size_t>(std::clamp<int64_t>(size, 16, kBlockBytes))) {}

    // Bytes [pos, pos + n) when they all lie below `limit`, else nullptr.
    const uint8_t* At(int64_t pos, size_t n, int64_t limit) {
        limit = std::min(limit, size_);
        if (pos < 0 || n > buf_.size() || pos > limit || static_cast<int64_t>(n) > limit - pos)
            return nullptr;
        if (pos < start_ || pos + static_cast<int64_t>(n) > start_ + static_cast<int64_t>(len_)) {
            // Moving on, keep a little of what was there: the walk looks ahead at the next
            // header before it comes back for the rest of the current frame.
            int64_t from = pos;
            if (pos > start_ && buf_.size() >= 2 * kHistoryBytes && n <= buf_.size() - kHistoryBytes)
                from = std::max(start_, pos - static_cast<int64_t>(kHistoryBytes));
            if (!Fill(from) || pos + static_cast<int64_t>(n) > start_ + static_cast<int64_t>(len_)) return nullptr;
        }
        return buf_.data() + (pos - start_);
    }

    // Position of the next byte 0xFF in [from, limit), or -1.
    int64_t FindFF(int64_t from, int64_t limit) {
        limit = std::min(limit, size_);
        while (from < limit) {
            size_t want = static_cast<size_t>(std::min<int64_t>(limit - from, static_cast<int64_t>(buf_.size())));
            const uint8_t* p = At(from, 1, limit);
            if (!p) return -1;
            size_t avail = std::min(want, static_cast<size_t>(start_ + static_cast<int64_t>(len_) - from));
            const void* hit = std::memchr(p, 0xFF, avail);
            if (hit) return from + (static_cast<const uint8_t*>(hit) - p);
            from += static_cast<int64_t>(avail);
        }
        return -1;
    }

    bool failed() const { return failed_; }

private:
    bool Fill(int64_t pos) {
        start_ = pos;
        len_ = 0;
        size_t want = static_cast<size_t>(std::min<int64_t>(size_ - pos, static_cast<int64_t>(buf_.size())));
        while (len_ < want) {
            const int64_t got = ReadAt(fd_, buf_.data() + len_, want - len_, pos + static_cast<int64_t>(len_));
            if (got <= 0) {
                failed_ = true;
                return false;
            }
            len_ += static_cast<size_t>(got);
        }
        return true;
    }

    int fd_;
    int64_t size_;
    std::vector<uint8_t> buf_;
    int64_t start_ = 0;
    size_t len_ = 0;
    bool failed_ = false;
};

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// ID3v2 tags at the start (some files carry more than one); sizes are capped at the file.
int64_t LeadingTagBytes(BlockReader& reader, int64_t fileSize) {
    int64_t pos = 0;
    for (;;) {
        const uint8_t* h = reader.At(pos, mdlID3::kID3v2HeaderSize, fileSize);
        const int64_t bytes = h ? mdlID3::ID3v2TagBytes({h, mdlID3::kID3v2HeaderSize}) : 0;
        if (bytes == 0) return pos;
        const int64_t end = pos + bytes;
        // A size pointing past the end is broken; search for frames after the header instead.
        if (end > fileSize) return pos + mdlID3::kID3v2HeaderSize;
        pos = end;
    }
}

// ID3v1, APE and Lyrics3 v2 tags at the end, in any order; returns where they begin.
int64_t TrailingTagsStart(BlockReader& reader, int64_t audioStart, int64_t fileSize, FrameTable& table) {
    int64_t end = fileSize;
    for (bool found = true; found;) {
        found = false;
        if (end - 128 >= audioStart) {
            const uint8_t* t = reader.At(end - 128, 3, fileSize);
            if (t && std::memcmp(t, "TAG", 3) == 0) {
                table.hasId3v1 = true;
                end -= 128;
                found = true;
                continue;
            }
        }
        if (end - 32 >= audioStart) {
            const uint8_t* f = reader.At(end - 32, 32, fileSize);
            if (f && std::memcmp(f, "APETAGEX", 8) == 0) {
                int64_t size = LittleEndian32(f + 12);
                int64_t total = size + ((LittleEndian32(f + 20) & 0x80000000u) ? 32 : 0);
                if (size >= 32 && total <= end - audioStart) {
                    table.hasApe = true;
                    end -= total;
                    found = true;
                    continue;
                }
            }
        }
        if (end - 15 >= audioStart) {
            const uint8_t* f = reader.At(end - 15, 15, fileSize);
            if (f && std::memcmp(f + 6, "LYRICS200", 9) == 0) {
                int64_t size = 0;
                bool digits = true;
                for (int i = 0; i < 6; ++i) {
                    if (f[i] < '0' || f[i] > '9') digits = false;
                    size = size * 10 + (f[i] - '0');
                }
                if (digits && size + 15 <= end - audioStart) {
                    end -= size + 15;
                    found = true;
                    continue;
                }
            }
        }
        if (end - 10 >= audioStart) {
            const uint8_t* f = reader.At(end - 10, 10, fileSize);
            const int64_t bytes = f ? mdlID3::ID3v2AppendedTagBytes({f, 10}) : 0;
            if (bytes != 0 && bytes <= end - audioStart) {
                end -= bytes;
                found = true;
            }
        }
    }
    return end;
}

bool HeaderAt(BlockReader& reader, int64_t pos, int64_t limit, MpegHeader& header) {
    const uint8_t* b = reader.At(pos, 4, limit);
    return b && DecodeMpegHeader(b, header);
}

// The frame at `pos` is followed by `needed` frames of the same stream, or its chain of frames
// ends exactly at `limit`.
bool Confirmed(BlockReader& reader, int64_t pos, const MpegHeader& first, int needed, int64_t limit) {
    int64_t next = pos + first.length;
    for (int i = 0; i < needed; ++i) {
        if (next == limit) return true;
        MpegHeader h;
        if (!HeaderAt(reader, next, limit, h) || !SameStream(first, h)) return false;
        next += h.length;
    }
    return next <= limit;
}

// Next believable frame start in [from, limit); `like` (when given) is the stream to match.
int64_t FindFrame(BlockReader& reader, int64_t from, int64_t limit, const MpegHeader* like, int needed,
                  MpegHeader& found, bool* freeFormat) {
    for (int64_t pos = from; pos < limit;) {
        int64_t ff = reader.FindFF(pos, limit);
        if (ff < 0) return -1;
        const uint8_t* b = reader.At(ff, 4, limit);
        if (!b) return -1;
        if ((b[1] & 0xE0) == 0xE0) {
            MpegHeader h;
            if (DecodeMpegHeader(b, h)) {
                if ((!like || SameStream(*like, h)) && Confirmed(reader, ff, h, needed, limit)) {
                    found = h;
                    return ff;
                }
            } else if (freeFormat && (b[2] & 0xF0) == 0) {
                uint8_t probe[4] = {b[0], b[1], static_cast<uint8_t>(b[2] | 0x10), b[3]};
                if (DecodeMpegHeader(probe, h)) *freeFormat = true;
            }
        }
        pos = ff + 1;
    }
    return -1;
}

// The walk over the frames after the first one. Each header is decoded once: the header after a
// frame both confirms that frame and is the next one to take.
class FrameWalk {
public:
    FrameWalk(BlockReader& reader, const MpegHeader& first, int64_t limit, FrameTable& table)
        : reader_(reader), first_(first), limit_(limit), table_(table) {}

    // Walks from `pos` to the end of the audio, or until `stopFrames` frames are in the table.
    // False when `progress` cancelled it.
    bool Run(int64_t pos, size_t stopFrames, const ScanProgress& progress);

private:
    // A header of the stream whose whole frame lies before the end of the audio.
    bool HeaderAt(int64_t at, MpegHeader& h);
    // The next believable frame start after junk or damage, or -1.
    int64_t ResyncFrom(int64_t from);
    // Adds the frame at `pos` to the table; false when its bytes cannot be read.
    bool Append(int64_t pos, const MpegHeader& h);

    // A stream uses few distinct headers; decoded ones are kept by bitrate, frequency and
    // padding, and reused when the bytes that matter (all but mode extension, copyright,
    // original and emphasis) are the same.
    struct Decoded {
        uint32_t key = 0;
        MpegHeader header;
    };

    BlockReader& reader_;
    const MpegHeader first_;
    const int64_t limit_;
    FrameTable& table_;
    std::array<Decoded, 128> decoded_{};
    // The next frame found from a position is also the next one from any later position up to
    // it; remembering it keeps long stretches of junk from being searched again and again.
    int64_t searchedFrom_ = -1;
    int64_t searchResult_ = -1;
};

bool FrameWalk::HeaderAt(int64_t at, MpegHeader& h) {
    const uint8_t* b = reader_.At(at, 4, limit_);
    if (!b) return false;
    const uint32_t key = BigEndian32(b) & 0xFFFFFFC0u;
    Decoded& slot = decoded_[b[2] >> 1];
    if (slot.key == key) {
        h = slot.header;
    } else {
        if (!DecodeMpegHeader(b, h)) return false;
        slot.key = key;
        slot.header = h;
    }
    return SameStream(first_, h) && h.length <= limit_ - at;
}

int64_t FrameWalk::ResyncFrom(int64_t from) {
    if (searchedFrom_ < 0 || from < searchedFrom_ || (searchResult_ >= 0 && from > searchResult_)) {
        searchedFrom_ = from;
        MpegHeader next;
        searchResult_ = FindFrame(reader_, from, limit_, &first_, kConfirmResync, next, nullptr);
    }
    return searchResult_;
}

bool FrameWalk::Append(int64_t pos, const MpegHeader& h) {
    const uint8_t* b = reader_.At(pos, 8, limit_);
    if (!b) return false;
    MpegFrame f;
    f.offset = pos;
    f.header = BigEndian32(b);
    f.length = static_cast<uint16_t>(h.length);
    if (h.layer == 3) {
        const uint8_t* m = b + (h.crc ? 6 : 4);
        f.mainDataBegin = h.version == MpegVersion::Mpeg1 ? static_cast<uint16_t>((m[0] << 1) | (m[1] >> 7)) : m[0];
    }
    if (!table_.frames.empty() && f.bitrateIndex() != table_.frames.front().bitrateIndex())
        table_.variableBitrate = true;
    table_.frames.push_back(f);
    return true;
}

bool FrameWalk::Run(int64_t pos, size_t stopFrames, const ScanProgress& progress) {
    const int64_t span = std::max<int64_t>(1, limit_ - table_.audioStart);
    const int64_t step = std::max<int64_t>(span / 100, 1 << 20);
    int64_t nextReport = table_.audioStart + step;
    table_.frames.reserve(static_cast<size_t>(std::min<int64_t>(span / 100 + 16, 1 << 22)));
    table_.audioEnd = pos;
    MpegHeader h;
    bool have = HeaderAt(pos, h);
    while (pos < limit_) {
        if (pos >= nextReport && progress) {
            if (!progress(static_cast<double>(pos - table_.audioStart) / static_cast<double>(span))) return false;
            nextReport = pos + step;
        }
        if (!have) {
            // Out of step: junk, a damaged frame or a cut-off last frame.
            const int64_t resync = ResyncFrom(pos + 1);
            if (resync < 0) break;
            table_.junkBytes += resync - pos;
            pos = resync;
            have = HeaderAt(pos, h);
            continue;
        }
        const int64_t end = pos + h.length;
        MpegHeader after;
        const bool afterOk = end < limit_ && HeaderAt(end, after);
        if (!afterOk && end != limit_) {
            // Junk that happens to start with a header, or a good frame before a damaged one:
            // junk is given away by a real frame starting inside it.
            const int64_t resync = ResyncFrom(pos + 1);
            if (resync >= 0 && resync < end) {
                table_.junkBytes += resync - pos;
                pos = resync;
                have = HeaderAt(pos, h);
                continue;
            }
        }
        if (!Append(pos, h)) break;
        pos = end;
        table_.audioEnd = pos;
        h = after;
        have = afterOk;
        if (table_.frames.size() >= stopFrames && pos < limit_) {
            table_.complete = false;
            break;
        }
    }
    return true;
}

bool Scan(const std::string& path, double stopSeconds, FrameTable& table, std::string* error,
          const ScanProgress& progress) {
    table = FrameTable{};
    const FileDescriptor file = OpenFile(path, O_RDONLY);
    if (!file.IsOpen()) return Fail(error, ErrorText("Cannot open " + path, errno));
    struct stat st {};
    if (fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(error, path + " is not a regular file");
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const int64_t fileSize = st.st_size;
    table.fileSize = fileSize;
    BlockReader reader(file.get(), fileSize);

    table.id3v2Bytes = LeadingTagBytes(reader, fileSize);
    const int64_t limit = TrailingTagsStart(reader, table.id3v2Bytes, fileSize, table);
    table.tagsStart = limit;

    bool freeFormat = false;
    MpegHeader first;
    int64_t pos = FindFrame(reader, table.id3v2Bytes, limit, nullptr, kConfirmFirst, first, &freeFormat);
    if (reader.failed()) return Fail(error, "Cannot read " + path);
    if (pos < 0) {
        return Fail(error, freeFormat ? "Free-format MPEG audio is not supported"
                                      : "No MPEG audio frames in " + path);
    }
    table.audioStart = pos;
    table.sampleRate = first.sampleRate;
    table.samplesPerFrame = first.samples;
    table.version = first.version;
    table.layer = first.layer;
    // Two frames beyond the one at stopSeconds: the caller can tell that one is not the last.
    const double stopAt = std::ceil((stopSeconds * first.sampleRate - 1e-6) / first.samples) + 2;
    const size_t stopFrames = stopAt < 1e15 ? static_cast<size_t>(std::max(0.0, stopAt)) : SIZE_MAX;

    if (const uint8_t* whole = reader.At(pos, first.length, limit);
        whole && ParseVbrHeader({whole, first.length}, first, pos, table.vbr)) {
        pos += first.length;
    }

    FrameWalk walk(reader, first, limit, table);
    if (!walk.Run(pos, stopFrames, progress)) return Fail(error, "Cancelled");
    if (reader.failed()) return Fail(error, "Cannot read " + path);
    if (table.frames.empty()) return Fail(error, "No MPEG audio frames in " + path);
    if (progress && !progress(1.0)) return Fail(error, "Cancelled");

    table.totalSamples = static_cast<uint64_t>(table.frames.size()) * table.samplesPerFrame;
    table.durationSeconds = static_cast<double>(table.totalSamples) / table.sampleRate;
    return true;
}

}  // namespace

bool ScanFrames(const std::string& path, FrameTable& table, std::string* error, const ScanProgress& progress) {
    return Scan(path, HUGE_VAL, table, error, progress);
}

bool ScanFramesUntil(const std::string& path, double seconds, FrameTable& table, std::string* error,
                     const ScanProgress& progress) {
    return Scan(path, std::isnan(seconds) ? HUGE_VAL : seconds, table, error, progress);
}

bool HoldsMpegAudio(const std::string& path, std::string* error) {
    // The search for the first frame confirms it; the walk stops right after it.
    FrameTable table;
    return Scan(path, 0.0, table, error, {});
}

size_t FrameIndexAtSeconds(const FrameTable& table, double seconds) {
    if (table.frames.empty() || !(seconds > 0)) return 0;
    // Frame i starts at sample i * samplesPerFrame; a hair of tolerance keeps a time computed
    // from a frame's own start on that frame.
    const double sample = seconds * table.sampleRate - 1e-6;
    const double index = std::ceil(sample / table.samplesPerFrame);
    if (!(index < static_cast<double>(table.frames.size()))) return table.frames.size();
    return static_cast<size_t>(std::max(0.0, index));
}

double ScanDurationSeconds(const std::string& path) {
    FrameTable table;
    if (!ScanFrames(path, table)) return 0.0;
    return table.durationSeconds;
}
