#pragma once
// Cue sheets: import as cut points and part titles, export of a plan.
#include <string>
#include <string_view>
#include <vector>

#include "split/splitplan.h"

struct CueTrack {
    int number = 0;
    std::string title;
    std::string performer;
    double start = 0;    // INDEX 01, seconds
    double pregap = -1;  // INDEX 00, seconds; -1 when the track has none
};

struct CueSheet {
    std::string file;  // as named in FILE
    std::string title;
    std::string performer;
    std::vector<CueTrack> tracks;
};

// Parses the bytes of a sheet (any of the encodings cuetext.h names). False with `error` as
// "line N: what" when a line is at fault.
bool ParseCueSheet(std::string_view bytes, CueSheet* sheet, std::string* error);
bool ReadCueSheet(const std::string& path, CueSheet* sheet, std::string* error);

// Replaces the plan's cut points and titles with the sheet's: a cut at each track's INDEX 01
// (a pregap belongs to the track before, as on a disc), the first track's INDEX 01 beginning the
// kept range. False with `error` when a track starts at or past the end of the audio.
bool ApplyCueSheet(const CueSheet& sheet, SplitPlan& plan, std::string* error);

// The plan as a UTF-8 cue sheet for `audioFile`; a trimmed pause becomes the next track's
// pregap (INDEX 00).
std::string CueSheetText(const SplitPlan& plan, const std::string& audioFile, const std::string& title = {},
                         const std::string& performer = {});
// Writes the text through the crash-safe writer; without `replace` an existing file is refused,
// also one that appears while the sheet is written.
bool WriteCueSheet(const std::string& path, const std::string& text, std::string* error, bool replace = true);

// Seconds as a cue time "mm:ss:ff", rounded to the nearest frame of 1/75 s.
std::string CueTime(double seconds);
