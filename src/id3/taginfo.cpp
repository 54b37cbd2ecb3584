#include "id3/taginfo.h"

namespace mdlID3 {

void ClearTagInfo(ID3TagInfo& info) { info = ID3TagInfo{}; }

}  // namespace mdlID3
