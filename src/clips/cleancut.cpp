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

// The Xing/Info frame with the frame and byte counts, the TOC and a LAME tag.
std::vector<uint8_t> HeaderFrame(const FrameTable& table, const ClipLayout& layout, bool vbr, uint32_t clipBytes,
                                 uint16_t musicCrc) {
    const MpegFrame& model = table.frames[layout.from];
    uint8_t h[4];
    const uint32_t length = XingFrameHeader(table, model, vbr, h);
    XingFrameFields fields;
    fields.vbr = vbr;
    fields.frames = static_cast<uint32_t>(layout.Frames());
    fields.streamBytes = clipBytes;
    fields.delay = static_cast<uint16_t>(layout.delay);
    fields.padding = static_cast<uint16_t>(layout.padding);
    fields.musicCrc = musicCrc;
    std::vector<uint64_t> starts;
    starts.reserve(fields.frames);
    uint64_t position = length;
    if (layout.carrier.length) {
        starts.push_back(position);
        position += layout.carrier.length;
    }
    for (size_t i = layout.from; i < layout.to; ++i) {
        starts.push_back(position);
        position += table.frames[i].length;
    }
    fields.toc = XingToc(fields.frames, clipBytes, [&starts](uint32_t i) { return starts[i]; });
    return XingFrame(table, model, fields);
}

bool IsVbr(const FrameTable& table) {
    const VbrHeader& src = table.vbr;
    return table.variableBitrate || src.kind == VbrHeader::Kind::Xing || src.kind == VbrHeader::Kind::Vbri;
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

// The layout's carrier frame: empty granules, and at the end of its main data area the bytes
// the frame after it borrows, read from the source.
bool CarrierFrame(int fd, const FrameTable& table, const ClipLayout& layout, std::vector<uint8_t>& frame,
                  std::string* error) {
    const ReservoirCarrier& c = layout.carrier;
    frame.assign(c.length, 0);
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<uint8_t>(c.header >> (24 - 8 * i));
    uint32_t at = c.length;
    const std::vector<SourcePiece> pieces = CarriedPieces(table, layout.from, c.carried);
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
        at -= piece->length;
        if (ReadAt(fd, frame.data() + at, piece->length, piece->offset) != static_cast<int64_t>(piece->length))
            return Fail(error, "Cannot read the source file");
    }
    return true;
}

// Writes the header frame and the layout's frames (behind the ID3v2 tag and before the ID3v1 tag
// of `tags`, when given) into `out`, opened here. The header frame holds the CRC of the frames,
// so it is filled in once they are written: the frames are read once.
bool WriteClip(int fd, const FrameTable& table, const ClipLayout& layout, const ClipHead& head, const ClipText& text,
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
    if (layout.carrier.length) {
        std::vector<uint8_t> carrier;
        if (!CarrierFrame(fd, table, layout, carrier, error)) return false;
        crc = LameCrc16(carrier.data(), carrier.size(), crc);
        audioBytes += carrier.size();
        pending.insert(pending.end(), carrier.begin(), carrier.end());
    }
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
    const std::vector<uint8_t> frame = HeaderFrame(table, layout, IsVbr(table), head.clipBytes, crc);
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
                   const ClipTags* tags, bool replace) {
    if (!std::isfinite(startSeconds) || !std::isfinite(endSeconds) || startSeconds < 0 || endSeconds <= startSeconds)
        return Fail(error, "The selection is empty");
    if (target.empty()) return Fail(error, "No file name was given for the clip");
    if (ClipWouldReplaceSource(source, target)) return Fail(error, kClipOverSource);

    FrameTable table;
    std::string why;
    // Frames after the selection are not needed; a clip from the start of a long file reads only
    // the start. A second more covers the source's delay and the frame the end lies in.
    if (!ScanFramesUntil(source, endSeconds + 1.0, table, &why)) return Fail(error, why);
    const auto sample = [&table](double seconds) { return static_cast<uint64_t>(std::llround(seconds * table.sampleRate)); };
    const ClipLayout layout = PlanClipLayout(table, sample(startSeconds), sample(endSeconds));
    return SaveCleanClipLayout(source, table, layout, target, error, result, finish, tags, replace);
}

bool SaveCleanClipLayout(const std::string& source, const FrameTable& table, const ClipLayout& layout,
                         const std::string& target, std::string* error, CleanClipResult* result,
                         const CleanClipFinisher& finish, const ClipTags* tags, bool replace) {
    mdlID3::AtomicFileWriter out;
    out.ReplaceExisting(replace);
    if (!WriteCleanClip(source, table, layout, target, tags, out, error, result)) return false;
    // The hand-over runs while the clip is still the temporary file: a clip it fails never takes
    // the target's name.
    const ClipHook hook = [&](const std::string& path, std::string* why) { return FinishClip(finish, path, why); };
    return CommitClip(out, finish && !tags ? hook : ClipHook(), source, target, error);
}

bool WriteCleanClip(const std::string& source, const FrameTable& table, const ClipLayout& layout,
                    const std::string& target, const ClipTags* tags, mdlID3::AtomicFileWriter& out,
                    std::string* error, CleanClipResult* result) {
    if (target.empty()) return Fail(error, "No file name was given for the clip");
    if (ClipWouldReplaceSource(source, target)) return Fail(error, kClipOverSource);
    if (table.layer != 3)
        return Fail(error, "Cutting on frame boundaries needs MPEG Layer III audio");
    if (layout.Empty() || layout.to > table.frames.size()) return Fail(error, "The selection holds no audio");
    if (layout.delay > uint32_t{kMaxTagDelay} || layout.padding > uint32_t{kMaxTagDelay})
        return Fail(error, "The clip's encoder delay does not fit its LAME tag");

    const FileDescriptor file = OpenFile(source, O_RDONLY);
    if (!file.IsOpen()) return Fail(error, ErrorText("Cannot open " + source, errno));
    uint64_t audioBytes = layout.carrier.length;
    for (size_t i = layout.from; i < layout.to; ++i) audioBytes += table.frames[i].length;
    uint8_t h[4];
    const bool vbr = IsVbr(table);
    const uint32_t headLength = XingFrameHeader(table, table.frames[layout.from], vbr, h);
    if (headLength == 0) return Fail(error, "No frame size of this stream can hold a Xing header");
    const uint64_t total = headLength + audioBytes;
    if (total > UINT32_MAX) return Fail(error, "The clip is too large for a Xing header");
    const uint32_t clipBytes = static_cast<uint32_t>(total);

    const ClipText text{source, target};
    if (!WriteClip(file.get(), table, layout, {headLength, clipBytes}, text, tags, out, error)) return false;

    if (result) {
        result->firstFrame = layout.first;
        result->endFrame = layout.to;
        result->leadFrames = layout.LeadFrames();
        result->frames = static_cast<uint32_t>(layout.Frames());
        result->bytes = clipBytes;
        result->encoderDelay = static_cast<uint16_t>(layout.delay);
        result->encoderPadding = static_cast<uint16_t>(layout.padding);
        result->vbr = vbr;
        result->startSample = layout.start;
        result->endSample = layout.end;
        result->exactStart = layout.exactStart;
        result->startSeconds = static_cast<double>(layout.start) / table.sampleRate;
        result->endSeconds = static_cast<double>(layout.end) / table.sampleRate;
    }
    return true;
}
