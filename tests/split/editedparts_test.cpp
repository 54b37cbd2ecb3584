// Parts and pauses of an edited timeline: pauses found in the file move onto the timeline the cut
// points live on, and each part is written as the edited stretch it is.
#include "split/editedparts.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/testfiles.h"

namespace {

TEST(EditedParts, PausesMoveOntoTheEditedTimeline) {
    EditList edits(1000);  // 10 s at 100 samples a second
    ASSERT_EQ(edits.Delete({200, 400}), EditRefusal::None);
    struct Case {
        Pause pause;
        std::vector<std::pair<double, double>> expected;
    };
    const Case cases[] = {
        {{0.5, 1.5}, {{0.5, 1.5}}},              // before the cut: as it was
        {{1.5, 2.5}, {{1.5, 2.0}}},              // into the removed range: what is left
        {{2.5, 3.5}, {}},                        // inside it: gone
        {{3.0, 5.0}, {{2.0, 3.0}}},              // out of it: moved up by the cut
        {{1.0, 6.0}, {{1.0, 2.0}, {2.0, 4.0}}},  // across the join: a piece on each side
    };
    for (const Case& c : cases) {
        std::vector<std::pair<double, double>> got;
        for (const Pause& p : PausesOnTimeline(edits, 100, {c.pause})) got.emplace_back(p.start, p.end);
        EXPECT_EQ(got, c.expected) << c.pause.start << ".." << c.pause.end;
    }
}

TEST(EditedParts, EachPartIsItsStretchOfTheEditedTimelineAndNothingIsReplaced) {
    testfiles::TempDir dir;
    const std::string mp3 = dir.file("talk.mp3");
    testfiles::WriteFile(mp3, testfiles::SilentFrames(500));  // 13.06 s
    SplitSource source;
    std::string error;
    ASSERT_TRUE(source.Open(mp3, &error)) << error;
    EditList edits(static_cast<int64_t>(source.DecodedSamples()));
    ASSERT_EQ(edits.Delete({2 * 44100, 5 * 44100}), EditRefusal::None);
    SplitPlan plan(static_cast<double>(edits.OutputSamples()) / 44100);
    ASSERT_GE(plan.AddCut(6.0), 0);
    SplitOptions options;
    options.outputDir = dir.path().string();

    const SplitOutcome outcome = SaveEditedParts(source, edits, plan, options);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.written.size(), 2u);
    const double lengths[] = {6.0, static_cast<double>(edits.OutputSamples()) / 44100 - 6.0};
    for (size_t i = 0; i < 2; ++i) {
        SplitSource part;
        ASSERT_TRUE(part.Open(outcome.written[i].path, &error)) << error;
        // Joins and part ends fall on whole frames.
        EXPECT_NEAR(part.DurationSeconds(), lengths[i], 2 * 1152 / 44100.0) << i;
    }

    // Saved again without leave to replace: refused before anything is written.
    const auto before = testfiles::ReadFile(outcome.written[0].path);
    testfiles::WriteFile(outcome.written[1].path, testfiles::FromString("not a part"));
    const SplitOutcome again = SaveEditedParts(source, edits, plan, options);
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.written.empty());
    EXPECT_EQ(testfiles::ReadFile(outcome.written[0].path), before);
    EXPECT_EQ(testfiles::ReadFile(outcome.written[1].path), testfiles::FromString("not a part"));
}

}  // namespace
