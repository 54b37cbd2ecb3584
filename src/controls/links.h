#pragma once
// The maker's web addresses, in one place for every button, label and message that opens one.
namespace links {

inline constexpr const char* kHomepage = "https://www.trimbel.app/";
inline constexpr const char* kHelp = "https://www.trimbel.app/help/";
inline constexpr const char* kDonate = "https://www.trimbel.app/donate/";
// The maker's three other web sites; the first also lists the free downloads.
inline constexpr const char* kOtherSite1 = "https://www.trimbelsoft.com/";
inline constexpr const char* kOtherSite2 = "https://www.audiotrimtools.com/";
inline constexpr const char* kOtherSite3 = "https://www.mp3snippets.net/";
// The maker's product for joining clips, on the first other site.
inline constexpr const char* kJoinerProduct = "https://www.trimbelsoft.com/mp3-joiner/";
inline constexpr const char* kSupportEmail = "support@trimbel.app";

}  // namespace links
