#include "edit/renderwriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>

#include "clips/xingframe.h"
#include "files/descriptor.h"
#include "files/safefile.h"
#include "mpeg/sideinfo.h"

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The source read in large pieces along the plan: a piece reaches as far as the frames stay
// consecutive, so removed ranges are never read.
class FrameReader {
public:
    FrameReader(int fd, const FrameTable& table, const RenderPlan& plan) : fd_(fd), table_(table), plan_(plan) {}

    // Bytes of output frame `i` (a copied one), checked against the walk; empty on failure.
    std::span<const uint8_t> Frame(size_t i, std::string* error) {
        const MpegFrame& f = table_.frames[plan_.frames[i].source];
        if (f.offset < start_ || f.offset + f.length > start_ + static_cast<int64_t>(buf_.size())) {
            int64_t end = f.offset + f.length;
            for (size_t j = i + 1; j < plan_.frames.size(); ++j) {
                const MpegFrame& g = table_.frames[plan_.frames[j].source];
                if (plan_.frames[j].source != plan_.frames[j - 1].source + 1 || g.offset != end ||
                    end + g.length - f.offset > static_cast<int64_t>(kChunkBytes))
                    break;
                end += g.length;
            }
            buf_.resize(static_cast<size_t>(end - f.offset));
            start_ = f.offset;
            if (ReadAt(fd_, buf_.data(), buf_.size(), start_) != static_cast<int64_t>(buf_.size())) {
                buf_.clear();
                Fail(error, ErrorText("Cannot read the source file", errno));
                return {};
            }
        }
        const uint8_t* p = buf_.data() + (f.offset - start_);
        if (BigEndian32(p) != f.header) {
            Fail(error, "The source file changed while the edit was written");
            return {};
        }
        return {p, f.length};
    }

private:
    int fd_;
    const FrameTable& table_;
    const RenderPlan& plan_;
    std::vector<uint8_t> buf_;
    int64_t start_ = 0;
};

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

}  // namespace

bool PatchFrame(std::span<const uint8_t> sourceFrame, const FramePatch& patch, std::span<const uint8_t> carried,
                std::vector<uint8_t>& out) {
    if (patch.reencoded) {
        out = patch.bytes;
        return true;
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
                 const ClipTags* tags, const ClipHook& finish, const RenderProgress& progress, std::string* error) {
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
    if (!OpenClip(out, target, error)) return false;
    const auto writeFailed = [&] { return Fail(error, ClipWriteError(out, source, target)); };
    std::vector<uint8_t> pending;
    pending.reserve(kChunkBytes + 8192);
    if (tags) pending = tags->v2;
    const int64_t headAt = static_cast<int64_t>(pending.size());
    pending.resize(pending.size() + headLength);  // filled in once the frames' CRC is known

    FrameReader reader(file.get(), table, plan);
    std::vector<uint8_t> patched;
    uint16_t crc = 0;
    const size_t step = std::max<size_t>(1, plan.frames.size() / 100);
    for (size_t i = 0; i < plan.frames.size(); ++i) {
        if (progress && i % step == 0 && !progress(static_cast<double>(i) / plan.frames.size()))
            return Fail(error, "Cancelled");
        const PlannedFrame& f = plan.frames[i];
        std::span<const uint8_t> bytes;
        const FramePatch* patch = f.patch >= 0 ? &plan.patches[static_cast<size_t>(f.patch)] : nullptr;
        if (!patch || !patch->reencoded) {
            bytes = reader.Frame(i, error);
            if (bytes.empty()) return false;
        }
        if (patch) {
            if (!PatchFrame(bytes, *patch, carried[static_cast<size_t>(f.patch)], patched))
                return Fail(error, "The edit plan does not fit the source");
            bytes = patched;
        }
        crc = LameCrc16(bytes.data(), bytes.size(), crc);
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        if (pending.size() >= kChunkBytes) {
            if (!out.Write(pending)) return writeFailed();
            pending.clear();
        }
    }
    if (tags && tags->v1 == ClipTags::V1::Write) pending.insert(pending.end(), tags->v1Tag.begin(), tags->v1Tag.end());
    if (!out.Write(pending)) return writeFailed();

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
