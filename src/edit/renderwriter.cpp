#include "edit/renderwriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>

#include "clips/xingframe.h"
#include "files/descriptor.h"
#include "files/safefile.h"
#include "level/framegains.h"
#include "mpeg/sideinfo.h"

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr int64_t kWriteBehindBytes = int64_t{8} << 20;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Reads the frames [first, end) of the plan, consecutive in the source, into `buf` with one read,
// each checked against the header the walk saw.
bool ReadFrames(int fd, const FrameTable& table, const RenderPlan& plan, size_t first, size_t end,
                std::vector<uint8_t>& buf, std::string* error) {
    const MpegFrame& head = table.frames[plan.frames[first].source];
    const MpegFrame& tail = table.frames[plan.frames[end - 1].source];
    buf.resize(static_cast<size_t>(tail.offset + tail.length - head.offset));
    if (ReadAt(fd, buf.data(), buf.size(), head.offset) != static_cast<int64_t>(buf.size()))
        return Fail(error, ErrorText("Cannot read the source file", errno));
    for (size_t i = first; i < end; ++i) {
        const MpegFrame& f = table.frames[plan.frames[i].source];
        if (BigEndian32(buf.data() + (f.offset - head.offset)) != f.header)
            return Fail(error, "The source file changed while the edit was written");
    }
    return true;
}

// One past the last frame from `first` on that is copied as it is, follows the one before it in
// the source, and keeps the piece under kChunkBytes.
size_t PlainRunEnd(const FrameTable& table, const RenderPlan& plan, size_t first) {
    const MpegFrame& head = table.frames[plan.frames[first].source];
    int64_t end = head.offset + head.length;
    size_t j = first + 1;
    for (; j < plan.frames.size(); ++j) {
        const PlannedFrame& p = plan.frames[j];
        const MpegFrame& g = table.frames[p.source];
        if (p.patch >= 0 || p.source != plan.frames[j - 1].source + 1 || g.offset != end ||
            end + g.length - head.offset > static_cast<int64_t>(kChunkBytes))
            break;
        end += g.length;
    }
    return j;
}

// The bytes each patch carries, read up front: they lie in removed ranges the copy never reads.
bool ReadCarried(int fd, const FrameTable& table, const RenderPlan& plan, std::vector<std::vector<uint8_t>>& out,
                 std::string* error) {
    out.assign(plan.patches.size(), {});
    for (size_t i = 0; i < plan.patches.size(); ++i) {
        for (const CarriedBytes& c : plan.patches[i].carried) {
            const MpegFrame& f = table.frames[c.sourceFrame];
            if (c.sourceOffset + c.length > f.length) return Fail(error, "The edit plan does not fit the source");
            const size_t at = out[i].size();
            out[i].resize(at + c.length);
            if (ReadAt(fd, out[i].data() + at, c.length, f.offset + c.sourceOffset) != static_cast<int64_t>(c.length))
                return Fail(error, ErrorText("Cannot read the source file", errno));
        }
    }
    return true;
}

// The level of the frames [first, end) of the plan, read into `bytes` one after another: their
// global gains as the plan's gains say, each frame's CRC with them.
bool PatchGains(const FrameTable& table, const RenderPlan& plan, size_t first, size_t end, std::vector<uint8_t>& bytes) {
    if (!plan.gains.Changes()) return true;
    GainCount count;
    size_t at = 0;
    for (size_t i = first; i < end; ++i) {
        const size_t length = i + 1 == end ? bytes.size() - at : table.frames[plan.frames[i].source].length;
        if (at + length > bytes.size()) return false;
        if (!PatchFrameGains(std::span<uint8_t>(bytes).subspan(at, length), plan.frames[i].source, plan.gains, count))
            return false;
        at += length;
    }
    return true;
}

}  // namespace

bool PatchFrame(std::span<const uint8_t> sourceFrame, const FramePatch& patch, std::span<const uint8_t> carried,
                std::vector<uint8_t>& out) {
    if (patch.reencoded) {
        out = patch.bytes;
        return !out.empty();  // a smooth join's frames that were never encoded
    }
    if (sourceFrame.size() < 4 || patch.length < sourceFrame.size()) return false;
    out.assign(patch.length, 0);
    std::copy(sourceFrame.begin(), sourceFrame.end(), out.begin());
    size_t used = 0;
    for (const CarriedBytes& c : patch.carried) {
        if (c.outputOffset < 4 || c.outputOffset + c.length > out.size() || used + c.length > carried.size())
            return false;
        std::copy_n(carried.begin() + static_cast<std::ptrdiff_t>(used), c.length, out.begin() + c.outputOffset);
        used += c.length;
    }
    if (patch.newHeaderByte2) {
        out[2] = patch.headerByte2;
        uint16_t crc = 0;
        if (Layer3Crc(out, crc)) {
            out[4] = static_cast<uint8_t>(crc >> 8);
            out[5] = static_cast<uint8_t>(crc);
        }
    }
    return true;
}

bool WriteRender(const std::string& source, const FrameTable& table, const RenderPlan& plan, const std::string& target,
                 const ClipTags* tags, const ClipHook& finish, const RenderProgress& progress, std::string* error,
                 bool replace) {
    if (target.empty()) return Fail(error, "No file name was given for the edited file");
    if (ClipWouldReplaceSource(source, target))
        return Fail(error, "The edited file cannot be saved over the file it is made from. Please choose another name.");
    if (plan.frames.empty()) return Fail(error, "Nothing is left to write");
    const FileDescriptor file = OpenFile(source, O_RDONLY);
    if (!file.IsOpen()) return Fail(error, ErrorText("Cannot open " + source, errno));
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const MpegFrame& model = table.frames[plan.frames.front().source];
    uint8_t head[4];
    const uint32_t headLength = XingFrameHeader(table, model, plan.vbr, head);
    if (headLength == 0) return Fail(error, "No frame size of this stream can hold a Xing header");
    std::vector<uint64_t> starts(plan.frames.size());
    uint64_t total = headLength;
    for (size_t i = 0; i < plan.frames.size(); ++i) {
        starts[i] = total;
        total += plan.FrameLength(table, i);
    }
    if (total > UINT32_MAX) return Fail(error, "The edited file is too large for a Xing header");

    std::vector<std::vector<uint8_t>> carried;
    if (!ReadCarried(file.get(), table, plan, carried, error)) return false;

    mdlID3::AtomicFileWriter out;
    out.ReplaceExisting(replace);
    if (!OpenClip(out, target, error)) return false;
    const auto writeFailed = [&] { return Fail(error, ClipWriteError(out, source, target)); };
    // The tag, then room for the header frame, filled in once the frames' CRC is known.
    std::vector<uint8_t> front = tags ? tags->v2 : std::vector<uint8_t>();
    const int64_t headAt = static_cast<int64_t>(front.size());
    front.resize(front.size() + headLength);
    if (!out.Write(front)) return writeFailed();

    std::vector<uint8_t> buf, patched;
    buf.reserve(kChunkBytes);
    uint16_t crc = 0;
    int64_t flushedUpTo = 0;
    for (size_t i = 0; i < plan.frames.size();) {
        if (progress && !progress(static_cast<double>(i) / plan.frames.size())) return Fail(error, "Cancelled");
        const PlannedFrame& f = plan.frames[i];
        size_t next = i + 1;
        std::span<const uint8_t> bytes;
        if (f.patch < 0) {
            // Plain frames go from the read buffer straight to the file.
            next = PlainRunEnd(table, plan, i);
            if (!ReadFrames(file.get(), table, plan, i, next, buf, error)) return false;
            if (!PatchGains(table, plan, i, next, buf)) return Fail(error, "The edit plan does not fit the source");
            bytes = buf;
        } else {
            const FramePatch& patch = plan.patches[static_cast<size_t>(f.patch)];
            if (!patch.reencoded && !ReadFrames(file.get(), table, plan, i, next, buf, error)) return false;
            if (!PatchFrame(buf, patch, carried[static_cast<size_t>(f.patch)], patched) ||
                (!patch.reencoded && !PatchGains(table, plan, i, next, patched)))
                return Fail(error, "The edit plan does not fit the source");
            bytes = patched;
        }
        crc = LameCrc16(bytes.data(), bytes.size(), crc);
        if (!out.Write(bytes)) return writeFailed();
        // The disk starts on what is written while the rest is copied: the flush at the commit
        // then waits for little more than the last piece.
        if (out.BytesWritten() >= flushedUpTo + kWriteBehindBytes) {
            if (!out.BeginFlush()) return writeFailed();
            flushedUpTo = out.BytesWritten();
        }
        i = next;
    }
    if (tags && tags->v1 == ClipTags::V1::Write && !out.Write(tags->v1Tag.data(), kClipV1Size)) return writeFailed();

    XingFrameFields fields;
    fields.vbr = plan.vbr;
    fields.frames = static_cast<uint32_t>(plan.frames.size());
    fields.streamBytes = static_cast<uint32_t>(total);
    fields.delay = plan.encoderDelay;
    fields.padding = plan.encoderPadding;
    fields.musicCrc = crc;
    fields.toc = XingToc(fields.frames, fields.streamBytes, [&starts](uint32_t i) { return starts[i]; });
    const std::vector<uint8_t> header = XingFrame(table, model, fields);
    if (header.size() != headLength || !out.WriteAt(headAt, header)) return writeFailed();
    if (progress && !progress(1.0)) return Fail(error, "Cancelled");
    const ClipHook hook = [&](const std::string& path, std::string* why) { return FinishClip(finish, path, why); };
    return CommitClip(out, finish && !tags ? hook : ClipHook(), source, target, error);
}
