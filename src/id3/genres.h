#pragma once
// The tag library's genre list: 148 names numbered 0..147, with the library's own spelling.
#include <cstdint>
#include <string>

namespace mdlID3 {

inline constexpr int32_t kGenreCount = 148;
// The index stored in an ID3v1 tag for "no genre".
inline constexpr int32_t kNoGenre = 255;

// The name for 0..147; empty text for any other index.
std::string GetGenreName(int32_t index);
// The first entry equal to `name` (blanks around it ignored, case ignored); 255 when none matches.
int32_t GetGenreIndex(const std::string& name);

}  // namespace mdlID3
