#pragma once
// Times as the cutting window writes and reads them at millisecond precision: a clock with
// milliseconds for displays and typed marks, and words for screen readers.
#include <optional>
#include <string>
#include <utility>

// "m:ss.mmm", or "h:mm:ss.mmm" from an hour on; rounded to the millisecond, negative as 0.
std::string ClockWithMilliseconds(double seconds);

// Reads "ss", "ss.mmm", "mm:ss.mmm" or "h:mm:ss.mmm" (fewer or no decimals allowed, blanks
// around it ignored). Minutes and seconds after a colon stay below 60. Nothing for anything else.
std::optional<double> ParseClockTime(const std::string& text);

// "1 hour 2 minutes 3.450 seconds", "2.000 seconds": rounded to the millisecond.
std::string SpokenTime(double seconds);

struct WaveformSpeech {
    double span = 0.0;
    std::optional<double> start;
    std::optional<double> end;
    double position = -1.0;  // negative: no position
    std::optional<std::pair<double, double>> view;  // the part in view when zoomed in
};

// The selection, the marks and the playing position in sentences.
std::string DescribeWaveform(const WaveformSpeech& speech);
