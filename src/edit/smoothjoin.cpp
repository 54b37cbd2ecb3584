#include "edit/smoothjoin.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <numbers>

#include <fcntl.h>
#include <lame/lame.h>

#include "clips/xingframe.h"
#include "decode/decoder.h"
#include "edit/renderwriter.h"
#include "edit/reservoir.h"
#include "edit/sourcetimeline.h"
#include "files/descriptor.h"
#include "mpeg/sideinfo.h"

namespace {

// Frames encoded after the last one kept, so that the encoder's look-ahead sees real audio.
constexpr size_t kTrailingFrames = 2;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

MPEG_mode LameMode(uint8_t channelMode) {
    switch (channelMode) {
    case 0: return STEREO;
    case 1: return JOINT_STEREO;
    case 2: return DUAL_CHANNEL;
    default: return MONO;
    }
}

uint16_t BitrateKbps(uint32_t headerWord) {
    const uint8_t h[4] = {static_cast<uint8_t>(headerWord >> 24), static_cast<uint8_t>(headerWord >> 16),
                          static_cast<uint8_t>(headerWord >> 8), static_cast<uint8_t>(headerWord)};
    MpegHeader header;
    return DecodeMpegHeader(h, header) ? header.bitrateKbps : 0;
}

// The VBR quality (0 best .. 9) whose typical average bitrate for 44.1 kHz stereo is nearest to
// the source's, its average scaled to that.
float VbrQuality(const FrameTable& table, int channels) {
    uint64_t bytes = 0;
    for (const MpegFrame& f : table.frames) bytes += f.length;
    const double seconds = double(table.frames.size()) * table.samplesPerFrame / table.sampleRate;
    double kbps = seconds > 0 ? bytes * 8.0 / seconds / 1000.0 : 128.0;
    kbps *= (2.0 / channels) * (44100.0 / table.sampleRate);
    constexpr double kTypical[10] = {245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
    int best = 0;
    for (int q = 1; q < 10; ++q)
        if (std::abs(kTypical[q] - kbps) < std::abs(kTypical[best] - kbps)) best = q;
    return static_cast<float>(best);
}

std::unique_ptr<lame_global_flags, LameCloser> OpenEncoder(const FrameTable& table, int channels, int maxKbps,
                                                           std::string* error) {
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        Fail(error, "Cannot start the MP3 encoder");
        return nullptr;
    }
    lame_global_flags* l = lame.get();
    const MpegFrame& model = table.frames.front();
    lame_set_num_channels(l, channels);
    lame_set_in_samplerate(l, static_cast<int>(table.sampleRate));
    lame_set_out_samplerate(l, static_cast<int>(table.sampleRate));
    lame_set_mode(l, channels == 1 ? MONO : LameMode(model.channelMode()));
    lame_set_bWriteVbrTag(l, 0);
    lame_set_disable_reservoir(l, 1);
    lame_set_error_protection(l, model.crc() ? 1 : 0);
    if (table.variableBitrate) {
        lame_set_VBR(l, vbr_default);
        lame_set_VBR_quality(l, VbrQuality(table, channels));
        if (maxKbps > 0) lame_set_VBR_max_bitrate_kbps(l, maxKbps);
    } else {
        lame_set_VBR(l, vbr_off);
        const int kbps = BitrateKbps(model.header);
        lame_set_brate(l, maxKbps > 0 ? std::min(kbps, maxKbps) : kbps);
    }
    if (lame_init_params(l) < 0) {
        Fail(error, "The MP3 encoder refused the stream's format");
        return nullptr;
    }
    return lame;
}

// The encoder's output cut into frames, each checked to be of the stream's kind.
bool SplitFrames(const FrameTable& table, const std::vector<uint8_t>& bytes, std::vector<std::vector<uint8_t>>& frames,
                 std::string* error) {
    for (size_t at = 0; at + 4 <= bytes.size();) {
        MpegHeader header;
        if (!DecodeMpegHeader(bytes.data() + at, header) || header.layer != 3 || header.sampleRate != table.sampleRate ||
            header.version != table.version || at + header.length > bytes.size())
            return Fail(error, "The MP3 encoder wrote frames of another kind");
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + header.length));
        at += header.length;
    }
    return true;
}

// The reservoir bytes that source frame `q` reads from the frames before it.
bool ReadBorrowed(int fd, const FrameTable& table, size_t q, std::vector<uint8_t>& out, std::string* error) {
    out.assign(table.frames[q].mainDataBegin, 0);
    for (const CarriedBytes& c : BorrowedBytes(table, q)) {
        const MpegFrame& f = table.frames[c.sourceFrame];
        if (c.outputOffset + c.length > out.size() ||
            ReadAt(fd, out.data() + c.outputOffset, c.length, f.offset + c.sourceOffset) != static_cast<int64_t>(c.length))
            return Fail(error, ErrorText("Cannot read the source file", errno));
    }
    return true;
}

uint32_t HeaderWord(const std::vector<uint8_t>& frame) {
    return (uint32_t{frame[0]} << 24) | (uint32_t{frame[1]} << 16) | (uint32_t{frame[2]} << 8) | frame[3];
}

}  // namespace

bool DecodeSpan(Decoder& decoder, int64_t total, int64_t from, int64_t count, std::vector<float>& out,
                std::string* error) {
    const size_t channels = static_cast<size_t>(decoder.Channels());
    out.assign(static_cast<size_t>(count) * channels, 0.0f);
    const int64_t lo = std::max<int64_t>(from, 0), hi = std::min(from + count, total);
    if (lo >= hi) return true;
    if (!decoder.SeekToSample(lo)) return Fail(error, "Cannot seek in the source: " + decoder.Error());
    uint8_t* dest = reinterpret_cast<uint8_t*>(out.data() + static_cast<size_t>(lo - from) * channels);
    size_t left = static_cast<size_t>(hi - lo) * channels * sizeof(float);
    while (left > 0) {
        size_t got = 0;
        const Decoder::ReadStatus status = decoder.Read(dest, left, got);
        if (status == Decoder::ReadStatus::Error) return Fail(error, "Cannot decode the source: " + decoder.Error());
        if (status == Decoder::ReadStatus::End || got == 0) break;
        dest += got;
        left -= got;
    }
    return true;
}

float IncomingWeight(int64_t join, int64_t crossfade, int64_t at) {
    const int64_t start = join - crossfade / 2;
    if (at < start) return 0.0f;
    if (at >= start + crossfade) return 1.0f;
    const double x = (static_cast<double>(at - start) + 0.5) / static_cast<double>(crossfade);
    return static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x));
}

void MixCrossfade(const std::vector<float>& outgoing, const std::vector<float>& incoming, size_t channels,
                  int64_t join, int64_t crossfade, int64_t from, std::vector<float>& mixed) {
    mixed.resize(outgoing.size());
    for (size_t k = 0; k < mixed.size(); ++k) {
        const float w = IncomingWeight(join, crossfade, from + static_cast<int64_t>(k / channels));
        mixed[k] = (1.0f - w) * outgoing[k] + w * incoming[k];
    }
}

bool EncodeOutputFrames(const EncodeTarget& target, size_t first, size_t count, const OutputAudio& audio,
                        std::vector<std::vector<uint8_t>>& frames, std::string* error) {
    frames.clear();
    const FrameTable& table = *target.table;
    if (table.frames.empty() || table.samplesPerFrame == 0) return Fail(error, "No frames to encode into");
    auto lame = OpenEncoder(table, target.channels, target.maxKbps, error);
    if (!lame) return false;
    // The encoder's frame m decodes its input from m * n - delay - decoder delay on. Its frame
    // `lead` becomes output frame `first`; the frames before it only warm the encoder up.
    const int64_t n = table.samplesPerFrame;
    const int64_t delay = lame_get_encoder_delay(lame.get()) + kDecoderDelay;
    const int64_t lead = (n + delay + n - 1) / n;
    const int64_t from = delay + (static_cast<int64_t>(first) - lead) * n - target.outputLead;
    const int64_t length = (lead + static_cast<int64_t>(count + kTrailingFrames)) * n;
    std::vector<float> pcm;
    if (!audio(from, length, pcm, error)) return false;
    const size_t channels = static_cast<size_t>(target.channels);
    std::vector<float> left(static_cast<size_t>(length)), right(static_cast<size_t>(length));
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = pcm[i * channels];
        right[i] = pcm[i * channels + channels - 1];
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length) * 5 / 4 + 7200 + 16384);
    const int encoded = lame_encode_buffer_ieee_float(lame.get(), left.data(), right.data(), static_cast<int>(length),
                                                      bytes.data(), static_cast<int>(bytes.size()));
    if (encoded < 0) return Fail(error, "The MP3 encoder failed");
    const int flushed = lame_encode_flush(lame.get(), bytes.data() + encoded, static_cast<int>(bytes.size()) - encoded);
    if (flushed < 0) return Fail(error, "The MP3 encoder failed");
    bytes.resize(static_cast<size_t>(encoded + flushed));
    std::vector<std::vector<uint8_t>> all;
    if (!SplitFrames(table, bytes, all, error)) return false;
    if (all.size() < static_cast<size_t>(lead) + count) return Fail(error, "The MP3 encoder wrote too few frames");
    for (size_t k = 0; k < count; ++k) {
        Layer3SideInfo info;
        std::vector<uint8_t>& f = all[static_cast<size_t>(lead) + k];
        if (!ParseLayer3SideInfo(f, info) || info.mainDataBegin != 0)
            return Fail(error, "The MP3 encoder used the bit reservoir");
        frames.push_back(std::move(f));
    }
    return true;
}

bool CarryBorrowedBytes(const FrameTable& table, std::vector<uint8_t>& frame, const std::vector<uint8_t>& borrowed) {
    if (borrowed.empty()) return true;
    Layer3SideInfo info;
    if (frame.size() < 4 || !ParseLayer3SideInfo(frame, info)) return false;
    MpegFrame f;
    f.header = HeaderWord(frame);
    f.length = static_cast<uint16_t>(frame.size());
    const std::optional<CarrierFit> fit = FitCarriedBytes(table, f, info, static_cast<uint32_t>(borrowed.size()));
    if (!fit) return false;
    FramePatch patch;
    patch.length = fit->length;
    patch.newHeaderByte2 = fit->grown;
    patch.headerByte2 = fit->headerByte2;
    patch.carried = {CarriedBytes{0, 0, static_cast<uint32_t>(borrowed.size()), fit->carryAt}};
    std::vector<uint8_t> out;
    if (!PatchFrame(frame, patch, borrowed, out)) return false;
    frame = std::move(out);
    return true;
}

SmoothFrames SmoothJoinFrames(int64_t rawJoin, int64_t samplesPerFrame, int64_t crossfade) {
    constexpr int64_t kRoomBefore = 576 + 480, kRoomAfter = 480;
    const int64_t n = samplesPerFrame;
    const int64_t from = rawJoin - crossfade / 2, to = from + crossfade;
    const auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    SmoothFrames w;
    w.end = floorDiv(to + kRoomAfter + n - 1, n);
    w.first = floorDiv(from - kRoomBefore, n);
    const int64_t most = static_cast<int64_t>(kSmoothJoinFrames);
    if (w.end - w.first > most) w.first = std::max(w.first, std::min(floorDiv(from, n), w.end - most));
    return w;
}

bool EncodeJoinFrames(EncodeTarget target, size_t first, size_t count, const OutputAudio& audio,
                      const FrameTable* nextTable, int nextFile, size_t nextFrame,
                      std::vector<std::vector<uint8_t>>& frames, bool& carried, std::string* error) {
    carried = false;
    for (int lowered = 0;; ++lowered) {
        if (!EncodeOutputFrames(target, first, count, audio, frames, error)) return false;
        if (!nextTable || nextFrame >= nextTable->frames.size()) break;
        std::vector<uint8_t> borrowed;
        if (!ReadBorrowed(nextFile, *nextTable, nextFrame, borrowed, error)) return false;
        if (CarryBorrowedBytes(*target.table, frames.back(), borrowed)) break;
        // More than the last frame can carry even at the highest bitrate: encoded at a lower
        // one, its own data leaves room.
        if (lowered == 3) return true;
        target.maxKbps = std::max(8, BitrateKbps(HeaderWord(frames.back())) * 3 / 4);
    }
    carried = true;
    return true;
}

bool EncodeSmoothJoins(const std::string& source, const FrameTable& table, const RenderOptions& options,
                       RenderPlan& plan, std::string* error) {
    bool any = false;
    for (const PlannedJoin& j : plan.joins) any = any || j.mode == JoinMode::Smooth;
    if (!any) return true;
    Decoder decoder;
    if (!decoder.Open(source, Decoder::Output::Float)) return Fail(error, "Cannot decode " + source + ": " + decoder.Error());
    decoder.SetIndex(table);
    const FileDescriptor file = OpenFile(source, O_RDONLY);
    if (!file.IsOpen()) return Fail(error, ErrorText("Cannot open " + source, errno));
    const int64_t total = SourceTimeline(table).DecodedSamples();
    // Without a LAME tag the decoder also gives the decoder delay's samples at the start.
    const int64_t skip = table.vbr.hasLame ? 0 : kDecoderDelay;
    const int64_t crossfade = std::llround(std::max(0, options.crossfadeMs) * 0.001 * table.sampleRate);
    const EncodeTarget target{&table, decoder.Channels(), kDecoderDelay + int64_t{plan.encoderDelay}};
    const size_t channels = static_cast<size_t>(decoder.Channels());
    const uint8_t modelBitrate = table.frames[plan.frames.front().source].bitrateIndex();

    for (size_t j = 0; j < plan.joins.size(); ++j) {
        PlannedJoin& join = plan.joins[j];
        if (join.mode != JoinMode::Smooth) continue;
        const int64_t at = join.outputSample;
        // Output sample o plays source sample o + shift on either side of the join.
        const int64_t outShift = plan.segments[j].source.end - at, inShift = plan.segments[j + 1].source.start - at;
        const OutputAudio audio = [&](int64_t from, int64_t count, std::vector<float>& pcm, std::string* why) {
            std::vector<float> out, in;
            if (!DecodeSpan(decoder, total + skip, from + outShift + skip, count, out, why) ||
                !DecodeSpan(decoder, total + skip, from + inShift + skip, count, in, why))
                return false;
            MixCrossfade(out, in, channels, at, crossfade, from, pcm);
            return true;
        };
        const size_t first = join.reencodeFrom;
        const size_t most = std::max(kSmoothJoinFrames, static_cast<size_t>(join.reencodedFrames));
        size_t count = static_cast<size_t>(join.reencodedFrames);
        std::vector<std::vector<uint8_t>> frames;
        for (;;) {
            const size_t next = first + count;
            const bool last = next >= plan.frames.size();
            bool carried = false;
            if (!EncodeJoinFrames(target, first, count, audio, last ? nullptr : &table, file.get(),
                                  last ? 0 : plan.frames[next].source, frames, carried, error))
                return false;
            if (carried) break;
            // The frame after them borrows more than the last one can carry: it is encoded anew too.
            if (count >= most || plan.frames[next].patch >= 0)
                return Fail(error, "The bit reservoir at the join at sample " + std::to_string(at) +
                                       " cannot be carried over the re-encoded frames");
            ++count;
        }
        for (size_t k = 0; k < count; ++k) {
            PlannedFrame& f = plan.frames[first + k];
            if (f.patch < 0) {
                f.patch = static_cast<int32_t>(plan.patches.size());
                plan.patches.emplace_back();
            }
            FramePatch& patch = plan.patches[static_cast<size_t>(f.patch)];
            patch = FramePatch{};
            patch.reencoded = true;
            patch.length = static_cast<uint32_t>(frames[k].size());
            patch.bytes = std::move(frames[k]);
            plan.vbr = plan.vbr || ((HeaderWord(patch.bytes) >> 12) & 0x0F) != modelBitrate;
        }
        join.reencodedFrames = static_cast<int>(count);
    }
    return true;
}
