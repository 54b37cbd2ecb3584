// The plan that the window's cut point list and `trimbel split` drive, and the part names.
#include <cmath>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "split/partnames.h"
#include "split/splitplan.h"
#include "text/textcodec.h"

namespace {

TEST(SplitPlan, CutsSplitThePartThatHoldsThemAndKeepTheTitlesInPlace) {
    SplitPlan plan(100);
    ASSERT_EQ(plan.PartCount(), 1u);
    plan.SetPartTitle(0, "Whole");
    EXPECT_EQ(plan.AddCut(60), 0);
    EXPECT_EQ(plan.AddCut(30), 0);  // before the first: index 0, the other moves up
    ASSERT_EQ(plan.PartCount(), 3u);
    EXPECT_EQ(plan.Part(0).title, "Whole");
    EXPECT_EQ(plan.Part(1).title, "");
    plan.SetPartTitle(2, "Last");
    EXPECT_DOUBLE_EQ(plan.Part(1).start, 30);
    EXPECT_DOUBLE_EQ(plan.Part(1).end, 60);
    EXPECT_DOUBLE_EQ(plan.Part(2).end, 100);

    // Removing a cut joins its two parts under the first one's texts.
    EXPECT_TRUE(plan.RemoveCut(0));
    ASSERT_EQ(plan.PartCount(), 2u);
    EXPECT_EQ(plan.Part(0).title, "Whole");
    EXPECT_DOUBLE_EQ(plan.Part(0).end, 60);
    EXPECT_EQ(plan.Part(1).title, "Last");
    EXPECT_FALSE(plan.RemoveCut(1));
}

TEST(SplitPlan, RefusesCutsOutsideTheAudioOrOnAnotherCut) {
    SplitPlan plan(10);
    for (auto [at, index] : {std::pair{0.0, -1}, {10.0, -1}, {-1.0, -1}, {std::nan(""), -1}, {5.0, 0}, {5.0, -1}})
        EXPECT_EQ(plan.AddCut(at), index) << at;
    EXPECT_EQ(plan.CutCount(), 1u);
    EXPECT_EQ(SplitPlan(0).AddCut(1), -1);
}

TEST(SplitPlan, MovesStopShortOfNeighboursAndEnds) {
    SplitPlan plan(10);
    plan.AddCut(3);
    plan.AddCut(6);
    EXPECT_TRUE(plan.MoveCut(0, 5.5));
    EXPECT_DOUBLE_EQ(plan.Part(1).start, 5.5);
    EXPECT_FALSE(plan.MoveCut(0, 6));   // onto the next cut
    EXPECT_FALSE(plan.MoveCut(0, 7));   // past it: order is kept
    EXPECT_FALSE(plan.MoveCut(1, 10));
    EXPECT_FALSE(plan.MoveCut(0, 0));
    EXPECT_FALSE(plan.MoveCut(2, 1));
    EXPECT_DOUBLE_EQ(plan.Cut(0).start, 5.5);
    EXPECT_TRUE(plan.MoveCut(1, 9.9));
}

TEST(SplitPlan, GapsLeaveTheirSpanOutAndMoveWhole) {
    SplitPlan plan(20);
    EXPECT_EQ(plan.AddGap(5, 7), 0);
    EXPECT_EQ(plan.AddGap(6, 8), -1);   // overlaps the gap
    EXPECT_EQ(plan.AddGap(19, 21), -1); // past the end
    EXPECT_DOUBLE_EQ(plan.Part(0).end, 5);
    EXPECT_DOUBLE_EQ(plan.Part(1).start, 7);
    EXPECT_TRUE(plan.MoveCut(0, 10));
    EXPECT_DOUBLE_EQ(plan.Cut(0).end, 12);
    EXPECT_FALSE(plan.MoveCut(0, 18.5));  // its end would pass the range's end
}

TEST(SplitPlan, RangeBoundsTheFirstAndLastPart) {
    SplitPlan plan(20);
    EXPECT_TRUE(plan.SetRange(2, 18));
    EXPECT_DOUBLE_EQ(plan.Part(0).start, 2);
    EXPECT_EQ(plan.AddCut(1), -1);
    plan.AddCut(10);
    EXPECT_FALSE(plan.SetRange(11, 18));  // would cut off the cut point
    EXPECT_FALSE(plan.SetRange(0, 21));
    EXPECT_FALSE(plan.MoveCut(0, 1.5));
    plan.ClearCuts();
    EXPECT_EQ(plan.PartCount(), 1u);
    EXPECT_DOUBLE_EQ(plan.Part(0).end, 18);
}

TEST(PartNames, PatternPlaceholders) {
    EXPECT_EQ(PartFileName(kDefaultNamePattern, "Live Set", 0, 12, ""), "Live Set - 01.mp3");
    EXPECT_EQ(PartFileName("{n}. {part}", "Live Set", 8, 12, "Intro"), "09. Intro.mp3");
    EXPECT_EQ(PartFileName("{part}", "x", 2, 3, ""), "03.mp3");
    EXPECT_EQ(PartFileName("{title} {n} of {N}", "a", 99, 120, ""), "a 100 of 120.mp3");
    EXPECT_EQ(PartFileName("{title} {n}", "a", 4, 120, ""), "a 005.mp3");
    // Texts from tags and sheets cannot reach another folder.
    EXPECT_EQ(PartFileName("{part}", "x", 0, 1, "AC/DC\n"), "AC_DC_.mp3");
    EXPECT_EQ(PartFileName("{part}", "x", 0, 1, ".."), "");
    // Long titles are cut to 200 bytes, never inside a character.
    std::string umlauts = "a";
    for (int i = 0; i < 150; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(PartFileName("{part}", "x", 0, 1, umlauts), umlauts.substr(0, 199) + ".mp3");
    EXPECT_EQ(PartFileName("{part}", "x", 0, 1, std::string(300, 'b')), std::string(200, 'b') + ".mp3");
    EXPECT_EQ(PartFileName("", "x", 0, 1, ""), "");
    EXPECT_EQ(PartFileName("{nope}", "x", 0, 1, ""), "");
    std::string error;
    EXPECT_FALSE(CheckNamePattern("{title", &error));
    EXPECT_NE(error.find("{"), std::string::npos);
    EXPECT_FALSE(CheckNamePattern("{artist}", &error));
    EXPECT_NE(error.find("{artist}"), std::string::npos);
    EXPECT_TRUE(CheckNamePattern("plain", &error));
    EXPECT_EQ(SourceTitle("/music/Live Set.2001.mp3"), "Live Set.2001");
}

bool ValidUtf8(const std::string& text) {
    std::string again;
    for (char32_t c : mdlID3::Utf8ToCodePoints(text)) mdlID3::AppendUtf8(again, c);
    return again == text;
}

TEST(PartNames, LongTitlesAreShortenedNeverTheNumber) {
    std::string umlauts;  // 230 bytes, two per character
    for (int i = 0; i < 115; ++i) umlauts += "\xC3\xBC";
    struct Case {
        const char* pattern;
        std::string source;
        std::string part;
        size_t count;
    };
    const std::vector<Case> cases = {
        {kDefaultNamePattern, std::string(230, 'a'), "", 3},
        {kDefaultNamePattern, umlauts, "", 120},
        {"{part} {n}", "x", "b" + umlauts, 2},
        {"{title} {part} {n} of {N}", umlauts, std::string(150, 'c'), 12},
        {"{n} {title}", "a" + umlauts, "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::set<std::string> names;
        for (size_t i = 0; i < c.count; ++i) {
            const std::string name = PartFileName(c.pattern, c.source, i, c.count, c.part);
            EXPECT_LE(name.size(), 204u) << name;
            EXPECT_TRUE(ValidUtf8(name)) << name;
            EXPECT_NE(name.find(PartNumber(i, c.count)), std::string::npos) << name;
            names.insert(name);
        }
        EXPECT_EQ(names.size(), c.count);
    }
    // Only as much as needed goes, from the longer text first.
    EXPECT_EQ(PartFileName("{title} - {n}", std::string(230, 'a'), 0, 2, ""), std::string(195, 'a') + " - 01.mp3");
    EXPECT_EQ(PartFileName("{title} {part}", std::string(20, 't'), 0, 2, std::string(230, 'p')),
              std::string(20, 't') + " " + std::string(179, 'p') + ".mp3");
}

}  // namespace
