#include "join/smoothjoins.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <fcntl.h>

#include "clips/xingframe.h"
#include "decode/decoder.h"
#include "edit/smoothjoin.h"
#include "files/descriptor.h"

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// An input's decoded audio on its own frame timeline (sample t from its first frame's start).
struct InputAudio {
    Decoder decoder;
    int64_t offset = 0;  // frame-timeline sample of the decoder's sample 0
    int64_t total = 0;   // samples the decoder gives

    bool Open(const JoinInput& in, std::string* error) {
        if (!decoder.Open(in.path, Decoder::Output::Float)) return Fail(error, "Cannot decode " + in.path + ": " + decoder.Error());
        decoder.SetIndex(in.table);
        const FrameTable& t = in.table;
        const int64_t raw = static_cast<int64_t>(t.frames.size()) * t.samplesPerFrame;
        // Decoders drop delay and padding only where a LAME tag announces them.
        offset = t.vbr.hasLame ? int64_t{t.vbr.encoderDelay} + kDecoderDelay : 0;
        total = t.vbr.hasLame ? std::max<int64_t>(0, raw - t.vbr.encoderDelay - t.vbr.encoderPadding) : raw;
        return true;
    }
    // Where the audio a listener hears starts and ends on the frame timeline.
    int64_t Start() const { return offset > 0 ? offset : kDecoderDelay; }
    int64_t End() const { return offset + total; }
};

}  // namespace

bool SmoothenJoins(const std::vector<JoinInput>& inputs, JoinPlan& plan, int crossfadeMs, std::string* error) {
    const FrameTable& first = inputs.front().table;
    const int64_t n = first.samplesPerFrame;
    const int64_t crossfade = std::llround(std::max(0, crossfadeMs) * 0.001 * first.sampleRate);
    const int64_t leadOut = (first.vbr.hasLame ? int64_t{first.vbr.encoderDelay} : 0) + kDecoderDelay;
    for (size_t i = 1; i < inputs.size(); ++i) {
        JoinPart& before = plan.parts[i - 1];
        JoinPart& part = plan.parts[i];
        if (part.firstFrame > 0) continue;  // parts of one stream: the join is exact already
        InputAudio out, in;
        if (!out.Open(inputs[i - 1], error) || !in.Open(inputs[i], error)) return false;
        // On the output's frame timeline: where the outgoing audio ends, and where the incoming
        // input's first frame goes so that its audio starts there to within half a frame.
        const int64_t outFirst = static_cast<int64_t>(before.outputFrame) - static_cast<int64_t>(before.firstFrame);
        const int64_t end = outFirst * n + out.End();
        const int64_t inFirst = (end - in.Start() + n / 2) / n;
        const SmoothFrames w = SmoothJoinFrames(end, n, crossfade);
        const int64_t resume = w.end - inFirst;  // the incoming input's first copied frame
        const int64_t beforeEnd = outFirst + static_cast<int64_t>(before.endFrame);
        if (w.first <= static_cast<int64_t>(before.outputFrame) || w.first > beforeEnd || resume < 0 ||
            resume + 1 >= static_cast<int64_t>(inputs[i].table.frames.size()))
            continue;

        const int64_t at = end - leadOut;  // the join, in the output's decoded samples
        const size_t channels = static_cast<size_t>(out.decoder.Channels());
        const OutputAudio audio = [&](int64_t from, int64_t count, std::vector<float>& pcm, std::string* why) {
            std::vector<float> a, b;
            const int64_t raw = from + leadOut;
            if (!DecodeSpan(out.decoder, out.total, raw - outFirst * n - out.offset, count, a, why) ||
                !DecodeSpan(in.decoder, in.total, raw - inFirst * n - in.offset, count, b, why))
                return false;
            // Past its end the outgoing input is silent, as before its start the incoming one.
            for (int64_t k = 0; k < count; ++k) {
                for (size_t c = 0; c < channels; ++c) {
                    const size_t x = static_cast<size_t>(k) * channels + c;
                    if (raw + k >= end) a[x] = 0.0f;
                    if (raw + k < inFirst * n + in.Start()) b[x] = 0.0f;
                }
            }
            MixCrossfade(a, b, channels, at, crossfade, from, pcm);
            return true;
        };
        const FileDescriptor next = OpenFile(inputs[i].path, O_RDONLY);
        if (!next.IsOpen()) return Fail(error, ErrorText("Cannot open " + inputs[i].path, errno));
        const EncodeTarget target{&inputs[i - 1].table, out.decoder.Channels(), leadOut};
        std::vector<std::vector<uint8_t>> frames;
        bool carried = false;
        if (!EncodeJoinFrames(target, static_cast<size_t>(w.first), static_cast<size_t>(w.end - w.first), audio,
                              &inputs[i].table, next.get(), static_cast<size_t>(resume), frames, carried, error))
            return false;
        if (!carried) continue;  // the reservoir of the frame after them fits no frame: left as it was
        before.endFrame = static_cast<size_t>(w.first - outFirst);
        part.firstFrame = static_cast<size_t>(resume);
        part.smooth = true;
        part.startSample = static_cast<uint64_t>(std::max<int64_t>(at, 0));
        part.reencodedBefore = std::move(frames);
        PlaceJoinParts(inputs, plan);
    }
    const uint8_t bitrate = first.frames.front().bitrateIndex();
    for (const JoinPart& p : plan.parts)
        for (const std::vector<uint8_t>& f : p.reencodedBefore) plan.vbr = plan.vbr || ((f[2] >> 4) & 0x0F) != bitrate;
    return true;
}
