#include "id3/id3v1.h"

namespace mdlID3 {

bool ReadID3v1Tag(const std::string&, ID3TagInfo&) { return false; }
bool WriteID3v1Tag(const std::string&, const ID3TagInfo&, bool) { return false; }
bool RemoveID3v1Tag(const std::string&, bool) { return false; }
bool ParseID3v1Tag(std::span<const uint8_t>, ID3TagInfo&) { return false; }
std::array<uint8_t, kID3v1Size> BuildID3v1Tag(const ID3TagInfo&) { return {}; }

}  // namespace mdlID3
