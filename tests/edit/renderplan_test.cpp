#include "edit/renderplan.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

// 100 stereo MPEG-1 frames of 128 kbit/s at 44.1 kHz (417 bytes, 36 of them before the main data
// area), behind a LAME tag with delay 576 and padding 1000: frame i starts at decoded sample
// i * 1152 - 1105, and the source decodes to 100 * 1152 - 1105 - 471 = 113624 samples.
constexpr uint32_t kHeader128 = 0xFFFB9044;
constexpr uint32_t kHeader320 = 0xFFFBE044;
constexpr int64_t kLead = 1105;
constexpr int64_t kDecoded = 113624;

int64_t At(int frame) { return frame * 1152 - kLead; }

struct Source {
    FrameTable table;
    std::map<size_t, uint32_t> ownBytes;  // main data bytes of a frame (side information)

    Source() {
        table.layer = 3;
        table.sampleRate = 44100;
        table.samplesPerFrame = 1152;
        table.vbr.kind = VbrHeader::Kind::Info;
        table.vbr.hasLame = true;
        table.vbr.encoderDelay = 576;
        table.vbr.encoderPadding = 1000;
        for (int i = 0; i < 100; ++i) table.frames.push_back({1000 + i * 417, kHeader128, 417, 0});
    }
    SideInfoSource SideInfo() const {
        return [this](size_t i) {
            Layer3SideInfo info;
            info.granules = 1;
            info.channels = 1;
            info.mainDataBegin = table.frames[i].mainDataBegin;
            const auto own = ownBytes.find(i);
            info.gr[0][0].part23Length = static_cast<uint16_t>(8 * (own == ownBytes.end() ? 50 : own->second));
            return std::optional<Layer3SideInfo>(info);
        };
    }
};

TEST(RenderPlan, JoinsCarryTheReservoirInTheFrameBeforeThem) {
    struct Case {
        const char* name;
        std::map<size_t, uint16_t> mainDataBegin;
        std::map<size_t, uint32_t> ownBytes;
        bool frame9At320 = false;
        std::vector<SampleRange> removed;
        bool repair = true;
        std::vector<SampleRange> kept;
        std::vector<PlannedJoin> joins;
        std::vector<FramePatch> patches;
    };
    // Frames 10..19 removed unless said otherwise; the join then lands on output frame 10.
    const std::vector<SampleRange> frames10to19 = {{At(10), At(20)}}, bothParts = {{0, At(10)}, {At(20), kDecoded}};
    const Case cases[] = {
        {"the borrowed bytes fit the unused tail", {{20, 300}}, {}, false, frames10to19, true, bothParts,
         {{At(10), JoinMode::Lossless, 0, 10, false}}, {{417, false, 0, {{19, 117, 300, 117}}, false, {}}}},
        {"too many for the tail: the frame grows to 160 kbit/s", {{20, 400}}, {}, false,
         {{At(10) + 300, At(20) - 300}}, true, bothParts, {{At(10), JoinMode::Lossless, 0, 10, true}},
         {{522, true, 0xA0, {{18, 398, 19, 122}, {19, 36, 381, 141}}, false, {}}}},
        {"a full 320 kbit/s frame cannot grow: the join moves back to a frame that borrows nothing",
         {{20, 300}, {19, 0}}, {{9, 1000}}, true, frames10to19, true, {{0, At(10)}, {At(19), kDecoded}},
         {{At(10), JoinMode::LeadFrames, 0, 10, false}}, {}},
        {"without the repair the frame before the join stays as it was", {{20, 300}}, {}, false, frames10to19,
         false, bothParts, {{At(10), JoinMode::Lossless, 0, 10, false}}, {}},
        {"a removal under half a frame leaves no join", {}, {}, false, {{At(10) + 100, At(10) + 500}}, true,
         {{0, kDecoded}}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Source s;
        for (auto [i, m] : c.mainDataBegin) s.table.frames[i].mainDataBegin = m;
        s.ownBytes = c.ownBytes;
        if (c.frame9At320) {
            s.table.frames[9].header = kHeader320;
            s.table.frames[9].length = 1044;
        }
        EditList edits(kDecoded);
        ASSERT_EQ(edits.DeleteSource(c.removed), EditRefusal::None);
        RenderPlan plan;
        std::string error;
        ASSERT_TRUE(PlanRender(s.table, edits, s.SideInfo(), {c.repair}, plan, &error)) << error;
        std::vector<SampleRange> kept;
        int64_t output = 0;
        for (const PlannedSegment& seg : plan.segments) {
            EXPECT_EQ(seg.outputStart, output);
            output += seg.source.Length();
            kept.push_back(seg.source);
        }
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(plan.outputSamples, output);
        EXPECT_EQ(plan.joins, c.joins);
        EXPECT_EQ(plan.patches, c.patches);
        // Whole source from the start: no lead frames, the source's delay; to the end: its padding.
        EXPECT_EQ(plan.encoderDelay, 576);
        EXPECT_EQ(plan.encoderPadding, 1000);
        // Every frame of the kept runs once, in order; the patch sits on the frame before the join.
        ASSERT_EQ(plan.frames.size(), static_cast<size_t>(output + kLead + 471) / 1152);
        size_t join = 0;
        for (size_t i = 1; i < plan.frames.size(); ++i) {
            if (join < plan.joins.size() && plan.joins[join].outputFrame == i) {
                EXPECT_EQ(plan.frames[i].source, static_cast<size_t>(c.kept[++join].start + kLead) / 1152);
                EXPECT_EQ(plan.frames[i - 1].patch, c.patches.empty() ? -1 : 0);
            } else {
                EXPECT_EQ(plan.frames[i].source, plan.frames[i - 1].source + 1) << i;
                EXPECT_EQ(plan.frames[i - 1].patch, -1);
            }
        }
    }
}

TEST(RenderPlan, KeepingTheMiddleTakesLeadFramesAndDecoderPadding) {
    Source s;
    // The frame before the first kept one borrows 500 bytes: two more frames go in front.
    s.table.frames[29].mainDataBegin = 500;
    EditList edits(kDecoded);
    ASSERT_EQ(edits.Keep({{At(30), At(40)}}), EditRefusal::None);
    RenderPlan plan;
    ASSERT_TRUE(PlanRender(s.table, edits, s.SideInfo(), {}, plan, nullptr));
    ASSERT_EQ(plan.frames.size(), 13u);
    EXPECT_EQ(plan.frames.front().source, 27u);
    EXPECT_EQ(plan.frames.back().source, 39u);
    EXPECT_EQ(plan.encoderDelay, 3 * 1152 - 529);
    EXPECT_EQ(plan.encoderPadding, 529);
    EXPECT_EQ(plan.outputSamples, 10 * 1152);
    EXPECT_TRUE(plan.joins.empty());

    // An edit list of another length, or one that keeps less than a frame, is refused.
    std::string error;
    EXPECT_FALSE(PlanRender(s.table, EditList(kDecoded + 1), s.SideInfo(), {}, plan, &error));
    EXPECT_EQ(error, "The edit list was made for a different length of audio");
    ASSERT_EQ(edits.Keep({{At(30), At(30) + 500}}), EditRefusal::None);
    EXPECT_FALSE(PlanRender(s.table, edits, s.SideInfo(), {}, plan, &error));
}

}  // namespace

// Smooth joins: the outgoing segment ends on the exact sample, the next one resumes whole frames
// later, and the few frames before the join wait to be encoded; a join too near either end of the
// audio for its frames is made lossless, and a removal under half a frame removes nothing.
TEST(RenderPlan, SmoothJoinsKeepTheirSampleAndRoundTheRemovedLengthToFrames) {
    struct Case {
        const char* name;
        SampleRange removed;
        std::optional<JoinMode> mode;  // none: no join at all
        int64_t removedSamples;
    };
    const Case cases[] = {
        {"in the middle: 10000 samples asked, 9 frames removed", {50000, 60000}, JoinMode::Smooth, 9 * 1152},
        {"a remainder under half a frame kept", {50000, 50000 + 8 * 1152 + 570}, JoinMode::Smooth, 8 * 1152},
        {"a remainder over half a frame taken", {50000, 50000 + 8 * 1152 + 580}, JoinMode::Smooth, 9 * 1152},
        {"too near the start for frames before the join", {1000, 3000}, JoinMode::Lossless, At(3) - At(1)},
        {"too near the end for a copied frame after them", {111000, 113000}, JoinMode::Lossless, At(98) - At(96)},
        {"under half a frame: nothing removed", {50000, 50500}, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Source s;
        EditList edits(kDecoded);
        ASSERT_EQ(edits.DeleteSource({c.removed}), EditRefusal::None);
        RenderPlan plan;
        std::string error;
        ASSERT_TRUE(PlanRender(s.table, edits, s.SideInfo(), {.smoothJoins = true}, plan, &error)) << error;
        ASSERT_EQ(plan.joins.size(), c.mode ? 1u : 0u);
        EXPECT_EQ(plan.outputSamples, kDecoded - c.removedSamples);
        if (!c.mode) continue;
        const PlannedJoin& j = plan.joins.front();
        EXPECT_EQ(j.mode, *c.mode);
        EXPECT_EQ(j.removed, c.removedSamples);
        EXPECT_EQ(j.requestedRemoved, c.removed.Length());
        ASSERT_EQ(plan.segments.size(), 2u);
        EXPECT_EQ(plan.segments[1].source.start - plan.segments[0].source.end, c.removedSamples);
        EXPECT_EQ(plan.segments[1].outputStart, j.outputSample);
        if (j.mode != JoinMode::Smooth) continue;
        EXPECT_EQ(j.outputSample, c.removed.start);
        EXPECT_GE(j.reencodedFrames, 2);
        EXPECT_LE(j.reencodedFrames, 4);
        // The crossfade of 5 ms (220 samples) around the join lies inside the frames to encode.
        EXPECT_LE(At(static_cast<int>(j.reencodeFrom)), c.removed.start - 110 - 576);
        EXPECT_GE(At(static_cast<int>(j.outputFrame)), c.removed.start + 110 + 480);
        for (size_t i = 0; i < plan.frames.size(); ++i) {
            const bool placeholder = i >= j.reencodeFrom && i < j.outputFrame;
            ASSERT_EQ(plan.frames[i].patch >= 0, placeholder) << i;
            if (placeholder) EXPECT_TRUE(plan.patches[plan.frames[i].patch].reencoded && plan.patches[plan.frames[i].patch].bytes.empty());
            // Copied frames after the join are the source's whole frames later.
            const size_t shift = i >= j.outputFrame ? static_cast<size_t>(c.removedSamples / 1152) : 0;
            if (!placeholder) EXPECT_EQ(plan.frames[i].source, i + shift) << i;
        }
    }
}
