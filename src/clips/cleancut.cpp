#include "clips/cleancut.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "clips/clipfile.h"
#include "clips/cliptags.h"
#include "clips/xingframe.h"
#include "files/descriptor.h"
#include "files/safefile.h"
#include "mpeg/framescan.h"

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

uint32_t MainDataBytes(const FrameTable& table, const MpegFrame& f) {
    const uint32_t overhead = 4 + (f.crc() ? 2 : 0) + Layer3SideInfoSize(table.version, f.channelMode());
    return f.length > overhead ? f.length - overhead : 0;
}

// First frame index needed so that frame `i` finds its main_data_begin bytes (ISO/IEC 11172-3,
// 2.4.1.7: they lie in the main data of the frames before it).
size_t ReservoirStart(const FrameTable& table, size_t i) {
    const std::vector<MpegFrame>& frames = table.frames;
    uint32_t need = frames[i].mainDataBegin;
    uint32_t have = 0;
    size_t j = i;
    while (have < need && j > 0) {
        --j;
        have += MainDataBytes(table, frames[j]);
    }
    return j;
}

// Hands each frame of [from, to) to `use`, reading the file in large chunks. Fails when the file
// cannot be read or a frame no longer starts with the header the scan saw (the file changed).
bool ForEachFrame(int fd, const std::vector<MpegFrame>& frames, size_t from, size_t to,
                  const std::function<bool(const uint8_t*, size_t)>& use, std::string* error) {
    std::vector<uint8_t> buf(kChunkBytes);
    int64_t bufStart = 0;
    size_t bufLen = 0;
    const int64_t rangeEnd = to > from ? frames[to - 1].offset + frames[to - 1].length : 0;
    for (size_t i = from; i < to; ++i) {
        const MpegFrame& f = frames[i];
        if (f.offset < bufStart || f.offset + f.length > bufStart + static_cast<int64_t>(bufLen)) {
            bufStart = f.offset;
            bufLen = 0;
            const size_t want = static_cast<size_t>(std::min<int64_t>(rangeEnd - f.offset, static_cast<int64_t>(buf.size())));
            if (ReadAt(fd, buf.data(), want, bufStart) != static_cast<int64_t>(want))
                return Fail(error, "Cannot read the source file");
            bufLen = want;
        }
        const uint8_t* p = buf.data() + (f.offset - bufStart);
        const uint32_t header = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        if (header != f.header) return Fail(error, "The source file changed while the clip was written");
        if (!use(p, f.length)) return false;
    }
    return true;
}

struct Layout {
    size_t from = 0, to = 0;  // source frames written, lead frames included
    uint32_t delay = 0, padding = 0;
    bool vbr = false;
};

// The Xing/Info frame with the frame and byte counts, the TOC and a LAME tag.
std::vector<uint8_t> HeaderFrame(const FrameTable& table, const Layout& layout, uint32_t clipBytes,
                                 uint16_t musicCrc) {
    const MpegFrame& model = table.frames[layout.from];
    uint8_t h[4];
    const uint32_t length = XingFrameHeader(table, model, layout.vbr, h);
    XingFrameFields fields;
    fields.vbr = layout.vbr;
    fields.frames = static_cast<uint32_t>(layout.to - layout.from);
    fields.streamBytes = clipBytes;
    fields.delay = static_cast<uint16_t>(layout.delay);
    fields.padding = static_cast<uint16_t>(layout.padding);
    fields.musicCrc = musicCrc;
    std::vector<uint64_t> starts(fields.frames);
    uint64_t position = length;
    for (uint32_t i = 0; i < fields.frames; ++i) {
        starts[i] = position;
        position += table.frames[layout.from + i].length;
    }
    fields.toc = XingToc(fields.frames, clipBytes, [&starts](uint32_t i) { return starts[i]; });
    return XingFrame(table, model, fields);
}

// Which source frames the clip takes, and the delay and padding its LAME tag gives decoders.
Layout PlanLayout(const FrameTable& table, size_t first, size_t end) {
    const uint32_t n = table.samplesPerFrame;
    const VbrHeader& src = table.vbr;
    Layout layout;
    layout.to = end;
    layout.vbr = table.variableBitrate || src.kind == VbrHeader::Kind::Xing || src.kind == VbrHeader::Kind::Vbri;
    if (first == 0) {
        // Nothing precedes the stream: start where the source itself starts.
        layout.from = 0;
        layout.delay = src.hasLame ? src.encoderDelay : 0;
    } else {
        // The first kept frame's output overlaps the granule before it, and the synthesis
        // filter still holds that granule, itself overlapped with the one before. So the two
        // granules before the first kept one must decode as in the source: one frame back for
        // MPEG-1 (two granules a frame), two for MPEG-2 and 2.5; with them come the frames their
        // bit reservoir reaches into. Their output is dropped through the encoder delay.
        const size_t back = table.version == MpegVersion::Mpeg1 ? 1 : 2;
        size_t from = ReservoirStart(table, first - std::min(first, back));
        const size_t maxLead = static_cast<size_t>((kMaxTagDelay + kDecoderDelay) / n);
        // A reservoir reaching further back than the 12-bit delay can skip is cut to what it
        // can skip; the first kept frame's own reservoir practically always fits in that.
        from = std::max(from, first - std::min(first, maxLead));
        layout.from = from;
        layout.delay = static_cast<uint32_t>((first - from) * n - kDecoderDelay);
    }
    const bool toTheEnd = table.complete && end == table.frames.size();
    layout.padding = (toTheEnd && src.hasLame) ? src.encoderPadding : kDecoderDelay;
    return layout;
}

// The header frame of the clip and what it says about the audio behind it.
struct ClipHead {
    uint32_t length;     // of the header frame
    uint32_t clipBytes;  // the header frame and the frames behind it
};

// The files named in messages.
struct ClipText {
    const std::string& source;
    const std::string& target;
};

// Writes the header frame and the layout's frames (behind the ID3v2 tag and before the ID3v1 tag
// of `tags`, when given) into `out`, opened here. The header frame holds the CRC of the frames,
// so it is filled in once they are written: the frames are read once.
bool WriteClip(int fd, const FrameTable& table, const Layout& layout, const ClipHead& head, const ClipText& text,
               const ClipTags* tags, mdlID3::AtomicFileWriter& out, std::string* error) {
    const std::string& source = text.source;
    const std::string& target = text.target;
    if (!OpenClip(out, target, error)) return false;
    std::vector<uint8_t> pending;
    pending.reserve(kChunkBytes + 4096);
    if (tags) pending = tags->v2;
    const size_t headAt = pending.size();
    pending.resize(headAt + head.length);
    // The clip's last bytes stay in `pending` until the end: they may be an ID3v1 tag to replace.
    const size_t keep = tags ? kClipV1Size : 0;
    bool headWritten = false;
    const auto flush = [&](size_t n) {
        if (out.Write(pending.data(), n)) return true;
        return Fail(error, ClipWriteError(out, source, target));
    };
    uint16_t crc = 0;
    uint64_t audioBytes = 0;
    if (!ForEachFrame(fd, table.frames, layout.from, layout.to,
                      [&](const uint8_t* p, size_t len) {
                          crc = LameCrc16(p, len, crc);
                          audioBytes += len;
                          pending.insert(pending.end(), p, p + len);
                          if (pending.size() < kChunkBytes) return true;
                          if (!flush(pending.size() - keep)) return false;
                          pending.erase(pending.begin(), pending.end() - static_cast<std::ptrdiff_t>(keep));
                          headWritten = true;
                          return true;
                      },
                      error))
        return false;
    const std::vector<uint8_t> frame = HeaderFrame(table, layout, head.clipBytes, crc);
    if (audioBytes + head.length != head.clipBytes || frame.size() != head.length)
        return Fail(error, "The source file changed while the clip was written");
    // Still in `pending`, the header frame goes in before the end is looked at; written already,
    // it is put in its place after (the bytes kept back are then all audio).
    if (!headWritten) std::copy(frame.begin(), frame.end(), pending.begin() + static_cast<std::ptrdiff_t>(headAt));
    const size_t drop = tags ? static_cast<size_t>(ClipTailToDrop(*tags, head.clipBytes, pending)) : 0;
    if (!flush(pending.size() - drop)) return false;
    if (!WriteClipV1(tags, out)) return Fail(error, ClipWriteError(out, source, target));
    if (headWritten && !out.WriteAt(static_cast<int64_t>(headAt), frame))
        return Fail(error, ClipWriteError(out, source, target));
    return true;
}

}  // namespace

bool SaveCleanClip(const std::string& source, double startSeconds, double endSeconds, const std::string& target,
                   std::string* error, CleanClipResult* result, const CleanClipFinisher& finish,
                   const ClipTags* tags) {
    if (!std::isfinite(startSeconds) || !std::isfinite(endSeconds) || startSeconds < 0 || endSeconds <= startSeconds)
        return Fail(error, "The selection is empty");
    if (target.empty()) return Fail(error, "No file name was given for the clip");
    if (ClipWouldReplaceSource(source, target)) return Fail(error, kClipOverSource);

    FrameTable table;
    std::string why;
    // Frames after the selection are not needed; a clip from the start of a long file reads
    // only the start.
    if (!ScanFramesUntil(source, endSeconds, table, &why)) return Fail(error, why);
    return SaveCleanClipFrames(source, table, FrameIndexAtSeconds(table, startSeconds),
                               FrameIndexAtSeconds(table, endSeconds), target, error, result, finish, tags);
}

bool SaveCleanClipFrames(const std::string& source, const FrameTable& table, size_t first, size_t end,
                         const std::string& target, std::string* error, CleanClipResult* result,
                         const CleanClipFinisher& finish, const ClipTags* tags) {
    mdlID3::AtomicFileWriter out;
    if (!WriteCleanClipFrames(source, table, first, end, target, tags, out, error, result)) return false;
    // The hand-over runs while the clip is still the temporary file: a clip it fails never takes
    // the target's name.
    const ClipHook hook = [&](const std::string& path, std::string* why) { return FinishClip(finish, path, why); };
    return CommitClip(out, finish && !tags ? hook : ClipHook(), source, target, error);
}

bool WriteCleanClipFrames(const std::string& source, const FrameTable& table, size_t first, size_t end,
                          const std::string& target, const ClipTags* tags, mdlID3::AtomicFileWriter& out,
                          std::string* error, CleanClipResult* result) {
    if (target.empty()) return Fail(error, "No file name was given for the clip");
    if (ClipWouldReplaceSource(source, target)) return Fail(error, kClipOverSource);
    if (table.layer != 3)
        return Fail(error, "Cutting on frame boundaries needs MPEG Layer III audio");
    end = std::min(end, table.frames.size());
    if (first >= end) return Fail(error, "The selection holds no whole MPEG frame");

    const Layout layout = PlanLayout(table, first, end);
    const FileDescriptor file = OpenFile(source, O_RDONLY);
    if (!file.IsOpen()) return Fail(error, ErrorText("Cannot open " + source, errno));
    uint64_t audioBytes = 0;
    for (size_t i = layout.from; i < layout.to; ++i) audioBytes += table.frames[i].length;
    uint8_t h[4];
    const uint32_t headLength = XingFrameHeader(table, table.frames[layout.from], layout.vbr, h);
    if (headLength == 0) return Fail(error, "No frame size of this stream can hold a Xing header");
    const uint64_t total = headLength + audioBytes;
    if (total > UINT32_MAX) return Fail(error, "The clip is too large for a Xing header");
    const uint32_t clipBytes = static_cast<uint32_t>(total);

    const ClipText text{source, target};
    if (!WriteClip(file.get(), table, layout, {headLength, clipBytes}, text, tags, out, error)) return false;

    if (result) {
        const uint32_t n = table.samplesPerFrame;
        result->firstFrame = first;
        result->endFrame = end;
        result->leadFrames = first - layout.from;
        result->frames = static_cast<uint32_t>(layout.to - layout.from);
        result->bytes = clipBytes;
        result->encoderDelay = static_cast<uint16_t>(layout.delay);
        result->encoderPadding = static_cast<uint16_t>(layout.padding);
        result->vbr = layout.vbr;
        result->startSeconds = static_cast<double>(first) * n / table.sampleRate;
        result->endSeconds = static_cast<double>(end) * n / table.sampleRate;
    }
    return true;
}
