#pragma once
// Chapters: the CHAP and CTOC frames of the ID3v2 Chapter Frame Addendum, in ID3v2.3 and 2.4.
//
// Times are milliseconds from the first sample a listener hears (after the encoder delay that
// gapless decoders drop), as players show them. We write chapters in time order, each ending where
// the next starts, under one top-level, ordered table of contents.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "id3/keptframes.h"

namespace mdlID3 {

// The byte offsets of a chapter when, as here, its times are what counts.
inline constexpr uint32_t kNoChapterOffset = 0xFFFFFFFF;

struct Chapter {
    std::string ElementId;
    uint32_t StartMs = 0;
    uint32_t EndMs = 0;
    uint32_t StartOffset = kNoChapterOffset;
    uint32_t EndOffset = kNoChapterOffset;
    std::string Title;                 // TIT2 sub-frame, UTF-8; empty for none
    std::string Url;                   // WXXX sub-frame's link; empty for none
    std::vector<uint8_t> PictureData;  // APIC sub-frame's content as stored; empty for none
};

struct ChapterToc {
    std::string ElementId;
    bool TopLevel = false;
    bool Ordered = false;
    std::vector<std::string> Children;
};

// Parse the content of a CHAP or CTOC frame (no frame header) from a tag of major version 3 or 4.
// False for content too short for the fixed fields or without a terminated element ID; sub-frames
// that run past the content are ignored.
bool ParseChapterFrame(std::span<const uint8_t> data, int major, Chapter& chapter);
bool ParseTocFrame(std::span<const uint8_t> data, int major, ChapterToc& toc);

// The content of a CHAP or CTOC frame for a tag of major version 3 or 4. A title that fits
// ISO-8859-1 is written in it, else as UTF-16 (2.3) or UTF-8 (2.4).
std::vector<uint8_t> ChapterFrameData(const Chapter& chapter, int major);
std::vector<uint8_t> TocFrameData(const ChapterToc& toc, int major);

// Re-encodes the sizes of the sub-frames inside a CHAP or CTOC content, for a tag of another
// major version (sync-safe in 2.4, plain in 2.3); the content's length stays the same. False (and
// `data` unchanged) when a sub-frame uses flags that cannot be carried over.
bool ConvertChapterSubframes(std::vector<uint8_t>& data, bool isToc, int fromMajor, int toMajor);

// The chapters among the frames, in play order: that of a top-level ordered table of contents
// when there is one, else by start time (chapters it does not list follow, by start time).
std::vector<Chapter> ChaptersFromFrames(const KeptFrameList& frames);

// True when the file's ID3v2 tag was read (with or without chapters).
bool ReadChapters(const std::string& path, std::vector<Chapter>& chapters);

// Sorts by start, numbers the element IDs "chp0", "chp1", ..., and ends each chapter where the
// next starts; the last ends at `endMs` (kept as it is when `endMs` is 0).
void ArrangeChapters(std::vector<Chapter>& chapters, uint32_t endMs);

// The CHAP frames and one top-level ordered CTOC for the chapters, as they are given, replacing
// any chapter frames in `frames`; with no chapters the chapter frames are only removed.
void PutChapterFrames(KeptFrameList& frames, const std::vector<Chapter>& chapters, int major);

// Replaces the chapters in the file's tag (every other frame kept as it is), in place when the
// tag's space allows, crash-safe otherwise. The tag keeps its version (2.2 becomes 2.3); a file
// without a tag gets a version 2.3 one. An empty list removes the chapters. False, with the file
// unchanged, on failure (LastTagWriteError() says why).
bool WriteChapters(const std::string& path, const std::vector<Chapter>& chapters);

// Milliseconds as "m:ss.mmm", or "h:mm:ss.mmm" from an hour on.
std::string ChapterTimeText(uint32_t ms);

// Milliseconds, rounded, of `samples` at `rate`; saturates at the largest 32-bit value.
uint32_t SamplesToMs(uint64_t samples, uint32_t rate);

}  // namespace mdlID3
