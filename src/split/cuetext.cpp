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

bool IsUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t c = static_cast<uint8_t>(bytes[i]);
        size_t more = 0;
        uint32_t cp = 0;
        if (c < 0x80) { ++i; continue; }
        if (c >= 0xC2 && c <= 0xDF) { more = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { more = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { more = 3; cp = c & 0x07; }
        else return false;
        if (bytes.size() - i <= more) return false;
        for (size_t k = 1; k <= more; ++k) {
            const uint8_t t = static_cast<uint8_t>(bytes[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

std::string CueTextToUtf8(std::string_view bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
    else if (StartsWith(bytes, "\xFF\xFE")) return mdlID3::Utf16ToUtf8(Bytes(bytes.substr(2)), false);
    else if (StartsWith(bytes, "\xFE\xFF")) return mdlID3::Utf16ToUtf8(Bytes(bytes.substr(2)), true);
    if (IsUtf8(bytes)) return std::string(bytes);
    return mdlID3::Latin1ToUtf8(Bytes(bytes));
}
