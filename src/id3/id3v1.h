#pragma once
// ID3v1 and v1.1 tags: the last 128 bytes of the file.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "id3/taginfo.h"

namespace mdlID3 {

inline constexpr int kID3v1Size = 128;

// True when the file's last 128 bytes are a tag ("TAG") and were read into `info` (its other
// fields emptied); false, with `info` unchanged, otherwise.
bool ReadID3v1Tag(const std::string& path, ID3TagInfo& info);
// Overwrites the file's tag, or appends one. True only when the 128 bytes are on disk; on failure
// the file keeps its old length and false is returned.
bool WriteID3v1Tag(const std::string& path, const ID3TagInfo& info, bool clearReadOnly);
// Cuts a tag off the end of the file. True when the file, if it had a tag, no longer has it: a file
// without a tag (shorter than 128 bytes included) is left as it is.
bool RemoveID3v1Tag(const std::string& path, bool clearReadOnly);

// The one writer of the 128-byte block at a file's end, for the tag library and the MP3 class:
// `tag` goes over the tag that the open regular file `fd` of `size` bytes ends with, or is
// appended when it has none and `append` is set (else nothing is written). True when the file
// ends as asked, flushed; on failure it keeps its old length and, as far as can be, its old tag.
bool WriteID3v1Block(int fd, int64_t size, std::span<const uint8_t, kID3v1Size> tag, bool append);

// The fields of a 128-byte tag that starts with "TAG"; false for anything else.
bool ParseID3v1Tag(std::span<const uint8_t> tag, ID3TagInfo& info);
// The 128 bytes written for the record.
std::array<uint8_t, kID3v1Size> BuildID3v1Tag(const ID3TagInfo& info);

}  // namespace mdlID3
