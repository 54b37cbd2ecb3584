#pragma once
// Frame-accurate clips: whole MPEG Layer III frames copied from the source, nothing else, behind
// a fresh Xing/Info frame whose LAME tag tells gapless decoders which samples to drop.
#include <cstdint>
#include <functional>
#include <string>

#include "clips/cliptags.h"
#include "files/safefile.h"
#include "mpeg/framescan.h"

struct CleanClipResult {
    size_t firstFrame = 0;     // source frame index of the first kept frame
    size_t endFrame = 0;       // one past the last kept frame
    size_t leadFrames = 0;     // frames before the first kept one, carried for the bit reservoir
    uint32_t frames = 0;       // audio frames in the clip (lead frames included)
    uint32_t bytes = 0;        // clip size, the Xing/Info frame included
    uint16_t encoderDelay = 0;
    uint16_t encoderPadding = 0;
    bool vbr = false;          // "Xing" rather than "Info"
    double startSeconds = 0;   // time of the first kept frame in the source
    double endSeconds = 0;     // end of the last kept frame in the source
};

// Runs on the finished clip before it takes its name (the tag hand-over); false with a reason
// fails the save.
using CleanClipFinisher = std::function<bool(const std::string& path, std::string* error)>;

// Writes the frames of `source` whose start times fall in [startSeconds, endSeconds) to `target`.
// The clip is built in a temporary file beside `target`, its frames checked against the ones its
// Xing header describes, handed to `finish` (may be empty), and only then renamed to `target`.
// With `tags`, they are written into the clip in the same pass instead, and `finish` is not run. Times are
// on the source's frame timeline: frame i starts at i x samples per frame / sampling rate,
// counted from the first audio frame. False with `error` set when the clip was not saved;
// `target` is then as it was and no temporary file is left. Without `replace` an existing
// `target` is never replaced.
bool SaveCleanClip(const std::string& source, double startSeconds, double endSeconds,
                   const std::string& target, std::string* error, CleanClipResult* result = nullptr,
                   const CleanClipFinisher& finish = {}, const ClipTags* tags = nullptr, bool replace = true);

// SaveCleanClip of the frames [first, end) of a source already walked into `table` (by
// ScanFrames or ScanFramesUntil), so that many clips of one file walk it once. The last frame of
// a complete table ends the clip with the source's own encoder padding.
bool SaveCleanClipFrames(const std::string& source, const FrameTable& table, size_t first, size_t end,
                         const std::string& target, std::string* error, CleanClipResult* result = nullptr,
                         const CleanClipFinisher& finish = {}, const ClipTags* tags = nullptr,
                         bool replace = true);

// SaveCleanClipFrames up to the commit: the clip with `tags` (may be null) is written into `out`,
// which is opened here for `target` (replacing it or not as `out` is set); the caller commits it
// (CommitClip) or drops it. For many clips whose flushes overlap.
bool WriteCleanClipFrames(const std::string& source, const FrameTable& table, size_t first, size_t end,
                          const std::string& target, const ClipTags* tags, mdlID3::AtomicFileWriter& out,
                          std::string* error, CleanClipResult* result = nullptr);
