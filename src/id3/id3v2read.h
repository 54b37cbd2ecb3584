#pragma once
// Reading ID3v2.2, 2.3 and 2.4 tags into the tag record (ID3v2 informal standards, id3.org).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "files/filereader.h"
#include "id3/keptframes.h"
#include "id3/taginfo.h"

namespace mdlID3 {

// Reads the tag at the start of the file and every tag a "SEEK" frame leads on to; without one at
// the start, an ID3v2.4 tag appended at the end (found through its footer, also before an ID3v1
// tag). True when a tag was found. A file that cannot be opened gives false and leaves `info` as
// it was.
bool ReadID3v2Tag(const std::string& path, ID3TagInfo& info);

// Parses the one tag whose header starts at `offset`. Returns the offset of the next tag when the
// tag holds a usable "SEEK" frame, else -1. With a `keep` list the tag's frames are appended to
// it instead of being decoded, and `info` (a scratch record then) gets empty texts.
int64_t ParseID3v2Tag(const FileReader& file, int64_t offset, ID3TagInfo& info, KeptFrameList* keep);

// Every frame of the tag at the start of the file and of the tags its "SEEK" frames lead on to,
// as ParseID3v2Tag keeps them. Returns the major version of the first tag, 0 when there is none.
int ReadID3v2Frames(const FileReader& file, KeptFrameList& frames);

// Bytes that the tag at `offset` occupies: header + size (+ footer for a 2.4 tag that has one),
// never more than the file holds from `offset`; 0 when there is no "ID3" there.
int64_t GetID3v2TagSize(const FileReader& file, int64_t offset);

// The text a frame's content gives the record (text, comment, user link and "SEEK" frames; other
// identifiers give empty text).
std::string DecodeFrameText(std::span<const uint8_t> data, const std::string& frameId);

// True when each of the 4 bytes is A-Z, 0-9 or zero; false when fewer than 4 bytes are given.
bool IsFrameIdValid(std::span<const uint8_t> bytes);

// Undoes unsynchronisation in place (every FF 00 becomes FF); returns the number of bytes removed.
// The data is compacted to the front; the bytes past the new length are left as they were.
size_t RemoveUnsync(std::span<uint8_t> bytes);

// The content-type text as a genre name: "(17)Rock" and "(17)" give "Rock", "(RX)" "Remix",
// "(CR)" "Cover"; a text without a bracketed number stays as it is.
std::string ParseGenreText(const std::string& text);

}  // namespace mdlID3
