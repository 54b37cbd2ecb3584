#pragma once
// Writing and removing the ID3v2 tag at the start of a file (ID3v2.3.0 and ID3v2.4.0 documents).
//
// A new tag that fits the old tag's space is written in place; otherwise the file is rebuilt
// beside the original and renamed over it, so a failure never leaves a half-written file. True
// means the bytes are on disk; on false the file is as it was and LastTagWriteError() says why.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "id3/keptframes.h"
#include "id3/taginfo.h"
#include "id3/v22frameids.h"

namespace mdlID3 {

// The `version` argument of the writers.
inline constexpr int kWriteV23 = 0;
inline constexpr int kWriteV24 = 1;

// Writes the record as a version 2.3 (`version` 0) or 2.4 (1) tag. Unless `clearOldTag` is set,
// the frames of the old tag that the record does not cover are carried over. With `clearReadOnly`
// a read-only file is made writable first (and stays so); without it a read-only file is refused.
// A work buffer, when given, is used for copying the audio.
bool WriteID3v2Tag(const std::string& path, const ID3TagInfo& info, int version, bool clearOldTag,
                   bool clearReadOnly, uint8_t* workBuffer = nullptr, int32_t workBufferLength = 0);
// Removes the tag at the start of the file. True also when there is none.
bool RemoveID3v2Tag(const std::string& path, bool clearReadOnly, uint8_t* workBuffer = nullptr,
                    int32_t workBufferLength = 0);
// Gets every frame of the file's tag (the record's too, as stored) and the major version (3 or 4)
// the tag is written back in, and changes them as it likes.
using FrameEdit = std::function<void(KeptFrameList& frames, int major)>;
// Rewrites the tag with its frames passed through `edit`: in place when they fit the old space,
// else by rebuilding the file. The tag keeps its version (2.2 becomes 2.3); a file without a tag
// gets a 2.3 one (none at all when `edit` leaves no frames).
bool EditID3v2Frames(const std::string& path, const FrameEdit& edit, bool clearReadOnly = false);
// Why the last WriteID3v2Tag, RemoveID3v2Tag or EditID3v2Frames returned false ("" after a success).
const std::string& LastTagWriteError();

// Size of the frame the writer makes for a record field: 0 for an empty or blank value or an
// identifier other than T***, "COMM" and "WXXX"; else the data size, plus 10 with `withHeader`.
// Text that fits ISO-8859-1 takes one byte per character; other text is UTF-16 with a byte order
// mark in version 2.3 and UTF-8 in 2.4, so the size depends on `version`.
int32_t FieldFrameSize(const std::string& id, const std::string& value, bool withHeader,
                       int version = kWriteV23);
// Writes the field's frame (header and data) at the start of `out`. Returns the bytes written:
// 0 for a blank value, or when `out` is too small.
int32_t WriteFieldFrame(std::span<uint8_t> out, const std::string& id, const std::string& value,
                        int version);
// Writes entry `index` of `frames` as a frame at the start of `out` (in version 2.4 "TORY" becomes
// "TDOR" and "IPLS" "TIPL", in the list too). Returns Size + 10; 0 for an index outside the
// list, or when `out` is too small.
int32_t WriteKeptFrame(std::span<uint8_t> out, KeptFrameList& frames, int32_t index, int version);
// False for the thirteen identifiers the record's frames replace.
bool IsKeptFrame(const std::string& id);
// The content-type text for a genre: "(17)Rock" for a genre of the list (in its spelling), the
// text itself otherwise.
std::string GenreToFrameText(const std::string& genre);

// The bytes of the tag WriteID3v2Tag writes for the record into a file whose old tag takes
// `oldSize` bytes, with the old tag's frames `kept` carried over (empty for none): the record's
// frames in their fixed order, then the kept ones, padded as NewTagSize says. A clip writer puts
// it in front of the audio in the same pass. False with `error` set when it cannot be built.
bool BuildID3v2Tag(const ID3TagInfo& info, int version, KeptFrameList& kept, int64_t oldSize,
                   std::vector<uint8_t>& tag, std::string* error);

// The bytes of a tag holding exactly `frames`, in order, padded as NewTagSize says for a file
// whose old tag takes `oldSize` bytes.
bool BuildID3v2FramesTag(KeptFrameList& frames, int version, int64_t oldSize, std::vector<uint8_t>& tag,
                         std::string* error);

// Total size of the tag the writer makes when `needed` bytes of header and frames must fit into
// the `old` bytes at the start of the file: `old` when they fit, else the size rounded up so the
// size field is a multiple of 2048 and 1025 to 3072 bytes are padding.
int64_t NewTagSize(int64_t needed, int64_t old);

}  // namespace mdlID3
