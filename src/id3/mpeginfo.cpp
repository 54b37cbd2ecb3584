#include "id3/mpeginfo.h"

namespace mdlID3 {

bool ReadMpegInfo(const std::string&, MpegInfo&) { return false; }

}  // namespace mdlID3
