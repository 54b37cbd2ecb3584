#include "level/gainplan.h"

#include <gtest/gtest.h>

#include "level/undorecord.h"
#include "mpeg/framescan.h"

namespace {

struct At {
    size_t granule;
    int channel, steps;
};

void ExpectSteps(const GainPlan& plan, std::initializer_list<At> expected) {
    for (const At& a : expected) EXPECT_EQ(plan.StepsAt(a.granule, a.channel), a.steps) << a.granule << "/" << a.channel;
}

}  // namespace

TEST(GainPlan, StepsClampNeverWrapAndSilenceStays) {
    struct Case {
        int old, steps, expected;
        bool clamped;
    } cases[] = {
        {150, 2, 152, false}, {150, -3, 147, false}, {254, 1, 255, false}, {254, 2, 255, true},
        {2, -2, 0, false},    {2, -3, 0, true},      {0, 5, 0, false},     {0, -5, 0, false},
    };
    for (const Case& c : cases) {
        GainPlan plan(4);
        plan.AddToAll(c.steps);
        bool clamped = false;
        EXPECT_EQ(plan.Apply(static_cast<uint8_t>(c.old), 0, 1, &clamped), c.expected) << c.old << " " << c.steps;
        EXPECT_EQ(clamped, c.clamped) << c.old << " " << c.steps;
    }
    // Undoing another program's wrapped change wraps back.
    GainPlan wrap(1);
    wrap.AddToChannel(0, 10);
    wrap.SetWrap(true);
    EXPECT_EQ(wrap.Apply(250, 0, 0, nullptr), 4);
    EXPECT_EQ(wrap.Apply(250, 0, 1, nullptr), 250);
}

TEST(GainPlan, RangesAndChannelsAddUp) {
    GainPlan plan(10);
    plan.AddToChannel(1, -1);
    plan.AddToRange({2, 5}, 3);
    // A range past the end stops at the end.
    plan.AddToRange({8, 50}, 1);
    ExpectSteps(plan, {{1, 0, 0}, {1, 1, -1}, {2, 0, 3}, {4, 1, 2}, {5, 0, 0}, {9, 0, 1}});
}

TEST(GainPlan, FadesRampMonotonicFromAndToSilence) {
    GainPlan out(300);
    out.AddFadeOut({100, 300});
    GainPlan in(300);
    in.AddFadeIn({0, 200});
    ExpectSteps(out, {{99, 0, 0}, {100, 0, 0}, {299, 0, kMute}, {298, 0, -kFadeDepthSteps}});
    ExpectSteps(in, {{0, 1, kMute}, {1, 1, -kFadeDepthSteps}, {199, 1, 0}});
    for (size_t k = 101; k < 299; ++k) {
        EXPECT_LE(out.StepsAt(k, 0), out.StepsAt(k - 1, 0)) << k;
        EXPECT_EQ(out.StepsAt(k, 0), out.StepsAt(k, 1)) << k;
    }
    for (size_t k = 2; k < 200; ++k) EXPECT_GE(in.StepsAt(k, 0), in.StepsAt(k - 1, 0)) << k;
    // A muted granule is muted whatever its gain, and a gain moved later leaves it muted.
    out.AddToRange({0, 300}, 2);
    EXPECT_EQ(out.Apply(180, 299, 0, nullptr), 0);
    EXPECT_EQ(out.Apply(180, 298, 0, nullptr), 180 - kFadeDepthSteps + 2);
}

TEST(GainPlan, DecibelsRoundToTheNearestStep) {
    for (auto [db, steps] : {std::pair{3.0, 2}, {-4.5, -3}, {0.7, 0}, {0.8, 1}}) EXPECT_EQ(StepsForDb(db), steps) << db;
    EXPECT_NEAR(DbForSteps(4), 6.0206, 1e-4);
}

TEST(GainPlan, TimeMapsToGranulesBehindTheEncoderDelay) {
    FrameTable table;
    table.sampleRate = 44100;
    table.frames.resize(1000);
    table.version = MpegVersion::Mpeg1;
    // Without a LAME tag the decoder's own delay of 529 samples is heard before granule 0's audio.
    GranuleRange r = GranulesForTime(table, 1.0, 2.0);
    EXPECT_EQ(r.first, 76u);  // (44100 - 529) / 576 = 75.6
    EXPECT_EQ(r.end, 152u);   // (88200 - 529) / 576 = 152.2
    EXPECT_EQ(GranulesForTime(table, 0.0, 0.5).first, 0u);
    // With one, the encoder delay it announces comes first and is not heard.
    table.vbr.hasLame = true;
    table.vbr.encoderDelay = 576;
    r = GranulesForTime(table, 0.0, 1e9);
    EXPECT_EQ(r.first, 1u);
    EXPECT_EQ(r.end, 2000u);
    table.version = MpegVersion::Mpeg2;
    EXPECT_EQ(GranulesForTime(table, 0.0, 1e9).end, 1000u);
    EXPECT_EQ(GranulesForTime(table, 2.0, 1.0).Size(), 0u);
}

TEST(GainPlan, SpansOfARenderedTimelineGetTheirOwnLevels) {
    // Two spans of 10 granules' worth each behind a 576-sample encoder delay (one granule).
    const GainPlan plan = PlanForSpans(30, 576, {{0, 5760, 2, 0, 2880}, {5760, 11520, -1, 2880, 0}});
    // Granule 0 is the encoder delay's; the first span's fade-out ends at 10, the second's
    // fade-in starts at 11.
    ExpectSteps(plan, {{0, 0, 0}, {1, 0, 2}, {10, 1, kMute}, {11, 0, kMute}, {20, 0, -1}, {21, 0, 0}});
    EXPECT_LT(plan.StepsAt(9, 0), 2);
}

TEST(UndoRecord, ReadsAndWritesMp3gainsForm) {
    struct Case {
        const char* text;
        bool valid;
        int left, right;
        bool wrap;
    } cases[] = {
        {"-002,-002,N", true, -2, -2, false}, {"+003,+001,W", true, 3, 1, true}, {"+000,+000,N", true, 0, 0, false},
        {"-2,-2,N", true, -2, -2, false},     {"-002,-002", false, 0, 0, false}, {"x,1,N", false, 0, 0, false},
        {"-002,-002,Q", false, 0, 0, false},  {"", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        UndoRecord r{99, 99, false};
        ASSERT_EQ(ParseUndoRecord(c.text, r), c.valid) << c.text;
        EXPECT_EQ(r.left, c.valid ? c.left : 99) << c.text;
        EXPECT_EQ(r.right, c.valid ? c.right : 99) << c.text;
        EXPECT_EQ(r.wrap, c.wrap) << c.text;
    }
    EXPECT_EQ(FormatUndoRecord({-2, -2, false}), "-002,-002,N");
    EXPECT_EQ(FormatUndoRecord({12, 0, true}), "+012,+000,W");
}
