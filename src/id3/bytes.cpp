#include "id3/bytes.h"

#include "text/textcodec.h"

namespace mdlID3 {
namespace {

// The line-break rule of the tag texts: CR dropped, LF turned into CR LF.
void AppendWithLineBreaks(std::string& out, std::string_view decoded) {
    for (char c : decoded) {
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
}

// The bytes up to the first zero unit of `unitSize` bytes (aligned), or all of them.
std::span<const uint8_t> UpToZero(std::span<const uint8_t> bytes, size_t unitSize) {
    for (size_t i = 0; i + unitSize <= bytes.size(); i += unitSize) {
        bool zero = true;
        for (size_t k = 0; k < unitSize; ++k) zero = zero && bytes[i + k] == 0;
        if (zero) return bytes.first(i);
    }
    return bytes;
}

bool StartsWithUtf8Bom(std::span<const uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

}  // namespace

std::string BytesToText(std::span<const uint8_t> bytes, int encoding, bool stopAtZero) {
    std::string decoded;
    switch (encoding) {
        case kLatin1:
            decoded = Latin1ToUtf8(stopAtZero ? UpToZero(bytes, 1) : bytes);
            break;
        case kUtf8: {
            auto part = stopAtZero ? UpToZero(bytes, 1) : bytes;
            // A UTF-8 byte order mark is not part of the text.
            if (StartsWithUtf8Bom(part)) part = part.subspan(3);
            // Re-encoded so that malformed bytes come out as their Latin-1 characters.
            std::string_view raw(reinterpret_cast<const char*>(part.data()), part.size());
            for (char32_t cp : Utf8ToCodePoints(raw)) AppendUtf8(decoded, cp);
            break;
        }
        case kUtf16WithBom: {
            bool bigEndian = false;
            if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
                bigEndian = true;
                bytes = bytes.subspan(2);
            } else if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
                bytes = bytes.subspan(2);
            }
            decoded = Utf16ToUtf8(stopAtZero ? UpToZero(bytes, 2) : bytes, bigEndian);
            break;
        }
        case kUtf16BE:
            decoded = Utf16ToUtf8(stopAtZero ? UpToZero(bytes, 2) : bytes, true);
            break;
        default:
            return {};
    }
    std::string out;
    out.reserve(decoded.size());
    AppendWithLineBreaks(out, decoded);
    return out;
}

size_t TextToBytes(std::string_view text, size_t maxChars, std::span<uint8_t> out, bool addZero) {
    size_t written = 0;
    size_t chars = 0;
    for (char32_t cp : Utf8ToCodePoints(text)) {
        if ((maxChars != 0 && chars == maxChars) || written == out.size()) break;
        out[written++] = cp <= 0xFF ? static_cast<uint8_t>(cp) : static_cast<uint8_t>('?');
        ++chars;
    }
    if (addZero && written < out.size()) out[written++] = 0;
    return written;
}

void EncodeSize32(uint32_t value, bool syncSafe, std::span<uint8_t> out) {
    if (out.size() < 4) return;
    for (int i = 0; i < 4; ++i) {
        int shift = (3 - i) * (syncSafe ? 7 : 8);
        out[static_cast<size_t>(i)] = static_cast<uint8_t>((value >> shift) & (syncSafe ? 0x7F : 0xFF));
    }
}

}  // namespace mdlID3
