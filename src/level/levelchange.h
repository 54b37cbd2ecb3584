#pragma once
// One file's level change from request to disk: the frame walk, the measurements the request
// needs, the plan, then one write. The command line runs it for each file; a renderer that
// already has a plan calls WriteLevel directly.
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "level/levelwrite.h"
#include "level/loudnessmeter.h"
#include "mpeg/framescan.h"

struct TimeRange {
    double start = 0;
    double end = 0;
};

enum class LevelMode { None, Steps, Normalize, ReplayGain, Undo };

// EBU R128's ceiling for the true peak: normalising stops short of it.
inline constexpr double kTruePeakLimitDb = -1.0;
inline constexpr double kDefaultTargetLufs = -18.0;

struct AlbumValues {
    double gainDb = 0;
    double peak = 0;
};

struct LevelRequest {
    LevelMode mode = LevelMode::None;
    int steps = 0;                          // Steps
    double targetLufs = kDefaultTargetLufs;  // Normalize, ReplayGain
    std::optional<TimeRange> range;         // Steps only: the change applies inside it
    std::optional<TimeRange> fadeIn;
    std::optional<TimeRange> fadeOut;
    bool noClip = false;   // lower a gain that would clip to the largest that does not
    bool measure = false;  // measure peak and loudness before and after for the report
    std::optional<AlbumValues> album;  // ReplayGain: also the album's values
    std::string target;    // empty: the file itself
};

struct LevelReport {
    bool ok = false;
    bool refused = false;  // the file does not allow the change (no undo record, silence...)
    std::string error;
    std::vector<std::string> notes;  // for the user: clipping, clamped granules, the music CRC
    int stepsRequested = 0;
    int stepsApplied = 0;
    GainCount count;
    // Linear, 1.0 full scale; NaN where not measured.
    double peakBefore = NAN, peakAfter = NAN;
    double truePeakBefore = NAN;
    double loudnessBefore = NAN, loudnessAfter = NAN;  // LUFS
    bool wouldClip = false;    // the gain asked for takes the peak above full scale
    bool clipLimited = false;  // --no-clip lowered it
    bool peakLimited = false;  // normalising stopped at the true-peak ceiling
    MusicCrc musicCrc = MusicCrc::None;
    std::string undoRecord;    // written into the tag; empty for none
    bool undoRemoved = false;
    double trackGainDb = NAN, trackPeak = NAN;
};

// A file opened for a level change: its frames, its leading ID3v2 tag and, once measured, its
// loudness meter.
struct LevelSource {
    std::string path;
    FrameTable table;
    std::vector<uint8_t> tag;
    LoudnessMeter meter;
    bool measured = false;
    // Measured (in a pass of its own) only where it can hold a normalising gain back.
    double truePeak = NAN;
};

// Walks the frames and reads the tag. False with `error` for a file without frames, a
// free-format file or one that is not Layer III.
bool OpenLevelSource(const std::string& path, LevelSource& source, std::string* error,
                     const std::function<bool(double)>& progress = {});
// Measures what `request` needs (nothing for a cut in level without a report). The true peak, four
// times the work of the rest, is measured only when the sample peak comes within 6 dB of the
// ceiling after normalising: closer than any inter-sample peak of real audio rises above it.
// False with `error` when the file cannot be decoded.
bool MeasureLevelSource(LevelSource& source, const LevelRequest& request, std::string* error,
                        const std::function<bool(double)>& progress = {});
// Whole steps from the measured loudness to `targetLufs`, held back where the true peak (or the
// sample peak, when the true peak was not needed) would pass its ceiling; `peakLimited` says so.
// 0 for silence.
int NormaliseSteps(const LevelSource& source, double targetLufs, bool* peakLimited);
// Plans and writes the change; the source must have been measured as the request needs.
LevelReport ApplyLevel(LevelSource& source, const LevelRequest& request, const LevelProgress& progress = {});

// ReplayGain 2.0 texts: "-6.20 dB" and "0.988831".
std::string ReplayGainText(double gainDb);
std::string ReplayGainPeakText(double peak);
