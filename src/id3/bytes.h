#pragma once
// Tag bytes to text and back, and the four-byte sizes of ID3v2.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mpeg/id3v2size.h"

namespace mdlID3 {

// Text encodings of ID3v2 frames (ID3v2.4 "4. ID3v2 frame overview").
enum TextEncoding : int {
    kLatin1 = 0,
    kUtf16WithBom = 1,
    kUtf16BE = 2,
    kUtf8 = 3,
};

// Decodes the bytes in the given encoding into UTF-8. Carriage returns are dropped and each line
// feed becomes a carriage return and line feed pair. With `stopAtZero` decoding ends at the first
// zero character (a zero byte, or a zero 16-bit unit for UTF-16). Encoding 1 honours its byte
// order mark (little-endian without one); an unknown encoding gives empty text.
std::string BytesToText(std::span<const uint8_t> bytes, int encoding, bool stopAtZero);

// Writes the text as ISO-8859-1, one byte per character ("?" for a character it cannot hold),
// at most `maxChars` characters (0: no limit) and never more than `out` holds, then a zero byte
// when `addZero` is set and there is room. Returns the bytes written.
size_t TextToBytes(std::string_view text, size_t maxChars, std::span<uint8_t> out, bool addZero);

// Writes 4 bytes (nothing when `out` is shorter): sync-safe as four 7-bit groups, else plain.
void EncodeSize32(uint32_t value, bool syncSafe, std::span<uint8_t> out);

}  // namespace mdlID3
