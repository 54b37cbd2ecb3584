#pragma once
// Sample-exact clips without re-encoding: whole MPEG Layer III frames copied from the source (and a
// frame carrying the bit reservoir the first of them reads), behind a fresh Xing/Info frame whose
// LAME tag tells gapless decoders which samples to drop at both ends.
#include <cstdint>
#include <functional>
#include <string>

#include "clips/cliplayout.h"
#include "clips/cliptags.h"
#include "files/safefile.h"
#include "mpeg/framescan.h"

struct CleanClipResult {
    size_t firstFrame = 0;     // source frame index of the frame that holds the first sample
    size_t endFrame = 0;       // one past the last frame written
    size_t leadFrames = 0;     // frames before the first one (a reservoir carrier included)
    uint32_t frames = 0;       // audio frames in the clip (lead frames included)
    uint32_t bytes = 0;        // clip size, the Xing/Info frame included
    uint16_t encoderDelay = 0;
    uint16_t encoderPadding = 0;
    bool vbr = false;          // "Xing" rather than "Info"
    uint64_t startSample = 0;  // the source's decoded samples [startSample, endSample) in the clip
    uint64_t endSample = 0;
    bool exactStart = true;    // false: the clip starts on the frame start nearest to the mark
    double startSeconds = 0;   // startSample and endSample in seconds
    double endSeconds = 0;
};

// Runs on the finished clip before it takes its name (the tag hand-over); false with a reason
// fails the save.
using CleanClipFinisher = std::function<bool(const std::string& path, std::string* error)>;

// Writes the decoded audio [startSeconds, endSeconds) of `source` (0 = the first sample a gapless
// decoder gives) to `target`, as PlanClipLayout lays it out: rounded to the nearest samples.
// The clip is built in a temporary file beside `target`, its frames checked against the ones its
// Xing header describes, handed to `finish` (may be empty), and only then renamed to `target`.
// With `tags`, they are written into the clip in the same pass instead, and `finish` is not run.
// False with `error` set when the clip was not saved; `target` is then as it was and no
// temporary file is left. Without `replace` an existing `target` is never replaced.
bool SaveCleanClip(const std::string& source, double startSeconds, double endSeconds,
                   const std::string& target, std::string* error, CleanClipResult* result = nullptr,
                   const CleanClipFinisher& finish = {}, const ClipTags* tags = nullptr, bool replace = true);

// SaveCleanClip of a `layout` planned on a source already walked into `table` (by ScanFrames or
// ScanFramesUntil), so that many clips of one file walk it once.
bool SaveCleanClipLayout(const std::string& source, const FrameTable& table, const ClipLayout& layout,
                         const std::string& target, std::string* error, CleanClipResult* result = nullptr,
                         const CleanClipFinisher& finish = {}, const ClipTags* tags = nullptr,
                         bool replace = true);

// SaveCleanClipLayout up to the commit: the clip with `tags` (may be null) is written into `out`,
// which is opened here for `target` (replacing it or not as `out` is set); the caller commits it
// (CommitClip) or drops it. For many clips whose flushes overlap.
bool WriteCleanClip(const std::string& source, const FrameTable& table, const ClipLayout& layout,
                    const std::string& target, const ClipTags* tags, mdlID3::AtomicFileWriter& out,
                    std::string* error, CleanClipResult* result = nullptr);
