#pragma once
// Saving a clip: the byte range a selection maps to, the default clip name, and the copy itself.
// Used by the cutting window's Save Selection and by `trimbel cut` alike. No Qt here.
#include <cstdint>
#include <functional>
#include <string>

#include "clips/cliptags.h"

// Byte positions of the marks: bytes per second times the playing position. A start that comes
// out as 0 is taken as byte position 100.
double StartMark(double rate, double positionSeconds);
double EndMark(double rate, double positionSeconds);

// "Trimbel_" + the file title without ".mp3", ".MP3" and "." (removed in that order).
std::string ClipNameStart(const std::string& fileTitle);
// ClipNameStart + the date-and-time text without ":", "/" and " " + ".mp3".
std::string DefaultClipName(const std::string& fileTitle, const std::string& dateTimeText);

struct ClipBytes {
    int64_t offset = 0;  // 0-based offset of the first copied byte
    int64_t length = 0;
};

// The range of the source that the marks select: `curStart` is a 1-based byte position and both
// values are rounded half to even. A range reaching past the end stops at the end. False, with
// the reason, when nothing of the file would be copied.
bool ClipByteRange(double curStart, double curDuration, int64_t fileSize, ClipBytes* range,
                   std::string* error);

// Runs on the finished clip bytes before the clip takes its name (the tag hand-over). Gets the
// path of the file to finish; false with a reason fails the save.
using ClipFinisher = std::function<bool(const std::string& path, std::string* error)>;

// Copies the selected range of `source` into `target`: the bytes go to a temporary file in the
// target's folder, in chunks, are finished by `finish` (may be empty), flushed, and the file is
// renamed into place. The source is never replaced. On failure nothing named `target` is created
// or changed, and `error` says why. With `tags`, and a range that does not start with an ID3v2
// tag of its own, the tags go into the clip in the same pass and `finish` is not run. Without
// `replace` an existing `target` is never replaced.
bool SaveClip(const std::string& source, const std::string& target, double curStart,
              double curDuration, const ClipFinisher& finish, std::string* error,
              const ClipTags* tags = nullptr, bool replace = true);
