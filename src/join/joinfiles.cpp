#include "join/joinfiles.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>

#include "clips/clipfile.h"
#include "clips/xingframe.h"
#include "files/descriptor.h"
#include "files/filereader.h"
#include "files/safefile.h"
#include "id3/chapters.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "id3/taginfo.h"
#include "join/smoothjoins.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr uint64_t kFlushStep = uint64_t{8} << 20;

JoinOutcome Failed(JoinOutcome outcome, const std::string& error) {
    outcome.ok = false;
    outcome.error = error;
    return outcome;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

std::string TitleOf(const std::string& path) {
    mdlID3::ID3TagInfo info;
    if (mdlID3::ReadID3v2Tag(path, info) && !info.Title.empty()) return info.Title;
    return fs::path(path).stem().string();
}

// The bytes of the frames [from, from + count) of an input, one after another.
bool ReadFrames(const JoinInput& in, int fd, size_t from, size_t count, std::vector<uint8_t>& out) {
    out.clear();
    for (size_t i = from; i < from + count && i < in.table.frames.size(); ++i) {
        const MpegFrame& f = in.table.frames[i];
        const size_t at = out.size();
        out.resize(at + f.length);
        if (ReadAt(fd, out.data() + at, f.length, f.offset) != f.length) return false;
    }
    return true;
}

// The output's ID3v2 tag: the first input's as it is, or rebuilt with one chapter per input.
bool OutputTag(const std::vector<JoinInput>& inputs, const JoinPlan& plan, const JoinOptions& options,
               std::vector<uint8_t>& tag, std::vector<JoinedInput>& joined, std::string* error) {
    const JoinInput& first = inputs.front();
    mdlID3::FileReader file;
    if (!file.Open(first.path)) {
        *error = ErrorText("Cannot open " + first.path, errno);
        return false;
    }
    if (!options.chapters) {
        tag = file.ReadUpTo(0, first.table.id3v2Bytes);
        if (static_cast<int64_t>(tag.size()) == first.table.id3v2Bytes) return true;
        *error = "Cannot read the tag of " + first.path;
        return false;
    }
    mdlID3::KeptFrameList frames;
    const int major = mdlID3::ReadID3v2Frames(file, frames) == 4 ? 4 : 3;
    std::vector<mdlID3::Chapter> chapters;
    for (const JoinedInput& in : joined) {
        mdlID3::Chapter c;
        c.StartMs = mdlID3::SamplesToMs(in.startSample, plan.sampleRate);
        c.Title = in.title;
        chapters.push_back(std::move(c));
    }
    mdlID3::ArrangeChapters(chapters, mdlID3::SamplesToMs(plan.decodedSamples, plan.sampleRate));
    mdlID3::PutChapterFrames(frames, chapters, major);
    return mdlID3::BuildID3v2FramesTag(frames, major == 4 ? mdlID3::kWriteV24 : mdlID3::kWriteV23, 0, tag, error);
}

// Copies the plan's frames of every input into `out`, in runs of whole frames that lie back to
// back, checking that each still starts with the header the scan saw.
class FrameCopier {
public:
    FrameCopier(mdlID3::AtomicFileWriter& out, const JoinProgress& progress, double doneBefore, double total)
        : out_(out), progress_(progress), done_(doneBefore), total_(total), buffer_(kChunkBytes) {}

    // Frames made anew, written as they are.
    bool Write(const std::vector<uint8_t>& frame, std::string* error) {
        crc_ = LameCrc16(frame.data(), frame.size(), crc_);
        if (!out_.Write(frame.data(), frame.size())) return Fail(error, out_.Error());
        bytes_ += frame.size();
        return true;
    }

    bool Copy(const JoinInput& in, const JoinPart& part, std::string* error) {
        const FileDescriptor fd = OpenFile(in.path, O_RDONLY);
        if (!fd.IsOpen()) return Fail(error, ErrorText("Cannot open " + in.path, errno));
        const auto& frames = in.table.frames;
        size_t i = part.firstFrame;
        while (i < part.endFrame) {
            // The longest run from frame i that fits the buffer and has no gap.
            const int64_t start = frames[i].offset;
            size_t j = i;
            int64_t end = start;
            while (j < part.endFrame && frames[j].offset == end &&
                   end + frames[j].length - start <= static_cast<int64_t>(buffer_.size())) {
                end += frames[j].length;
                ++j;
            }
            const size_t length = static_cast<size_t>(end - start);
            if (ReadAt(fd.get(), buffer_.data(), length, start) != static_cast<int64_t>(length))
                return Fail(error, "Cannot read " + in.path);
            for (size_t k = i; k < j; ++k) {
                const uint8_t* p = buffer_.data() + (frames[k].offset - start);
                const uint32_t header = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
                if (header != frames[k].header) return Fail(error, in.path + " changed while it was joined");
            }
            crc_ = LameCrc16(buffer_.data(), length, crc_);
            if (!out_.Write(buffer_.data(), length)) return Fail(error, out_.Error());
            bytes_ += length;
            // The disk starts on what is written while the rest is copied: the flush before the
            // file takes its name then finds little left to do.
            if (bytes_ - flushed_ >= kFlushStep) {
                static_cast<void>(out_.BeginFlush());
                flushed_ = bytes_;
            }
            done_ += static_cast<double>(length);
            if (progress_ && !progress_(std::min(1.0, done_ / total_))) {
                cancelled_ = true;
                return Fail(error, "Cancelled");
            }
            i = j;
        }
        return true;
    }

    uint16_t Crc() const { return crc_; }
    uint64_t Bytes() const { return bytes_; }
    bool Cancelled() const { return cancelled_; }

private:
    static bool Fail(std::string* error, const std::string& text) {
        *error = text;
        return false;
    }

    mdlID3::AtomicFileWriter& out_;
    const JoinProgress& progress_;
    double done_;
    double total_;
    std::vector<uint8_t> buffer_;
    uint16_t crc_ = 0;
    uint64_t bytes_ = 0;
    uint64_t flushed_ = 0;
    bool cancelled_ = false;
};

}  // namespace

JoinOutcome JoinFiles(const std::vector<std::string>& paths, const std::string& output, const JoinOptions& options,
                      const JoinProgress& progress) {
    JoinOutcome outcome;
    if (paths.empty()) return Failed(outcome, "No files to join");
    if (output.empty()) return Failed(outcome, "No output file was given");
    for (const std::string& p : paths)
        if (p == output || ClipWouldReplaceSource(p, output))
            return Failed(outcome, output + " is one of the files to join; nothing was written");
    if (!options.overwrite && Exists(output))
        return Failed(outcome, output + " exists already; nothing was written (allow overwriting to replace it)");

    // Scanning reads each input once and copying once more: each counts half of the progress.
    std::vector<JoinInput> inputs(paths.size());
    std::vector<double> sizes;
    double total = 0;
    for (const std::string& p : paths) {
        std::error_code ec;
        const auto size = fs::file_size(p, ec);
        sizes.push_back(ec ? 0.0 : static_cast<double>(size));
        total += sizes.back();
    }
    total = std::max(total * 2, 1.0);
    double done = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        JoinInput& in = inputs[i];
        in.path = paths[i];
        std::string why;
        bool cancelled = false;
        const auto scanProgress = [&](double f) {
            cancelled = progress && !progress((done + f * sizes[i]) / total);
            return !cancelled;
        };
        if (!ScanFrames(in.path, in.table, &why, scanProgress)) {
            outcome.cancelled = cancelled;
            return Failed(outcome, cancelled ? "Cancelled; nothing was written" : in.path + ": " + why + "; nothing was written");
        }
        done += sizes[i];
        in.title = TitleOf(in.path);
    }
    const std::string refusal = CheckJoinInputs(inputs);
    if (!refusal.empty()) return Failed(outcome, refusal);

    std::vector<FileDescriptor> fds;
    for (const JoinInput& in : inputs) {
        fds.push_back(OpenFile(in.path, O_RDONLY));
        if (!fds.back().IsOpen()) return Failed(outcome, ErrorText("Cannot open " + in.path, errno));
    }
    const SameFrames same = [&](size_t a, size_t from, size_t b, size_t bFrom, size_t count) {
        std::vector<uint8_t> x, y;
        return ReadFrames(inputs[a], fds[a].get(), from, count, x) &&
               ReadFrames(inputs[b], fds[b].get(), bFrom, count, y) && x == y;
    };
    JoinPlan plan = PlanJoin(inputs, same);
    fds.clear();
    std::string why;
    if (options.smoothJoins && !SmoothenJoins(inputs, plan, options.crossfadeMs, &why))
        return Failed(outcome, why + "; nothing was written");

    for (size_t i = 0; i < inputs.size(); ++i) {
        JoinedInput j;
        j.path = inputs[i].path;
        j.title = inputs[i].title;
        j.startSample = std::min(plan.parts[i].startSample, plan.decodedSamples);
        j.sharedFrames = plan.parts[i].smooth ? 0 : plan.parts[i].firstFrame;
        j.reencodedFrames = plan.parts[i].reencodedBefore.size();
        outcome.inputs.push_back(j);
    }
    for (size_t i = 0; i < outcome.inputs.size(); ++i)
        outcome.inputs[i].endSample =
            i + 1 < outcome.inputs.size() ? outcome.inputs[i + 1].startSample : plan.decodedSamples;

    std::vector<uint8_t> tag;
    std::string error;
    if (!OutputTag(inputs, plan, options, tag, outcome.inputs, &error)) return Failed(outcome, error);

    const JoinInput& first = inputs.front();
    const MpegFrame& model = first.table.frames[plan.parts.front().firstFrame];
    uint8_t h[4];
    const uint32_t headLength = XingFrameHeader(first.table, model, plan.vbr, h);
    if (headLength == 0) return Failed(outcome, "No frame size of this stream can hold a Xing header");
    uint64_t audioBytes = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        for (const std::vector<uint8_t>& f : plan.parts[i].reencodedBefore) audioBytes += f.size();
        for (size_t k = plan.parts[i].firstFrame; k < plan.parts[i].endFrame; ++k)
            audioBytes += inputs[i].table.frames[k].length;
    }
    if (headLength + audioBytes > UINT32_MAX || plan.frames > UINT32_MAX)
        return Failed(outcome, "The joined file would be too large for a Xing header (4 GiB)");

    mdlID3::AtomicFileWriter out;
    if (!OpenClip(out, output, &error)) return Failed(outcome, error);
    const std::vector<uint8_t> placeholder(headLength, 0);
    if (!out.Write(tag) || !out.Write(placeholder)) return Failed(outcome, ClipWriteError(out, "", output));
    FrameCopier copier(out, progress, done, total);
    for (size_t i = 0; i < inputs.size(); ++i) {
        for (const std::vector<uint8_t>& f : plan.parts[i].reencodedBefore)
            if (!copier.Write(f, &error)) return Failed(outcome, error + "; nothing was written");
        if (!copier.Copy(inputs[i], plan.parts[i], &error)) {
            outcome.cancelled = copier.Cancelled();
            return Failed(outcome, error + "; nothing was written");
        }
    }
    if (copier.Bytes() != audioBytes) return Failed(outcome, "An input changed while it was joined; nothing was written");

    XingFrameFields fields;
    fields.vbr = plan.vbr;
    fields.frames = static_cast<uint32_t>(plan.frames);
    fields.streamBytes = static_cast<uint32_t>(headLength + audioBytes);
    fields.delay = static_cast<uint16_t>(plan.delay);
    fields.padding = static_cast<uint16_t>(plan.padding);
    fields.musicCrc = copier.Crc();
    // Where each output frame starts, found through the inputs in order.
    std::vector<uint64_t> starts;
    starts.reserve(plan.frames);
    uint64_t position = headLength;
    for (size_t i = 0; i < inputs.size(); ++i) {
        for (const std::vector<uint8_t>& f : plan.parts[i].reencodedBefore) {
            starts.push_back(position);
            position += f.size();
        }
        for (size_t k = plan.parts[i].firstFrame; k < plan.parts[i].endFrame; ++k) {
            starts.push_back(position);
            position += inputs[i].table.frames[k].length;
        }
    }
    fields.toc = XingToc(fields.frames, fields.streamBytes, [&starts](uint32_t k) { return starts[k]; });
    if (!out.WriteAt(static_cast<int64_t>(tag.size()), XingFrame(first.table, model, fields)))
        return Failed(outcome, ClipWriteError(out, "", output));
    // Checked again right before the name is given: a file may have appeared meanwhile.
    if (!options.overwrite && Exists(output))
        return Failed(outcome, output + " exists already; nothing was written (allow overwriting to replace it)");
    if (!CommitClip(out, {}, "", output, &error)) return Failed(outcome, error);

    outcome.ok = true;
    outcome.frames = plan.frames;
    outcome.bytes = tag.size() + headLength + audioBytes;
    outcome.sampleRate = plan.sampleRate;
    outcome.decodedSamples = plan.decodedSamples;
    outcome.encoderDelay = plan.delay;
    outcome.encoderPadding = plan.padding;
    if (progress) progress(1.0);
    return outcome;
}
