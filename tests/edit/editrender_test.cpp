// Edits of real encoder output, decoded by mpg123 and ffmpeg and compared with the source.
#include "edit/editrender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "edit/sourcetimeline.h"
#include "mpeg/framescan.h"
#include "mpeg/sideinfo.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

struct Encoding {
    const char* name;
    int rate;
    int channels;
    const char* lameArgs;
};

const Encoding kEncodings[] = {
    {"cbr128", 44100, 2, "-b 128 --cbr -m s"},
    {"vbr_v2", 44100, 2, "-V 2"},
    {"joint_crc", 44100, 2, "-b 192 --cbr -m j -p"},
    {"mono48k", 48000, 1, "-b 64 --cbr -m m"},
    // Too small a frame for a Xing header: the encoder writes none, and decoders give every sample.
    {"mpeg2_22k", 22050, 2, "-b 48 --cbr"},
};

// Deleted ranges in seconds of 20 s sources: one, two (one to the end), five (one from the start).
const std::vector<std::vector<std::pair<double, double>>> kDeletions = {
    {{7.3, 9.1}},
    {{3.21, 5.0}, {18.7, 20.0}},
    {{0, 0.5}, {2.2, 2.9}, {9.5, 11}, {13.3, 13.9}, {16.0, 17.25}},
};

constexpr int kTolerance = 2;  // LSB
constexpr int64_t kAroundJoin = 1152;

// Sources are made once per build folder and kept: encoding them is the slow part.
std::string Fixture(const Encoding& e) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::read_symlink("/proc/self/exe").parent_path() / "edit-fixtures";
    fs::create_directories(dir);
    const fs::path mp3 = dir / (std::string(e.name) + ".mp3");
    if (fs::exists(mp3)) return mp3.string();
    // Tests run in parallel processes: each makes its own copy and names it when complete.
    const std::string own = "." + std::to_string(getpid());
    const std::string wav = (dir / (std::string(e.name) + own + ".wav")).string();
    const std::string part = mp3.string() + own + ".part";
    // A sweep against pink noise with a beat: busy and quiet stretches, so the encoder leans on
    // the bit reservoir in some frames and fills it in others.
    const std::string cmd = "sox -n -r " + std::to_string(e.rate) + " -c " + std::to_string(e.channels) + " -b 16 " +
                            ShellQuote(wav) + " synth 20 sine 100:3000 pinknoise tremolo 2.5 70 vol 0.5 && lame --quiet " +
                            e.lameArgs + " " + ShellQuote(wav) + " " + ShellQuote(part) + " && mv " + ShellQuote(part) +
                            " " + ShellQuote(mp3.string()) + " && rm -f " + ShellQuote(wav);
    if (std::system(cmd.c_str()) != 0) return {};
    return mp3.string();
}

struct Decoded {
    std::vector<int16_t> pcm;  // interleaved
    std::string warnings;
};

// Decodes with mpg123 or ffmpeg; their complaints (mpg123's "Note:", "Warning:" and error
// lines, anything ffmpeg says at warning level) come back as text.
Decoded Decode(const std::string& decoder, const std::string& path, const std::string& errFile) {
    const std::string cmd = decoder == "mpg123"
                                ? "mpg123 -s " + ShellQuote(path) + " 2>" + ShellQuote(errFile)
                                : "ffmpeg -v warning -nostdin -i " + ShellQuote(path) + " -f s16le - 2>" + ShellQuote(errFile);
    const std::string bytes = CommandOutput(cmd);
    Decoded d;
    d.pcm.resize(bytes.size() / 2);
    std::memcpy(d.pcm.data(), bytes.data(), d.pcm.size() * 2);
    std::ifstream err(errFile);
    for (std::string line; std::getline(err, line);) {
        const bool complaint = decoder == "ffmpeg" || line.find("Note:") != std::string::npos ||
                               line.find("Warning") != std::string::npos || line.find("error") != std::string::npos;
        if (complaint && !line.empty()) d.warnings += line + "\n";
    }
    return d;
}

// What is wrong with `out` as the render `plan` of `source` (both decoded the same way): empty
// when it has the kept samples' count and every sample outside `skip` is within kTolerance of the
// source's at the mapped position.
// `shift` is where the source's decoded sample 0 is in `source`: a source without a LAME tag decodes
// with the 529 samples of decoder delay that the edited file, which has one, drops.
std::string Mismatch(const Decoded& source, const Decoded& out, const RenderPlan& plan, int channels, int64_t shift,
                     const std::vector<SampleRange>& skip) {
    std::ostringstream why;
    if (!out.warnings.empty()) why << "decoder warnings: " << out.warnings;
    if (static_cast<int64_t>(out.pcm.size()) != plan.outputSamples * channels)
        return why.str() + "decoded " + std::to_string(out.pcm.size() / channels) + " samples, kept " +
               std::to_string(plan.outputSamples);
    int worst = 0;
    int64_t worstAt = -1;
    for (const PlannedSegment& seg : plan.segments) {
        for (int64_t k = 0; k < seg.source.Length(); ++k) {
            const int64_t o = seg.outputStart + k;
            bool skipped = false;
            for (const SampleRange& r : skip) skipped = skipped || (o >= r.start && o < r.end);
            if (skipped) continue;
            for (int c = 0; c < channels; ++c) {
                const int d = std::abs(out.pcm[o * channels + c] - source.pcm[(shift + seg.source.start + k) * channels + c]);
                if (d > worst) worst = d, worstAt = o;
            }
        }
    }
    if (worst > kTolerance) why << "sample " << worstAt << " differs by " << worst;
    return why.str();
}

class EditRenderTest : public ::testing::TestWithParam<Encoding> {};

// Each deletion set saved three ways: lossless with the reservoir repair, without it, and with
// smooth joins. Lossless: decoded by mpg123 and ffmpeg to the kept samples (but kAroundJoin around
// each join), every frame but the one before a join the source's byte for byte. Smooth (mpg123):
// each join on its exact sample, the removed lengths whole frames, no click, and every sample the
// source's outside what the re-encoded frames reach: their own samples, and after them the granule
// where the first copied frame overlaps the last re-encoded one plus the 480 samples of the
// synthesis filter's memory.
TEST_P(EditRenderTest, DeletionsDecodeToTheKeptSamples) {
    const Encoding& e = GetParam();
    const std::string source = Fixture(e);
    ASSERT_FALSE(source.empty()) << "sox or lame failed";
    TempDir dir;
    FrameTable table;
    std::string error;
    ASSERT_TRUE(ScanFrames(source, table, &error)) << error;
    const Bytes sourceBytes = ReadFile(source);
    const SourceTimeline timeline(table);
    const int64_t shift = table.vbr.hasLame ? 0 : 529, n = table.samplesPerFrame;
    const int ch = e.channels;
    const std::vector<std::string> decoders = {"mpg123", "ffmpeg"};
    std::vector<Decoded> sourcePcm;
    for (const std::string& d : decoders) {
        sourcePcm.push_back(Decode(d, source, dir.file("err")));
        ASSERT_EQ(static_cast<int64_t>(sourcePcm.back().pcm.size()), (timeline.DecodedSamples() + shift) * ch) << d;
    }
    const auto S = [&](int64_t s, int c) { return int{sourcePcm[0].pcm[(shift + s) * ch + c]}; };
    const int64_t tenMs = e.rate / 100, crossfade = e.rate * 5 / 1000;
    // The side information as the walk saw it, refused one byte short; in a protected stream our
    // CRC is the encoder's on every frame.
    for (const MpegFrame& f : table.frames) {
        const std::span<const uint8_t> frame(sourceBytes.data() + f.offset, f.length);
        Layer3SideInfo info;
        ASSERT_TRUE(ParseLayer3SideInfo(frame, info));
        ASSERT_EQ(info.mainDataBegin, f.mainDataBegin);
        ASSERT_FALSE(ParseLayer3SideInfo(frame.first(info.headerBytes - 1), info));
        uint16_t crc = 0;
        if (Layer3Crc(frame, crc)) {
            ASSERT_EQ(crc, (frame[4] << 8) | frame[5]);
        }
    }

    enum Mode { Repaired, Unrepaired, Smooth };
    int unrepairedFailures = 0, joinsWithBorrowedBytes = 0;
    for (const auto& deletion : kDeletions) {
        std::vector<SampleRange> ranges;
        for (auto [a, b] : deletion) ranges.push_back({std::llround(a * e.rate), std::llround(b * e.rate)});
        EditList edits(timeline.DecodedSamples());
        ASSERT_EQ(edits.DeleteSource(ranges), EditRefusal::None);
        for (const Mode mode : {Repaired, Unrepaired, Smooth}) {
            SCOPED_TRACE(std::to_string(deletion.size()) + " deletions, mode " + std::to_string(mode));
            const std::string out = dir.file("edited.mp3");
            RenderPlan plan;
            const RenderOptions options{.repairReservoir = mode != Unrepaired, .smoothJoins = mode == Smooth};
            ASSERT_TRUE(SaveEdited(source, table, edits, options, out, nullptr, {}, {}, plan, &error)) << error;
            ASSERT_EQ(plan.joins.size(), ranges.size() - (ranges.front().start == 0) -
                                             (ranges.back().end == timeline.DecodedSamples()));
            int64_t kept = 0;
            for (const PlannedSegment& s : plan.segments) kept += s.source.Length();
            EXPECT_EQ(kept, plan.outputSamples);
            std::vector<SampleRange> skip;
            if (mode != Smooth) {
                for (const PlannedJoin& j : plan.joins)
                    skip.push_back({j.outputSample - kAroundJoin, j.outputSample + kAroundJoin});
                std::string mismatch;
                for (size_t d = 0; d < decoders.size(); ++d) {
                    const Decoded decoded = Decode(decoders[d], out, dir.file("err"));
                    const std::string why = Mismatch(sourcePcm[d], decoded, plan, ch, shift, skip);
                    if (!why.empty()) mismatch += decoders[d] + ": " + why + "\n";
                }
                if (mode == Unrepaired) {
                    unrepairedFailures += !mismatch.empty();
                    continue;
                }
                EXPECT_EQ(mismatch, "");
                for (const PlannedJoin& j : plan.joins) {
                    EXPECT_NE(j.mode, JoinMode::LeadFrames) << "join at " << j.outputSample;
                    joinsWithBorrowedBytes += table.frames[plan.frames[j.outputFrame].source].mainDataBegin > 0;
                }
                // Every audio frame but the one before each join is the source's, byte for byte.
                FrameTable written;
                ASSERT_TRUE(ScanFrames(out, written, &error)) << error;
                ASSERT_EQ(written.frames.size(), plan.frames.size());
                const Bytes outBytes = ReadFile(out);
                for (size_t i = 0; i < plan.frames.size(); ++i) {
                    bool beforeJoin = false;
                    for (const PlannedJoin& j : plan.joins) beforeJoin = beforeJoin || j.outputFrame == i + 1;
                    if (beforeJoin) continue;
                    const MpegFrame& o = written.frames[i];
                    const MpegFrame& s = table.frames[plan.frames[i].source];
                    ASSERT_EQ(o.length, s.length) << "frame " << i;
                    ASSERT_EQ(std::memcmp(outBytes.data() + o.offset, sourceBytes.data() + s.offset, s.length), 0)
                        << "frame " << i;
                }
                continue;
            }

            const Decoded o = Decode("mpg123", out, dir.file("err"));
            ASSERT_EQ(static_cast<int64_t>(o.pcm.size()), plan.outputSamples * ch);
            const auto O = [&](int64_t s, int c) { return int{o.pcm[s * ch + c]}; };
            const int64_t leadOut = 529 + plan.encoderDelay;
            size_t j = 0;
            for (const PlannedJoin& join : plan.joins) {
                // Only a join too near the end for its frames stays lossless.
                if (plan.segments[j + 1].source.Length() > 8 * n) {
                    ASSERT_EQ(join.mode, JoinMode::Smooth) << "join at " << join.outputSample;
                } else if (join.mode != JoinMode::Smooth) {
                    skip.push_back({join.outputSample - kAroundJoin, join.outputSample + kAroundJoin});
                    ++j;
                    continue;
                }
                EXPECT_LE(join.reencodedFrames, 4);
                EXPECT_EQ(join.removed % n, 0);
                EXPECT_LE(std::llabs(join.removed - join.requestedRemoved), n / 2);
                const int64_t from = static_cast<int64_t>(join.reencodeFrom) * n - leadOut;
                skip.push_back({from, from + join.reencodedFrames * n + 576 + 480});
                // On the exact sample: the incoming audio just after the crossfade and the outgoing
                // just before it match the source best at no shift at all.
                const int64_t at = join.outputSample, end = plan.segments[j].source.end,
                              resume = plan.segments[j + 1].source.start;
                EXPECT_EQ(end, ranges[j + (ranges.front().start == 0)].start);
                const auto bestLag = [&](int64_t outFrom, int64_t srcFrom) {
                    int64_t best = 0;
                    double bestError = -1;
                    for (int64_t lag = -8; lag <= 8; ++lag) {
                        double sum = 0;
                        for (int64_t k = 0; k < 256; ++k)
                            for (int c = 0; c < ch; ++c) sum += std::pow(O(outFrom + k, c) - S(srcFrom + lag + k, c), 2);
                        if (bestError < 0 || sum < bestError) bestError = sum, best = lag;
                    }
                    return best;
                };
                EXPECT_EQ(bestLag(at + crossfade, resume + crossfade), 0) << "incoming audio at " << at;
                EXPECT_EQ(bestLag(at - crossfade - 256, end - crossfade - 256), 0) << "outgoing audio at " << at;
                // No click: no step across the join larger than twice the largest in 10 ms of source
                // on either side of it.
                int sourceStep = 0, outStep = 0;
                for (int c = 0; c < ch; ++c) {
                    for (int64_t k = 0; k + 1 < tenMs; ++k) {
                        sourceStep = std::max({sourceStep, std::abs(S(end - tenMs + k + 1, c) - S(end - tenMs + k, c)),
                                               std::abs(S(resume + k + 1, c) - S(resume + k, c))});
                    }
                    for (int64_t k = at - tenMs; k + 1 < at + tenMs; ++k) outStep = std::max(outStep, std::abs(O(k + 1, c) - O(k, c)));
                }
                EXPECT_LE(outStep, 2 * sourceStep) << "join at " << at;
                ++j;
            }
            EXPECT_EQ(Mismatch(sourcePcm[0], o, plan, ch, shift, skip), "");
        }
    }
    // The repair is what makes the joins clean: without it the same checks fail.
    if (joinsWithBorrowedBytes > 0) {
        EXPECT_GT(unrepairedFailures, 0) << "joins without the reservoir repair decoded cleanly: the test cannot tell";
    }
}

// A cancelled render, and one that cannot read its source, leave the target as it was and no
// temporary file behind.
TEST(EditRender, CancelAndFailureLeaveTheTargetAsItWas) {
    const std::string source = Fixture(kEncodings[0]);
    ASSERT_FALSE(source.empty()) << "sox or lame failed";
    FrameTable table;
    ASSERT_TRUE(ScanFrames(source, table, nullptr));
    EditList edits(SourceTimeline(table).DecodedSamples());
    ASSERT_EQ(edits.DeleteSource({{100000, 200000}}), EditRefusal::None);
    TempDir dir;
    const std::string target = dir.file("edited.mp3");
    WriteFile(target, FromString("old"));
    RenderPlan plan;
    std::string error;
    double reached = 0;
    const auto cancelHalfWay = [&reached](double f) {
        reached = f;
        return f < 0.5;
    };
    EXPECT_FALSE(SaveEdited(source, table, edits, {}, target, nullptr, {}, cancelHalfWay, plan, &error));
    EXPECT_EQ(error, "Cancelled");
    EXPECT_GE(reached, 0.5);
    FrameTable moved = table;
    for (MpegFrame& f : moved.frames) f.offset += 1;  // the file no longer has the frames the walk saw
    ASSERT_TRUE(PlanRender(table, edits, SideInfoFromFile(source, table), {}, plan, &error)) << error;
    EXPECT_FALSE(WriteRender(source, moved, plan, target, nullptr, {}, {}, &error));
    EXPECT_EQ(error, "The source file changed while the edit was written");
    EXPECT_EQ(ReadFile(target), FromString("old"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(LameOutput, EditRenderTest, ::testing::ValuesIn(kEncodings),
                         [](const ::testing::TestParamInfo<Encoding>& info) { return std::string(info.param.name); });

}  // namespace
