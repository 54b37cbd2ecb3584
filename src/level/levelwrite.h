#pragma once
// Writes a level change: the global gains of every audio frame as a plan says, the CRCs that
// cover them, and a new leading ID3v2 tag, all in one pass through the crash-safe writer. Frame
// sizes and the bit reservoir stay as they are; the Xing/Info frame holds no audio and keeps its
// gains.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "level/framegains.h"
#include "level/gainplan.h"

struct FrameTable;

struct LevelWrite {
    std::string source;
    std::string target;          // the source itself for a change in place
    const GainPlan* plan = nullptr;  // none: the audio stays as it is
    // The first `headBytes` of the source (its leading ID3v2 tag, or 0 for none) are replaced by
    // `head` (empty removes them), when `replaceHead` is set.
    bool replaceHead = false;
    int64_t headBytes = 0;
    std::vector<uint8_t> head;
};

// What became of the LAME tag's CRC of the audio frames.
enum class MusicCrc {
    None,     // no LAME tag, or the audio stayed
    Updated,  // it matched the audio before and matches the new audio
    Kept,     // it did not match the audio before, so it was left as it was
};

struct LevelOutcome {
    bool ok = false;
    std::string error;
    GainCount count;
    MusicCrc musicCrc = MusicCrc::None;
};

using LevelProgress = std::function<void(double fraction)>;

// `table` is the source's frame walk. On failure the source and any existing target are as they
// were.
LevelOutcome WriteLevel(const FrameTable& table, const LevelWrite& job, const LevelProgress& progress = {});
