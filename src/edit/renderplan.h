#pragma once
// An edit list rendered as frames, planned before anything is read or written: for each output
// frame the source frame it copies and what changes in it, the joins and how each was made, and
// the encoder delay and padding of the fresh Xing/Info header. The plan is plain values, so the
// frame rules are tested without files; the writer (renderwriter.h) then copies in one pass.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "edit/editlist.h"
#include "edit/reservoir.h"
#include "level/gainplan.h"
#include "mpeg/framescan.h"
#include "mpeg/sideinfo.h"

enum class JoinMode {
    Lossless,    // frame boundaries, the reservoir carried in the frame before the join
    Smooth,      // re-encoded frames around the join
    LeadFrames,  // the frames the reservoir reaches into are kept: the join moved earlier
};
const char* JoinModeName(JoinMode mode);

// What changes in an output frame.
struct FramePatch {
    uint32_t length = 0;           // of the output frame
    bool newHeaderByte2 = false;   // headerByte2 replaces the source's (a CRC is then redone)
    uint8_t headerByte2 = 0;
    std::vector<CarriedBytes> carried;
    bool reencoded = false;        // the frame is `bytes`, made anew, and copies nothing (empty
                                   // until the join's frames are encoded)
    std::vector<uint8_t> bytes;

    bool operator==(const FramePatch&) const = default;
};

struct PlannedFrame {
    size_t source = 0;   // source frame index (unused for a re-encoded frame)
    int32_t patch = -1;  // index into RenderPlan::patches, or -1 for a plain copy

    bool operator==(const PlannedFrame&) const = default;
};

struct PlannedSegment {
    SampleRange source;  // as rounded to frames: the samples really kept
    int64_t outputStart = 0;

    bool operator==(const PlannedSegment&) const = default;
};

struct PlannedJoin {
    int64_t outputSample = 0;
    JoinMode mode = JoinMode::Lossless;
    int reencodedFrames = 0;
    size_t outputFrame = 0;  // first frame after the join
    bool grown = false;      // the frame before it took a higher bitrate index
    // Smooth joins: the re-encoded frames are [reencodeFrom, reencodeFrom + reencodedFrames).
    size_t reencodeFrom = 0;
    // The source samples between the two segments: as asked, and as removed (whole frames; the
    // difference is taken at the resume side).
    int64_t requestedRemoved = 0;
    int64_t removed = 0;

    bool operator==(const PlannedJoin&) const = default;
};

struct RenderPlan {
    std::vector<PlannedFrame> frames;  // audio frames in output order, lead frames included
    std::vector<FramePatch> patches;
    std::vector<PlannedSegment> segments;
    std::vector<PlannedJoin> joins;
    int64_t outputSamples = 0;
    uint16_t encoderDelay = 0;
    uint16_t encoderPadding = 0;
    bool vbr = false;  // "Xing" rather than "Info"
    // The kept ranges' level, as global gains of the source's granules; changes nothing when the
    // edit list sets no level.
    GainPlan gains = GainPlan(0);

    // Length of output frame `i`.
    uint32_t FrameLength(const FrameTable& table, size_t i) const;
};

struct RenderOptions {
    // Off only to show what a join without it does to the frame after it.
    bool repairReservoir = true;
    // Off: an existing target is refused, even one that appears while the file is written.
    bool replaceExisting = true;
    // Each join on its exact sample, the few frames around it decoded, crossfaded over
    // `crossfadeMs` and encoded anew; the removed lengths rounded to whole frames.
    bool smoothJoins = false;
    int crossfadeMs = 5;
};

// At most this many frames are re-encoded at a smooth join with the default crossfade.
inline constexpr size_t kSmoothJoinFrames = 4;

// The side information of source frame `i`, read when the plan needs it (the frame before a join).
using SideInfoSource = std::function<std::optional<Layer3SideInfo>(size_t frame)>;

// The level of each kept range of `edits`, on the source's timeline.
std::vector<LevelSpan> LevelSpans(const EditList& edits);

// Plans `edits` (on the decoded timeline of the source walked into `table`) as lossless joins on
// the frame starts nearest to each edit point. False with `error` when the source is no Layer III
// stream, the edit list is not of its length, or nothing whole is left after rounding.
// With options.smoothJoins each join keeps its exact sample and its re-encoded frames are
// placeholders (EncodeSmoothJoins fills them); a join too near the ends of the audio or another
// join for its frames stays lossless.
bool PlanRender(const FrameTable& table, const EditList& edits, const SideInfoSource& sideInfo,
                const RenderOptions& options, RenderPlan& plan, std::string* error);
