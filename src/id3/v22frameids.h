#pragma once
// Frame identifiers of ID3v2.2 and their ID3v2.3 equivalents.
#include <string>

namespace mdlID3 {

// The ID3v2.3 identifier for a three-character ID3v2.2 one. "TDOR" and "TIPL" of ID3v2.4 are
// held as their ID3v2.3 forms "TORY" and "IPLS" too; anything else comes back unchanged.
std::string MapV22FrameId(const std::string& id);

}  // namespace mdlID3
