#include "text/textcodec.h"

namespace mdlID3 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at `i` and its code point; 0 when it is not one.
size_t DecodeUtf8At(std::string_view text, size_t i, char32_t& cp) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t b0 = byte(i);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    char32_t value;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, value = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, value = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, value = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (len > text.size() - i) return 0;
    for (size_t k = 1; k < len; ++k) {
        uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        value = (value << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not well-formed.
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    cp = value;
    return len;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
    char32_t cp;
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = DecodeUtf8At(bytes, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

size_t Utf8SequenceLength(std::string_view text, size_t at) {
    char32_t cp;
    return at < text.size() ? DecodeUtf8At(text, at, cp) : 0;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u32string Utf8ToCodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        size_t len = DecodeUtf8At(text, i, cp);
        if (len == 0) {
            cp = static_cast<uint8_t>(text[i]);
            len = 1;
        }
        out += cp;
        i += len;
    }
    return out;
}

std::string Latin1ToUtf8(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (uint8_t b : bytes) AppendUtf8(out, b);
    return out;
}

std::string Utf8ToLatin1(std::string_view text, char replacement) {
    std::string out;
    for (char32_t cp : Utf8ToCodePoints(text)) out += cp <= 0xFF ? static_cast<char>(cp) : replacement;
    return out;
}

bool FitsLatin1(std::string_view text) {
    for (char32_t cp : Utf8ToCodePoints(text))
        if (cp > 0xFF) return false;
    return true;
}

size_t Utf8Length(std::string_view text) { return Utf8ToCodePoints(text).size(); }

std::string Utf8Prefix(std::string_view text, size_t count) {
    size_t i = 0;
    while (i < text.size() && count > 0) {
        char32_t cp;
        size_t len = DecodeUtf8At(text, i, cp);
        i += len == 0 ? 1 : len;
        --count;
    }
    return std::string(text.substr(0, i));
}

std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    size_t units = bytes.size() / 2;
    auto unit = [&](size_t k) -> char16_t {
        uint8_t a = bytes[2 * k];
        uint8_t b = bytes[2 * k + 1];
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (size_t k = 0; k < units; ++k) {
        char32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            char32_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
    }
    return out;
}

std::vector<uint8_t> Utf8ToUtf16(std::string_view text, bool bigEndian, bool withBom) {
    std::vector<uint8_t> out;
    auto put = [&](char16_t u) {
        uint8_t hi = static_cast<uint8_t>(u >> 8);
        uint8_t lo = static_cast<uint8_t>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    if (withBom) put(0xFEFF);
    for (char32_t cp : Utf8ToCodePoints(text)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

}  // namespace mdlID3
