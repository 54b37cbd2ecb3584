#include "mpeg/framescan.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mpeg/mpegtables.h"

namespace {

using mpegtables::kBitratesKbps;
using mpegtables::kSampleRates;

// Frame lengths without padding, [version][layer - 1][bitrate index][frequency index], so that
// the walk needs no division per frame.
struct FrameLengths {
    uint16_t bytes[3][3][16][3];
};

constexpr FrameLengths MakeFrameLengths() {
    FrameLengths t{};
    for (int v = 0; v < 3; ++v)
        for (int layer = 1; layer <= 3; ++layer)
            for (int b = 0; b < 16; ++b)
                for (int r = 0; r < 3; ++r) {
                    const uint32_t bps = kBitratesKbps[v == 0 ? 0 : 1][layer - 1][b] * 1000u;
                    const uint32_t rate = kSampleRates[v][r];
                    uint32_t length = layer == 1 ? 12 * bps / rate * 4
                                      : (layer == 2 || v == 0) ? 144 * bps / rate
                                                               : 72 * bps / rate;
                    t.bytes[v][layer - 1][b][r] = static_cast<uint16_t>(length);
                }
    return t;
}

constexpr FrameLengths kFrameLengths = MakeFrameLengths();

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
            ssize_t got = pread(fd_, buf_.data() + len_, want - len_, pos + static_cast<int64_t>(len_));
            if (got < 0 && errno == EINTR) continue;
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

class FileHandle {
public:
    explicit FileHandle(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileHandle() {
        if (fd_ >= 0) close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// ID3v2 tags at the start (some files carry more than one); sizes are capped at the file.
int64_t LeadingTagBytes(BlockReader& reader, int64_t fileSize) {
    int64_t pos = 0;
    for (;;) {
        const uint8_t* h = reader.At(pos, 10, fileSize);
        if (!h || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF ||
            ((h[6] | h[7] | h[8] | h[9]) & 0x80))
            return pos;
        int64_t size = (int64_t{h[6]} << 21) | (int64_t{h[7]} << 14) | (int64_t{h[8]} << 7) | h[9];
        int64_t end = pos + 10 + size + ((h[3] >= 4 && (h[5] & 0x10)) ? 10 : 0);
        // A size pointing past the end is broken; search for frames after the header instead.
        if (end > fileSize) return pos + 10;
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
            if (f && std::memcmp(f, "3DI", 3) == 0 && !((f[6] | f[7] | f[8] | f[9]) & 0x80)) {
                int64_t size = (int64_t{f[6]} << 21) | (int64_t{f[7]} << 14) | (int64_t{f[8]} << 7) | f[9];
                if (size + 20 <= end - audioStart) {
                    end -= size + 20;
                    found = true;
                }
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

// Recognises a Xing/Info/VBRI frame; `frame` holds the whole frame.
bool ParseVbrHeader(const uint8_t* frame, const MpegHeader& h, int64_t offset, VbrHeader& vbr) {
    if (h.layer != 3) return false;
    const size_t len = h.length;
    size_t x = 4 + (h.crc ? 2 : 0) + Layer3SideInfoSize(h.version, h.channelMode);
    if (x + 8 <= len && (std::memcmp(frame + x, "Xing", 4) == 0 || std::memcmp(frame + x, "Info", 4) == 0)) {
        vbr.kind = frame[x] == 'X' ? VbrHeader::Kind::Xing : VbrHeader::Kind::Info;
        vbr.offset = offset;
        vbr.length = h.length;
        vbr.tagOffset = static_cast<uint32_t>(x);
        uint32_t flags = BigEndian32(frame + x + 4);
        size_t p = x + 8;
        if ((flags & 1) && p + 4 <= len) {
            vbr.hasFrames = true;
            vbr.frames = BigEndian32(frame + p);
            p += 4;
        }
        if ((flags & 2) && p + 4 <= len) {
            vbr.hasBytes = true;
            vbr.bytes = BigEndian32(frame + p);
            p += 4;
        }
        if ((flags & 4) && p + 100 <= len) {
            vbr.hasToc = true;
            std::memcpy(vbr.toc.data(), frame + p, 100);
            p += 100;
        }
        if ((flags & 8) && p + 4 <= len) {
            vbr.hasQuality = true;
            vbr.quality = BigEndian32(frame + p);
            p += 4;
        }
        if (p + 36 <= len) {
            const uint8_t* l = frame + p;
            if (std::memcmp(l, "LAME", 4) == 0 || std::memcmp(l, "Lavf", 4) == 0 ||
                std::memcmp(l, "Lavc", 4) == 0) {
                vbr.hasLame = true;
                std::memcpy(vbr.lameBytes.data(), l, vbr.lameBytes.size());
                vbr.encoder.assign(reinterpret_cast<const char*>(l), 9);
                vbr.lameRevision = l[9] >> 4;
                vbr.vbrMethod = l[9] & 0x0F;
                vbr.encoderDelay = static_cast<uint16_t>((l[21] << 4) | (l[22] >> 4));
                vbr.encoderPadding = static_cast<uint16_t>(((l[22] & 0x0F) << 8) | l[23]);
                vbr.musicLength = BigEndian32(l + 28);
                vbr.musicCrc = static_cast<uint16_t>((l[32] << 8) | l[33]);
                vbr.tagCrc = static_cast<uint16_t>((l[34] << 8) | l[35]);
                vbr.tagCrcValid = LameCrc16(frame, p + 34) == vbr.tagCrc;
            }
        }
        return true;
    }
    // VBRI (Fraunhofer) always sits 32 bytes after the header.
    if (36 + 26 <= len && std::memcmp(frame + 36, "VBRI", 4) == 0) {
        vbr.kind = VbrHeader::Kind::Vbri;
        vbr.offset = offset;
        vbr.length = h.length;
        vbr.tagOffset = 36;
        vbr.hasBytes = true;
        vbr.bytes = BigEndian32(frame + 36 + 10);
        vbr.hasFrames = true;
        vbr.frames = BigEndian32(frame + 36 + 14);
        return true;
    }
    return false;
}

}  // namespace

bool DecodeMpegHeader(const uint8_t* b, MpegHeader& h) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
    const int versionBits = (b[1] >> 3) & 3;
    const int layerBits = (b[1] >> 1) & 3;
    const int bitrateIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    h.version = versionBits == 3 ? MpegVersion::Mpeg1 : versionBits == 2 ? MpegVersion::Mpeg2 : MpegVersion::Mpeg25;
    h.layer = static_cast<uint8_t>(4 - layerBits);
    h.crc = (b[1] & 1) == 0;
    h.padding = (b[2] & 2) != 0;
    h.channelMode = b[3] >> 6;
    const int v = static_cast<int>(h.version);
    h.bitrateKbps = mpegtables::BitrateKbps(v == 0, h.layer, bitrateIndex);
    h.sampleRate = kSampleRates[v][rateIndex];
    h.samples = h.layer == 1 ? 384 : (h.layer == 2 || v == 0) ? 1152 : 576;
    h.length = kFrameLengths.bytes[v][h.layer - 1][bitrateIndex][rateIndex] +
               (h.padding ? (h.layer == 1 ? 4 : 1) : 0);
    return true;
}

uint32_t Layer3SideInfoSize(MpegVersion version, uint8_t channelMode) {
    const bool mono = channelMode == 3;
    if (version == MpegVersion::Mpeg1) return mono ? 17 : 32;
    return mono ? 9 : 17;
}

uint16_t LameCrc16(const uint8_t* data, size_t size, uint16_t crc) {
    // Eight bytes a step ("slicing by 8"): t[k][b] is the CRC of byte b followed by k zero bytes,
    // so the eight lookups of a step are independent. Clips are checked over every audio byte.
    static const auto t = [] {
        std::array<std::array<uint16_t, 256>, 8> table{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            table[0][i] = static_cast<uint16_t>(c);
        }
        for (size_t k = 1; k < 8; ++k)
            for (unsigned i = 0; i < 256; ++i)
                table[k][i] = static_cast<uint16_t>((table[k - 1][i] >> 8) ^ table[0][table[k - 1][i] & 0xFF]);
        return table;
    }();
    size_t i = 0;
    for (; size - i >= 8; i += 8) {
        const uint8_t* p = data + i;
        const unsigned x = crc ^ (p[0] | (unsigned{p[1]} << 8));
        crc = static_cast<uint16_t>(t[7][x & 0xFF] ^ t[6][x >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^
                                    t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    }
    for (; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFF]);
    return crc;
}

namespace {

bool Scan(const std::string& path, double stopSeconds, FrameTable& table, std::string* error,
          const ScanProgress& progress) {
    table = FrameTable{};
    FileHandle file(path);
    if (file.fd() < 0) return Fail(error, "Cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(error, path + " is not a regular file");
    posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const int64_t fileSize = st.st_size;
    table.fileSize = fileSize;
    BlockReader reader(file.fd(), fileSize);

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
        whole && ParseVbrHeader(whole, first, pos, table.vbr)) {
        pos += first.length;
    }

    const int64_t span = std::max<int64_t>(1, limit - table.audioStart);
    const int64_t step = std::max<int64_t>(span / 100, 1 << 20);
    int64_t nextReport = table.audioStart + step;
    table.frames.reserve(static_cast<size_t>(std::min<int64_t>(span / 100 + 16, 1 << 22)));
    table.audioEnd = pos;
    // The next frame found from a position is also the next one from any later position up to
    // it; remembering it keeps long stretches of junk from being searched again and again.
    int64_t searchedFrom = -1, searchResult = -1;
    MpegHeader next;
    auto resyncFrom = [&](int64_t from) {
        if (searchedFrom < 0 || from < searchedFrom || (searchResult >= 0 && from > searchResult)) {
            searchedFrom = from;
            searchResult = FindFrame(reader, from, limit, &first, kConfirmResync, next, nullptr);
        }
        return searchResult;
    };
    // Each header is decoded once: the header after a frame both confirms that frame and is the
    // next one to take.
    // A stream uses few distinct headers; decoded ones are kept by bitrate, frequency and
    // padding, and reused when the bytes that matter (all but mode extension, copyright,
    // original and emphasis) are the same.
    struct Decoded {
        uint32_t key = 0;
        MpegHeader header;
    };
    std::array<Decoded, 128> decoded{};
    auto headerAt = [&](int64_t at, MpegHeader& h) {
        const uint8_t* b = reader.At(at, 4, limit);
        if (!b) return false;
        const uint32_t key = ((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]) &
                             0xFFFFFFC0u;
        Decoded& slot = decoded[b[2] >> 1];
        if (slot.key == key) {
            h = slot.header;
        } else {
            if (!DecodeMpegHeader(b, h)) return false;
            slot.key = key;
            slot.header = h;
        }
        return SameStream(first, h) && h.length <= limit - at;
    };
    MpegHeader h;
    bool have = headerAt(pos, h);
    while (pos < limit) {
        if (pos >= nextReport && progress) {
            if (!progress(static_cast<double>(pos - table.audioStart) / static_cast<double>(span)))
                return Fail(error, "Cancelled");
            nextReport = pos + step;
        }
        if (have) {
            const int64_t end = pos + h.length;
            MpegHeader after;
            const bool afterOk = end < limit && headerAt(end, after);
            bool take = afterOk || end == limit;
            if (!take) {
                // Junk that happens to start with a header, or a good frame before a damaged
                // one: junk is given away by a real frame starting inside it.
                const int64_t resync = resyncFrom(pos + 1);
                take = resync < 0 || resync >= end;
                if (!take) {
                    table.junkBytes += resync - pos;
                    pos = resync;
                    have = headerAt(pos, h);
                    continue;
                }
            }
            const uint8_t* b = reader.At(pos, 8, limit);
            if (!b) break;
            MpegFrame f;
            f.offset = pos;
            f.header = BigEndian32(b);
            f.length = static_cast<uint16_t>(h.length);
            if (h.layer == 3) {
                const uint8_t* m = b + (h.crc ? 6 : 4);
                f.mainDataBegin = h.version == MpegVersion::Mpeg1 ? static_cast<uint16_t>((m[0] << 1) | (m[1] >> 7))
                                                                  : m[0];
            }
            if (!table.frames.empty() && f.bitrateIndex() != table.frames.front().bitrateIndex())
                table.variableBitrate = true;
            table.frames.push_back(f);
            pos = end;
            table.audioEnd = pos;
            h = after;
            have = afterOk;
            if (table.frames.size() >= stopFrames && pos < limit) {
                table.complete = false;
                break;
            }
            continue;
        }
        // Out of step: junk, a damaged frame or a cut-off last frame.
        const int64_t resync = resyncFrom(pos + 1);
        if (resync < 0) break;
        table.junkBytes += resync - pos;
        pos = resync;
        have = headerAt(pos, h);
    }
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
