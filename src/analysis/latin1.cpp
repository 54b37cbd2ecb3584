#include "analysis/latin1.h"

#include <cstdint>

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (char c : latin1) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        size_t extra = 0;
        uint32_t code = lead;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
        }
        size_t n = 0;
        while (n < extra && i + 1 + n < utf8.size() &&
               (static_cast<uint8_t>(utf8[i + 1 + n]) & 0xC0) == 0x80) {
            code = (code << 6) | (static_cast<uint8_t>(utf8[i + 1 + n]) & 0x3F);
            ++n;
        }
        // An overlong form (more bytes than the code point needs) is not a valid character.
        static constexpr uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
        const bool wellFormed = lead < 0x80 || (extra > 0 && n == extra && code >= kSmallest[extra]);
        if (!wellFormed) {
            // Not UTF-8 at all: most likely Latin-1 already, so keep the byte as it is.
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        out += code <= 0xFF ? static_cast<char>(code) : '?';
        i += 1 + extra;
    }
    return out;
}
