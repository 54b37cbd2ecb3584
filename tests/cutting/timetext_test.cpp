// Millisecond clocks written and read back, and the spoken state of the waveform.
#include <gtest/gtest.h>

#include "cutting/timetext.h"

TEST(TimeText, ClockRoundsToTheMillisecond) {
    EXPECT_EQ(ClockWithMilliseconds(0.0), "0:00.000");
    EXPECT_EQ(ClockWithMilliseconds(4.99900000000001), "0:04.999");
    EXPECT_EQ(ClockWithMilliseconds(59.9996), "1:00.000");
    EXPECT_EQ(ClockWithMilliseconds(62.0625), "1:02.063");
    EXPECT_EQ(ClockWithMilliseconds(3599.9994), "59:59.999");
    EXPECT_EQ(ClockWithMilliseconds(3725.4), "1:02:05.400");
    EXPECT_EQ(ClockWithMilliseconds(-3.0), "0:00.000");
}

TEST(TimeText, ParsesTypedTimes) {
    EXPECT_EQ(ParseClockTime("01:02.345"), 62.345);
    EXPECT_EQ(ParseClockTime(" 1:02.5 "), 62.5);
    EXPECT_EQ(ParseClockTime("75"), 75.0);
    EXPECT_EQ(ParseClockTime("75.25"), 75.25);
    EXPECT_EQ(ParseClockTime("1:00:00.001"), 3600.001);
    EXPECT_EQ(ParseClockTime("0:59.999"), 59.999);
    EXPECT_EQ(ParseClockTime("2:03."), 123.0);
    // Written and read back, a clock keeps its value to the millisecond.
    for (double t : {0.0, 0.001, 12.5, 61.234, 3599.999, 7322.018}) {
        const auto back = ParseClockTime(ClockWithMilliseconds(t));
        ASSERT_TRUE(back.has_value());
        EXPECT_NEAR(*back, t, 1e-9);
    }
    for (const char* bad : {"", "  ", "1:60.000", "1:2:3:4", "a:10", "1:-5", "1.2.3", ":30", "1:", "1,5", "--1",
                            "1234567890"}) {
        EXPECT_FALSE(ParseClockTime(bad).has_value()) << bad;
    }
}

TEST(TimeText, SpeaksTimesAndTheWaveformState) {
    EXPECT_EQ(SpokenTime(2.0), "2.000 seconds");
    EXPECT_EQ(SpokenTime(61.0), "1 minute 1.000 seconds");
    EXPECT_EQ(SpokenTime(3723.4567), "1 hour 2 minutes 3.457 seconds");
    EXPECT_EQ(SpokenTime(7200.0), "2 hours 0 minutes 0.000 seconds");

    WaveformSpeech speech;
    EXPECT_EQ(DescribeWaveform(speech), "No audio.");
    speech.span = 300.0;
    speech.end = 20.0;
    EXPECT_EQ(DescribeWaveform(speech), "End mark at 20.000 seconds, no start mark.");
    // Marks the wrong way round still say the selection from the earlier to the later.
    speech.start = 25.5;
    speech.view = std::make_pair(10.0, 40.0);
    EXPECT_EQ(DescribeWaveform(speech), "Selection from 20.000 seconds to 25.500 seconds, 5.500 seconds long. "
                                        "Showing 10.000 seconds to 40.000 seconds.");
}
