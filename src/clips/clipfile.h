#pragma once
// Clip files go through the same temporary-file writer as tag writes; this is the part both clip
// saves (byte range and whole frames) share: how the writer is opened for a clip, how the tag
// hand-over runs on the finished temporary file, and how failures read for the user.
#include <functional>
#include <string>

#include "files/safefile.h"

// Both saves refuse a target that is the source itself in these words.
inline constexpr const char* kClipOverSource =
    "The clip cannot be saved over the file it is cut from. Please choose another name.";

// True when `target` names the file `source` is (also through a link): a clip must never
// replace the file it is cut from.
bool ClipWouldReplaceSource(const std::string& source, const std::string& target);

// The tag hand-over: gets the path of the finished temporary clip; false with a reason fails
// the save.
using ClipHook = std::function<bool(const std::string& path, std::string* error)>;

// Opens `out` for `target`. A link of that name is replaced by the clip, as a save under that
// name always did, rather than written through.
bool OpenClip(mdlID3::AtomicFileWriter& out, const std::string& target, std::string* error);

// Runs `finish` on `path`; a failure without a reason gets one.
bool FinishClip(const ClipHook& finish, const std::string& path, std::string* error);

// Commits `out` with `beforeRename` (may be empty) run on the finished temporary clip.
bool CommitClip(mdlID3::AtomicFileWriter& out, const ClipHook& beforeRename, const std::string& source,
                const std::string& target, std::string* error);

// The user's text for the last failure of `out`; `source` is the file the clip is cut from.
std::string ClipWriteError(const mdlID3::AtomicFileWriter& out, const std::string& source,
                           const std::string& target);
