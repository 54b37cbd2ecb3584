#pragma once
// The 128-byte ID3 version 1 tag at the end of a file: where its fields sit and how wide they
// are. The tag library and the MP3 class read and write the same layout.
#include <cstddef>

namespace mdlID3::id3v1layout {

inline constexpr size_t kSize = 128;
inline constexpr size_t kIdentifier = 0;  // "TAG"
inline constexpr size_t kIdentifierWidth = 3;
inline constexpr size_t kTitle = 3;
inline constexpr size_t kArtist = 33;
inline constexpr size_t kAlbum = 63;
inline constexpr size_t kTextWidth = 30;
inline constexpr size_t kYear = 93;
inline constexpr size_t kYearWidth = 4;
inline constexpr size_t kComment = 97;
// ID3v1.1: a zero byte here and a track number after it shorten the comment to 28 bytes.
inline constexpr size_t kZeroByte = 125;
inline constexpr size_t kTrack = 126;
inline constexpr size_t kGenre = 127;

}  // namespace mdlID3::id3v1layout
