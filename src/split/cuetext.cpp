#include "split/cuetext.h"

#include <cstdint>
#include <span>

#include "text/textcodec.h"

namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

std::string CueTextToUtf8(std::string_view bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
    else if (StartsWith(bytes, "\xFF\xFE")) return mdlID3::Utf16ToUtf8(Bytes(bytes.substr(2)), false);
    else if (StartsWith(bytes, "\xFE\xFF")) return mdlID3::Utf16ToUtf8(Bytes(bytes.substr(2)), true);
    if (mdlID3::IsUtf8(bytes)) return std::string(bytes);
    return mdlID3::Latin1ToUtf8(Bytes(bytes));
}
