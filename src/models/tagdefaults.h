#pragma once
// Texts the tag editor puts into version 2 fields that a loaded file leaves empty, so that a clip
// cut from an untagged song still says where it came from.

namespace tageditor {

// The maker's home page as a host name without scheme (links::kHomepage is the same site).
inline constexpr const char* kMakerHomePage = "www.trimbel.app";

inline constexpr const char* kTitleSuffix = "--MP3 Cut by Velkor Trimbel";
inline constexpr const char* kCommentSuffix = "  MP3 Cut by Velkor Trimbel";
inline constexpr const char* kDefaultTrack = "1";
inline constexpr const char* kDefaultEncoder = "Velkor Trimbel";

}  // namespace tageditor
