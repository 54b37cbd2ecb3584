#include "id3/id3v2read.h"

namespace mdlID3 {

bool ReadID3v2Tag(const std::string&, ID3TagInfo&) { return false; }
int64_t ParseID3v2Tag(const FileReader&, int64_t, ID3TagInfo&, bool) { return -1; }
int64_t GetID3v2TagSize(const FileReader&, int64_t) { return 0; }
std::string DecodeFrameText(std::span<const uint8_t>, const std::string&) { return {}; }
bool IsFrameIdValid(std::span<const uint8_t>) { return false; }
size_t RemoveUnsync(std::span<uint8_t>) { return 0; }
std::string ParseGenreText(const std::string& text) { return text; }

}  // namespace mdlID3
