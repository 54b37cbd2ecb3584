// The join plan from frame tables alone: which lead frames are written once, where each input's
// audio starts, and which inputs are refused.
#include <gtest/gtest.h>

#include "join/joinplan.h"

namespace {

constexpr uint32_t kN = 1152;

// `count` frames of 417 bytes, MPEG-1 44.1 kHz joint stereo (mono with `mono`).
FrameTable Table(size_t count, bool lame, uint16_t delay, uint16_t padding, bool mono = false) {
    FrameTable t;
    t.layer = 3;
    t.version = MpegVersion::Mpeg1;
    t.sampleRate = 44100;
    t.samplesPerFrame = kN;
    for (size_t i = 0; i < count; ++i)
        t.frames.push_back({static_cast<int64_t>(417 * (i + 1)), mono ? 0xFFFB90C4u : 0xFFFB9044u, 417, 0});
    t.vbr.hasLame = lame;
    t.vbr.encoderDelay = delay;
    t.vbr.encoderPadding = padding;
    return t;
}

JoinInput Input(const std::string& name, FrameTable t) { return {name, std::move(t), name}; }

TEST(JoinPlan, LeadFramesAreWrittenOnceOnlyWhereTheyAreTheSameFrames) {
    struct Case {
        const char* name;
        uint16_t secondDelay;
        size_t secondFrames;
        bool same;            // what the byte comparison says
        size_t comparedLead;  // frames it is asked about, 0 when never asked
        size_t skipped;
    };
    const Case cases[] = {
        {"split part with two lead frames", 2 * kN - 529, 50, true, 2, 2},
        // Starting 300 samples into its frame: the part before ends with that frame too.
        {"split part starting inside a frame", 2 * kN - 529 + 300, 50, true, 3, 3},
        {"same delay, other frames", 2 * kN - 529, 50, false, 2, 0},
        {"encoder's own delay", 576, 50, true, 0, 0},
        {"lead longer than the input", 3 * kN - 529, 3, true, 0, 0},
        {"lead longer than the input before", 11 * kN - 529, 50, true, 0, 0},
    };
    for (const Case& c : cases) {
        const std::vector<JoinInput> inputs = {Input("a.mp3", Table(10, true, 576, 1000)),
                                               Input("b.mp3", Table(c.secondFrames, true, c.secondDelay, 700))};
        size_t asked = 0;
        const JoinPlan plan = PlanJoin(inputs, [&](size_t a, size_t from, size_t b, size_t bFrom, size_t count) {
            EXPECT_EQ(a, 0u);
            EXPECT_EQ(b, 1u);
            // The first lead frame is not compared: it may carry the reservoir.
            EXPECT_EQ(bFrom, 1u);
            EXPECT_EQ(from, 10 - count);
            asked = count + bFrom;
            return c.same;
        });
        EXPECT_EQ(asked, c.comparedLead) << c.name;
        ASSERT_EQ(plan.parts.size(), 2u);
        EXPECT_EQ(plan.parts[1].firstFrame, c.skipped) << c.name;
        EXPECT_EQ(plan.parts[1].outputFrame, 10u) << c.name;
        EXPECT_EQ(plan.frames, 10 + c.secondFrames - c.skipped) << c.name;
        EXPECT_EQ(plan.delay, 576u);
        EXPECT_EQ(plan.padding, 700u);
        // The second input's audio starts after its own delay, counted from its first frame,
        // whether that frame was written or shared with the input before.
        const int64_t start = int64_t{10 * kN} - int64_t(c.skipped * kN) + c.secondDelay - 576;
        EXPECT_EQ(plan.parts[1].startSample, static_cast<uint64_t>(start)) << c.name;
        EXPECT_EQ(plan.decodedSamples, plan.frames * kN - 576 - 529 - (700 - 529)) << c.name;
    }
}

TEST(JoinPlan, InputsWithoutLameTagsAndMixedBitrates) {
    FrameTable loud = Table(5, false, 0, 0);
    for (auto& f : loud.frames) f.header = 0xFFFBA044u;  // 160 kbit/s
    const JoinPlan plan = PlanJoin({Input("a.mp3", Table(4, false, 0, 0)), Input("b.mp3", loud)},
                                   [](size_t, size_t, size_t, size_t, size_t) { return true; });
    EXPECT_TRUE(plan.vbr);
    EXPECT_EQ(plan.delay, 0u);
    EXPECT_EQ(plan.padding, 529u);  // the decoder stops at the end of the last frame
    EXPECT_EQ(plan.parts[1].startSample, 4 * kN);
    EXPECT_EQ(plan.decodedSamples, 9 * kN - 529);
}

// An input unlike the first is refused by name; a bitrate of its own is not unlike.
TEST(JoinPlan, RefusesAnInputUnlikeTheFirstByName) {
    const auto with = [](auto change) {
        FrameTable t = Table(5, true, 576, 0);
        change(t);
        return t;
    };
    const std::pair<FrameTable, std::string> cases[] = {
        {with([](FrameTable& t) { t.sampleRate = 22050; }), "odd.mp3 has 22050 Hz (the first file has 44100 Hz)"},
        {Table(5, true, 576, 0, true), "odd.mp3 has 1 channel (the first file has 2 channels)"},
        {with([](FrameTable& t) { t.version = MpegVersion::Mpeg2; }), "odd.mp3 is MPEG 2 (the first file has MPEG 1)"},
        {with([](FrameTable& t) { t.layer = 2; }), "odd.mp3 holds no MPEG Layer III audio"},
        {FrameTable{}, "odd.mp3 holds no MPEG Layer III audio"},
        {with([](FrameTable& t) { t.frames[0].header = 0xFFFBA044u; }), ""},
    };
    for (const auto& [table, message] : cases)
        EXPECT_EQ(CheckJoinInputs({Input("/x/a.mp3", Table(5, true, 576, 0)), Input("/x/b.mp3", Table(5, true, 576, 0)),
                                   Input("/x/odd.mp3", table)}),
                  message.empty() ? "" : message + "; nothing was written");
}

}  // namespace
