#include "join/joinplan.h"

#include <algorithm>
#include <filesystem>

namespace {

// Gapless decoders drop encoder delay + 529 samples at the start of a stream with a LAME tag and
// end it encoder padding - 529 samples early: their synthesis lags the encoder's input by 529.
constexpr uint32_t kDecoderDelay = 529;

const char* VersionText(MpegVersion v) {
    switch (v) {
        case MpegVersion::Mpeg1: return "MPEG 1";
        case MpegVersion::Mpeg2: return "MPEG 2";
        case MpegVersion::Mpeg25: return "MPEG 2.5";
    }
    return "MPEG";
}

std::string Name(const JoinInput& input) { return std::filesystem::path(input.path).filename().string(); }

uint32_t Delay(const FrameTable& t) { return t.vbr.hasLame ? t.vbr.encoderDelay : 0; }

// Samples of the input's own frames before its first audible one, the decoder's lag included.
uint64_t Lead(const FrameTable& t) { return uint64_t{Delay(t)} + kDecoderDelay; }

// Frames a part of a split starts with that the part before it ends with: the lead frames its
// delay hides, and the frame its first sample lies in when that is not on a frame start (the
// part before ends inside it). 0 when the delay hides less than a frame: a file of its own.
size_t LeadFrames(const FrameTable& t) {
    if (!t.vbr.hasLame || t.samplesPerFrame == 0) return 0;
    const uint64_t lead = Lead(t);
    if (lead < t.samplesPerFrame) return 0;
    return static_cast<size_t>((lead + t.samplesPerFrame - 1) / t.samplesPerFrame);
}

}  // namespace

int ChannelCount(const FrameTable& table) {
    return !table.frames.empty() && table.frames.front().channelMode() == kMonoMode ? 1 : 2;
}

std::string CheckJoinInputs(const std::vector<JoinInput>& inputs) {
    if (inputs.empty()) return "No files to join";
    for (const JoinInput& in : inputs)
        if (in.table.layer != 3 || in.table.frames.empty())
            return Name(in) + " holds no MPEG Layer III audio; nothing was written";
    const FrameTable& first = inputs.front().table;
    for (size_t i = 1; i < inputs.size(); ++i) {
        const FrameTable& t = inputs[i].table;
        const std::string name = Name(inputs[i]);
        const std::string tail = " (the first file has ";
        if (t.sampleRate != first.sampleRate)
            return name + " has " + std::to_string(t.sampleRate) + " Hz" + tail + std::to_string(first.sampleRate) +
                   " Hz); nothing was written";
        if (ChannelCount(t) != ChannelCount(first)) {
            const auto channels = [](int n) { return n == 1 ? std::string("1 channel") : std::to_string(n) + " channels"; };
            return name + " has " + channels(ChannelCount(t)) + tail + channels(ChannelCount(first)) +
                   "); nothing was written";
        }
        if (t.version != first.version)
            return name + " is " + VersionText(t.version) + tail + VersionText(first.version) + "); nothing was written";
    }
    return {};
}

JoinPlan PlanJoin(const std::vector<JoinInput>& inputs, const SameFrames& same) {
    JoinPlan plan;
    const FrameTable& first = inputs.front().table;
    const FrameTable& last = inputs.back().table;
    const uint32_t n = first.samplesPerFrame;
    plan.sampleRate = first.sampleRate;
    plan.samplesPerFrame = n;
    plan.delay = Delay(first);
    plan.padding = last.complete && last.vbr.hasLame ? last.vbr.encoderPadding : kDecoderDelay;
    const auto bitrateOf = [](const MpegFrame& f) { return f.bitrateIndex(); };
    const uint8_t bitrate = bitrateOf(first.frames.front());
    for (size_t i = 0; i < inputs.size(); ++i) {
        const FrameTable& t = inputs[i].table;
        JoinPart part;
        part.endFrame = t.frames.size();
        if (i > 0) {
            const size_t lead = LeadFrames(t);
            const JoinPart& before = plan.parts.back();
            // Past the first lead frame, which may carry the reservoir in place of the source's.
            const size_t skip = lead > 1 ? 1 : 0;
            if (lead > 0 && lead < t.frames.size() && before.endFrame - before.firstFrame >= lead &&
                same(i - 1, before.endFrame - lead + skip, i, skip, lead - skip))
                part.firstFrame = lead;
        }
        plan.vbr = plan.vbr || t.variableBitrate || t.vbr.kind == VbrHeader::Kind::Xing ||
                   t.vbr.kind == VbrHeader::Kind::Vbri || bitrateOf(t.frames[part.firstFrame]) != bitrate;
        plan.parts.push_back(part);
    }
    PlaceJoinParts(inputs, plan);
    return plan;
}

void PlaceJoinParts(const std::vector<JoinInput>& inputs, JoinPlan& plan) {
    const FrameTable& first = inputs.front().table;
    const uint32_t n = first.samplesPerFrame;
    plan.frames = 0;
    for (size_t i = 0; i < plan.parts.size(); ++i) {
        JoinPart& part = plan.parts[i];
        plan.frames += part.reencodedBefore.size();
        part.outputFrame = plan.frames;
        // A smooth join's input starts where the one before it ends: it was placed there.
        if (!part.smooth) {
            // Its audio starts `Lead` samples after its own first frame, which may have been left out.
            const int64_t start = static_cast<int64_t>(part.outputFrame * n + Lead(inputs[i].table)) -
                                  static_cast<int64_t>(part.firstFrame * n + Lead(first));
            part.startSample = static_cast<uint64_t>(std::max<int64_t>(start, 0));
        }
        plan.frames += part.endFrame - part.firstFrame;
    }
    const uint64_t raw = plan.frames * n;
    const uint64_t end = std::min(raw, raw + kDecoderDelay - std::min<uint64_t>(raw + kDecoderDelay, plan.padding));
    const uint64_t lead = Lead(first);
    plan.decodedSamples = end > lead ? end - lead : 0;
}
