#include "models/module1.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameFromPath, TakesTheLastPartAtEitherSeparator) {
    EXPECT_EQ(FileNameFromPath("/home/ann/music/song.mp3"), "song.mp3");
    EXPECT_EQ(FileNameFromPath("C:\\Music\\a.b.mp3"), "a.b.mp3");
    EXPECT_EQ(FileNameFromPath("C:\\Music\\Album\\"), "Album");
    EXPECT_EQ(FileNameFromPath("/home/ann/Album/"), "Album");
    EXPECT_EQ(FileNameFromPath("song.mp3"), "song.mp3");
    EXPECT_EQ(FileNameFromPath("   "), "");
    EXPECT_EQ(FileNameFromPath(""), "");
    EXPECT_EQ(FileNameFromPath("/"), "");
}

TEST(FormatClock, RoundsHalfToEvenAndSplitsHoursMinutesSeconds) {
    EXPECT_EQ(FormatClock(3725.4), "01:02:05");
    EXPECT_EQ(FormatClock(59.5), "00:01:00");
    EXPECT_EQ(FormatClock(60.5), "00:01:00");
    EXPECT_EQ(FormatClock(58.5), "00:00:58");
    EXPECT_EQ(FormatClock(3599.6), "01:00:00");
    EXPECT_EQ(FormatClock(0), "00:00:00");
    EXPECT_EQ(FormatClock(100 * 3600 + 1), "100:00:01");
}

TEST(FormatClock, NegativeValuesShowAMinusAndTheAbsoluteClock) {
    EXPECT_EQ(FormatClock(-1), "-00:00:01");
    EXPECT_EQ(FormatClock(-61.6), "-00:01:02");
    EXPECT_EQ(FormatClock(-0.4), "00:00:00");  // rounds to 0: no sign
}

TEST(NumberText, GivesUpToFifteenSignificantDigits) {
    EXPECT_EQ(NumberText(0), "0");
    EXPECT_EQ(NumberText(-0.0), "0");
    EXPECT_EQ(NumberText(12.7), "12.7");
    EXPECT_EQ(NumberText(160000), "160000");
    EXPECT_EQ(NumberText(13.1 - 12), "1.1");  // 1.0999999999999996 in binary
    EXPECT_EQ(NumberText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(NumberText(-3.5), "-3.5");
    EXPECT_EQ(NumberText(16000.123456789), "16000.123456789");
}

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith) {
    EXPECT_EQ(LeadingNumber("12.5 Secs"), 12.5);
    EXPECT_EQ(LeadingNumber("-3.5 Secs"), -3.5);
    EXPECT_EQ(LeadingNumber("  7"), 7);
    EXPECT_EQ(LeadingNumber("+2.25x"), 2.25);
    EXPECT_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_EQ(LeadingNumber("1e3 Secs"), 1000);
    EXPECT_EQ(LeadingNumber("1e Secs"), 1);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("NA"), 0);
    EXPECT_EQ(LeadingNumber("-"), 0);
    EXPECT_EQ(LeadingNumber("."), 0);
}

TEST(LeadingNumber, ReadsBackEveryNumberTextExactly) {
    for (double v : {0.1, 12.7, 1e-7, 123456.789012345, -42.0, 16000.0 / 3})
        EXPECT_EQ(LeadingNumber(NumberText(v)), std::stod(NumberText(v))) << v;
}

}  // namespace
