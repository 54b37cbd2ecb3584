#include "edit/editlist.h"

#include <gtest/gtest.h>

namespace {

std::vector<SampleRange> Ranges(const EditList& list) {
    std::vector<SampleRange> out;
    for (const EditSegment& s : list.Segments()) out.push_back(s.source);
    return out;
}

// Edits applied in order to a 1000-sample source, with the segments they leave.
TEST(EditList, OperationsLeaveTheseSegments) {
    enum Op { Delete, KeepOnly, Keep, DeleteSource, Restore };
    struct Step {
        Op op;
        std::vector<SampleRange> ranges;
        EditRefusal refusal;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<SampleRange> segments;
    };
    const Case cases[] = {
        {"delete middle", {{Delete, {{100, 200}}, EditRefusal::None}}, {{0, 100}, {200, 1000}}},
        {"delete at start", {{Delete, {{0, 10}}, EditRefusal::None}}, {{10, 1000}}},
        {"second delete is on the output timeline",
         {{Delete, {{100, 200}}, EditRefusal::None}, {Delete, {{50, 150}}, EditRefusal::None}},
         {{0, 50}, {250, 1000}}},
        {"delete across a join", {{Delete, {{100, 200}}, EditRefusal::None}, {Delete, {{90, 110}}, EditRefusal::None}},
         {{0, 90}, {210, 1000}}},
        {"keep only", {{Delete, {{100, 200}}, EditRefusal::None}, {KeepOnly, {{50, 150}}, EditRefusal::None}},
         {{50, 100}, {200, 250}}},
        {"segment list, touching ranges merge", {{Keep, {{0, 10}, {10, 20}, {500, 600}}, EditRefusal::None}},
         {{0, 20}, {500, 600}}},
        {"delete source ranges", {{DeleteSource, {{100, 200}, {900, 1000}}, EditRefusal::None}},
         {{0, 100}, {200, 900}}},
        {"restore", {{Delete, {{100, 200}}, EditRefusal::None}, {Restore, {}, EditRefusal::None}}, {{0, 1000}}},
        {"empty range refused", {{Delete, {{5, 5}}, EditRefusal::EmptyRange}}, {{0, 1000}}},
        {"reversed range refused", {{KeepOnly, {{9, 5}}, EditRefusal::EmptyRange}}, {{0, 1000}}},
        {"past the output end refused",
         {{Delete, {{0, 500}}, EditRefusal::None}, {Delete, {{400, 501}}, EditRefusal::OutsideAudio}}, {{500, 1000}}},
        {"before 0 refused", {{Delete, {{-1, 5}}, EditRefusal::OutsideAudio}}, {{0, 1000}}},
        {"overlap refused", {{Keep, {{0, 100}, {99, 200}}, EditRefusal::Overlap}}, {{0, 1000}}},
        {"out of order refused", {{DeleteSource, {{500, 600}, {100, 200}}, EditRefusal::Overlap}}, {{0, 1000}}},
        {"past the source refused", {{Keep, {{900, 1001}}, EditRefusal::OutsideAudio}}, {{0, 1000}}},
        {"deleting everything refused", {{Delete, {{0, 1000}}, EditRefusal::NothingLeft}}, {{0, 1000}}},
        {"deleting all of the source refused", {{DeleteSource, {{0, 1000}}, EditRefusal::NothingLeft}}, {{0, 1000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditList list(1000);
        for (const Step& s : c.steps) {
            EditRefusal got = EditRefusal::None;
            switch (s.op) {
            case Delete: got = list.Delete(s.ranges[0]); break;
            case KeepOnly: got = list.KeepOnly(s.ranges[0]); break;
            case Keep: got = list.Keep(s.ranges); break;
            case DeleteSource: got = list.DeleteSource(s.ranges); break;
            case Restore: list.Restore(); break;
            }
            EXPECT_EQ(got, s.refusal);
        }
        EXPECT_EQ(Ranges(list), c.segments);
    }
}

TEST(EditList, MapsBetweenTimelines) {
    EditList list(1000);
    ASSERT_EQ(list.DeleteSource({{100, 200}, {500, 700}}), EditRefusal::None);
    // Output: [0,100) -> 0.., [100,400) -> 200.., [400,700) -> 700..
    EXPECT_EQ(list.OutputSamples(), 700);
    EXPECT_EQ(list.Joins(), (std::vector<int64_t>{100, 400}));
    const struct {
        int64_t output, source;
    } pairs[] = {{0, 0}, {99, 99}, {100, 200}, {399, 499}, {400, 700}, {699, 999}};
    for (const auto& p : pairs) {
        EXPECT_EQ(list.ToSource(p.output), p.source) << p.output;
        EXPECT_EQ(list.ToOutput(p.source), p.output) << p.source;
    }
    EXPECT_EQ(list.ToSource(700), 1000);
    EXPECT_EQ(list.ToOutput(150), std::nullopt);
    EXPECT_EQ(list.ToOutput(1000), std::nullopt);
    EXPECT_EQ(list.SegmentAt(400), 2u);
    EXPECT_EQ(list.OutputStart(2), 400);
}

TEST(EditList, IsAValueWithLevelsThatSplitWithTheirSegment) {
    EditList list(1000);
    const EditList whole = list;
    EXPECT_TRUE(list.IsWhole());
    ASSERT_EQ(list.SetSegments({{{0, 1000}, {2, 100, 50}}}), EditRefusal::None);
    EXPECT_FALSE(list.IsWhole());
    ASSERT_EQ(list.Delete({400, 600}), EditRefusal::None);
    ASSERT_EQ(list.Segments().size(), 2u);
    // The gain goes with both pieces; each fade stays at the end it was set on.
    EXPECT_EQ(list.Segments()[0].level, (SegmentLevel{2, 100, 0}));
    EXPECT_EQ(list.Segments()[1].level, (SegmentLevel{2, 0, 50}));
    EditList copy = list;
    EXPECT_EQ(copy, list);
    copy.Restore();
    EXPECT_EQ(copy, whole);
    EXPECT_NE(copy, list);
}

}  // namespace
