#include "level/levelwrite.h"

#include <algorithm>
#include <cstring>

#include "files/filereader.h"
#include "files/safefile.h"
#include "mpeg/framescan.h"

namespace {

constexpr int64_t kChunkBytes = int64_t{1} << 20;

LevelOutcome Failed(const std::string& text) {
    LevelOutcome o;
    o.error = text;
    return o;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Where the LAME tag starts in the Xing/Info frame: behind the Xing fields its flags announce.
size_t LameTagOffset(const VbrHeader& vbr) {
    return vbr.tagOffset + 8 + (vbr.hasFrames ? 4 : 0) + (vbr.hasBytes ? 4 : 0) + (vbr.hasToc ? kXingTocSize : 0) +
           (vbr.hasQuality ? 4 : 0);
}

// The Xing/Info frame with the music CRC of the new audio, when the old one was right. Empty when
// nothing is to change.
std::vector<uint8_t> InfoFrameFor(const mdlID3::FileReader& in, const VbrHeader& vbr, uint16_t oldCrc,
                                  uint16_t newCrc, MusicCrc& state) {
    state = MusicCrc::None;
    if (!vbr.hasLame || (vbr.kind != VbrHeader::Kind::Xing && vbr.kind != VbrHeader::Kind::Info)) return {};
    std::vector<uint8_t> frame(vbr.length);
    const size_t at = LameTagOffset(vbr);
    if (!in.ReadExact(vbr.offset, frame) || at + lametag::kSize > frame.size() ||
        std::memcmp(frame.data() + at, vbr.lameBytes.data(), lametag::kSize) != 0)
        return {};
    if (vbr.musicCrc != oldCrc) {
        state = MusicCrc::Kept;
        return {};
    }
    state = MusicCrc::Updated;
    if (oldCrc == newCrc) return {};
    uint8_t* l = frame.data() + at;
    l[lametag::kMusicCrc] = static_cast<uint8_t>(newCrc >> 8);
    l[lametag::kMusicCrc + 1] = static_cast<uint8_t>(newCrc);
    if (vbr.tagCrcValid) {
        const uint16_t tagCrc = LameCrc16(frame.data(), at + lametag::kTagCrc);
        l[lametag::kTagCrc] = static_cast<uint8_t>(tagCrc >> 8);
        l[lametag::kTagCrc + 1] = static_cast<uint8_t>(tagCrc);
    }
    return frame;
}

std::string WriteError(const mdlID3::AtomicFileWriter& out, const std::string& target) {
    return "Cannot write " + target + ": " + out.Error();
}

}  // namespace

LevelOutcome WriteLevel(const FrameTable& table, const LevelWrite& job, const LevelProgress& progress) {
    mdlID3::FileReader in(job.source);
    if (!in.IsOpen()) return Failed("Cannot open " + job.source);
    if (in.Size() != table.fileSize) return Failed(job.source + " changed while it was being read");
    const int64_t headBytes = job.replaceHead ? job.headBytes : 0;
    if (headBytes < 0 || headBytes > table.audioStart) return Failed("The ID3v2 tag of " + job.source + " overlaps its audio");
    const bool inPlace = job.target == job.source;

    // A tag of the same size over the old one, the audio as it is: one write in place.
    if (!job.plan && inPlace) {
        if (!job.replaceHead) return LevelOutcome{true, {}, {}, MusicCrc::None};
        if (static_cast<int64_t>(job.head.size()) == headBytes) {
            std::string error;
            if (!mdlID3::WriteInPlace(job.source, 0, job.head, &error)) return Failed(error);
            return LevelOutcome{true, {}, {}, MusicCrc::None};
        }
    }

    mdlID3::AtomicFileWriter out;
    if (!out.Open(job.target)) return Failed(WriteError(out, job.target));
    if (job.replaceHead && !out.Write(job.head)) return Failed(WriteError(out, job.target));
    const int64_t shift = static_cast<int64_t>(job.replaceHead ? job.head.size() : 0) - headBytes;

    LevelOutcome outcome;
    uint16_t oldCrc = 0, newCrc = 0;
    const std::vector<MpegFrame>& frames = table.frames;
    std::vector<uint8_t> buf;
    size_t next = 0;
    const int64_t size = table.fileSize;
    for (int64_t pos = headBytes; pos < size;) {
        int64_t end = std::min(size, pos + kChunkBytes);
        size_t last = next;
        for (; last < frames.size() && frames[last].offset < end; ++last)
            end = std::max(end, frames[last].offset + frames[last].length);
        end = std::min(end, size);
        buf.resize(static_cast<size_t>(end - pos));
        if (!in.ReadExact(pos, buf)) return Failed("Cannot read " + job.source);
        for (size_t i = next; job.plan && i < last; ++i) {
            const MpegFrame& f = frames[i];
            if (f.offset < pos || f.offset + f.length > end) return Failed(job.source + " changed while it was being read");
            const std::span<uint8_t> frame(buf.data() + (f.offset - pos), f.length);
            if (BigEndian32(frame.data()) != f.header) return Failed(job.source + " changed while it was being read");
            oldCrc = LameCrc16(frame.data(), frame.size(), oldCrc);
            if (!PatchFrameGains(frame, i, *job.plan, outcome.count))
                return Failed("Frame " + std::to_string(i + 1) + " of " + job.source + " cannot be read");
            newCrc = LameCrc16(frame.data(), frame.size(), newCrc);
        }
        if (!out.Write(buf)) return Failed(WriteError(out, job.target));
        next = last;
        pos = end;
        if (progress) progress(static_cast<double>(pos) / static_cast<double>(size));
    }
    if (job.plan) {
        const std::vector<uint8_t> info = InfoFrameFor(in, table.vbr, oldCrc, newCrc, outcome.musicCrc);
        if (!info.empty() && !out.WriteAt(table.vbr.offset + shift, info)) return Failed(WriteError(out, job.target));
    }
    if (!out.Commit()) return Failed(WriteError(out, job.target));
    outcome.ok = true;
    return outcome;
}
