#pragma once
// The copy of a render plan: the source's frames read once in order, the patched frames built,
// a fresh Xing/Info + LAME header in front, tags around them, all through the crash-safe writer.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "clips/clipfile.h"
#include "clips/cliptags.h"
#include "edit/renderplan.h"

// Fraction of the audio written in 0..1; false cancels the render.
using RenderProgress = std::function<bool(double fraction)>;

// Output frame `sourceFrame` (the source's bytes) changed as `patch` says into `out`: the header
// byte replaced and a CRC redone, the frame grown, and `carried` (the bytes of patch.carried in
// order) put at their offsets. False when the patch does not fit the frame.
bool PatchFrame(std::span<const uint8_t> sourceFrame, const FramePatch& patch, std::span<const uint8_t> carried,
                std::vector<uint8_t>& out);

// Writes `plan` of `source` (walked into `table`) as `target`: `tags` (may be null) around the
// audio, else `finish` (may be empty) runs on the finished file before it takes its name. The
// target is replaced only when everything was written; on failure or cancel it is as it was and
// `error` says why. Every frame is checked against the header the walk saw.
bool WriteRender(const std::string& source, const FrameTable& table, const RenderPlan& plan, const std::string& target,
                 const ClipTags* tags, const ClipHook& finish, const RenderProgress& progress, std::string* error,
                 bool replace = true);
