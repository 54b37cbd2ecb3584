// Chapters from cut points and cue sheets, and cut points from chapters.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "split/chapterplan.h"
#include "split/cuesheet.h"

namespace {

// Every frame number of a second (ff = 0..74): the INDEX 01 time in whole
// milliseconds, rounded, is the chapter's start.
TEST(CueChapters, EqualTheIndex01TimesToTheMillisecond) {
    std::string sheet = "FILE \"a.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"First\"\n    INDEX 01 00:00:07\n";
    for (int ff = 1; ff < 75; ++ff) {
        // ff minutes, ff % 60 seconds and ff frames: in order, every frame number once.
        char line[160];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", ff + 1, ff, ff % 60, ff);
        sheet += line;
    }
    CueSheet ordered;
    std::string error;
    ASSERT_TRUE(ParseCueSheet(sheet, &ordered, &error)) << error;
    ASSERT_EQ(ordered.tracks.size(), 75u);
    SplitPlan plan(80 * 60);
    ASSERT_TRUE(ApplyCueSheet(ordered, plan, &error)) << error;
    const std::vector<mdlID3::Chapter> chapters = PlanChapters(plan, "Track");
    ASSERT_EQ(chapters.size(), ordered.tracks.size());
    for (size_t i = 0; i < chapters.size(); ++i) {
        const long f = i == 0 ? 7 : (static_cast<long>(i) * 60 + static_cast<long>(i % 60)) * 75 + static_cast<long>(i);
        EXPECT_EQ(chapters[i].StartMs, static_cast<uint32_t>(std::lround(f * 1000.0 / 75))) << i;
        EXPECT_EQ(chapters[i].EndMs, i + 1 < chapters.size() ? chapters[i + 1].StartMs : 80u * 60 * 1000);
        EXPECT_EQ(chapters[i].ElementId, "chp" + std::to_string(i));
    }
    EXPECT_EQ(chapters[0].StartMs, 93u);  // 7/75 s
    EXPECT_EQ(chapters[0].Title, "First");
    EXPECT_EQ(chapters[1].Title, "Track 2");
}

TEST(ChapterCuts, ChaptersBecomeCutsGapsAndTitles) {
    const auto chapter = [](uint32_t start, uint32_t end, const char* title) {
        mdlID3::Chapter c;
        c.StartMs = start;
        c.EndMs = end;
        c.Title = title;
        return c;
    };
    SplitPlan plan(100.0);
    std::string error;
    // A lead-in before the first, a pause left out between the second and third, and a last
    // chapter that claims more than the audio holds.
    ASSERT_TRUE(ApplyChapters({chapter(2000, 30000, "A"), chapter(30000, 50000, "B"), chapter(55500, 900000, "C")}, plan,
                              &error))
        << error;
    ASSERT_EQ(plan.PartCount(), 3u);
    EXPECT_DOUBLE_EQ(plan.RangeBegin(), 2.0);
    EXPECT_DOUBLE_EQ(plan.RangeEnd(), 100.0);
    EXPECT_DOUBLE_EQ(plan.Cut(0).start, 30.0);
    EXPECT_DOUBLE_EQ(plan.Cut(1).start, 50.0);
    EXPECT_DOUBLE_EQ(plan.Cut(1).end, 55.5);
    EXPECT_EQ(plan.Part(2).title, "C");
    // Back to chapters: the same starts and titles; the gap's end is the next start.
    const auto back = PlanChapters(plan);
    EXPECT_EQ(back[1].EndMs, 50000u);
    EXPECT_EQ(back[2].StartMs, 55500u);
    EXPECT_EQ(back[2].EndMs, 100000u);

    EXPECT_FALSE(ApplyChapters({chapter(0, 10, "A"), chapter(200000, 300000, "B")}, plan, &error));
    EXPECT_EQ(plan.CutCount(), 0u);
    EXPECT_FALSE(ApplyChapters({}, plan, &error));
    EXPECT_EQ(mdlID3::ChapterTimeText(3723004), "1:02:03.004");
    EXPECT_EQ(mdlID3::ChapterTimeText(61500), "1:01.500");
}

}  // namespace
