// Millisecond clocks written and read back, and the spoken state of the waveform.
#include <gtest/gtest.h>

#include "cutting/timetext.h"

TEST(TimeText, ClocksAreWrittenToTheMillisecondAndReadBack) {
    const std::pair<double, const char*> written[] = {{0.0, "0:00.000"},       {4.99900000000001, "0:04.999"},
                                                      {59.9996, "1:00.000"},   {62.0625, "1:02.063"},
                                                      {3599.9994, "59:59.999"}, {3725.4, "1:02:05.400"},
                                                      {-3.0, "0:00.000"}};
    for (const auto& [seconds, text] : written) EXPECT_EQ(ClockWithMilliseconds(seconds), text) << seconds;
    const std::pair<const char*, double> typed[] = {{"01:02.345", 62.345}, {" 1:02.5 ", 62.5},     {"75", 75.0},
                                                    {"75.25", 75.25},      {"1:00:00.001", 3600.001}, {"0:59.999", 59.999},
                                                    {"2:03.", 123.0}};
    for (const auto& [text, seconds] : typed) EXPECT_EQ(ParseClockTime(text), seconds) << text;
    for (double t : {0.001, 61.234, 7322.018}) EXPECT_NEAR(ParseClockTime(ClockWithMilliseconds(t)).value_or(-1), t, 1e-9);
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
