#pragma once
// Conversions between the UTF-8 text of the program and the encodings ID3 uses:
// ISO-8859-1 (ID3v1, ID3v2 encoding 0) and UTF-16 (ID3v2 encodings 1 and 2).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mdlID3 {

// True when the bytes are well-formed UTF-8: no stray or missing continuation bytes, overlong
// forms, surrogates or values past U+10FFFF. The one check of UTF-8 for the whole program.
bool IsUtf8(std::string_view bytes);
// Length of the well-formed UTF-8 sequence that starts at `at` (1 to 4), 0 when none does.
size_t Utf8SequenceLength(std::string_view text, size_t at);

// Appends the code point as UTF-8 (surrogates and values past U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t codePoint);
// Decodes UTF-8 into code points. A byte that does not start a well-formed sequence is taken as
// the ISO-8859-1 character of that byte, so mislabelled Latin-1 text survives.
std::u32string Utf8ToCodePoints(std::string_view text);

std::string Latin1ToUtf8(std::span<const uint8_t> bytes);
// One byte per character; a character above U+00FF becomes `replacement`.
std::string Utf8ToLatin1(std::string_view text, char replacement = '?');
// True when every character of the text has an ISO-8859-1 code.
bool FitsLatin1(std::string_view text);
// Number of characters (code points) in the text.
size_t Utf8Length(std::string_view text);
// The first `count` characters of the text.
std::string Utf8Prefix(std::string_view text, size_t count);

// UTF-16 code units in the given byte order; an odd last byte is ignored; unpaired surrogates
// become U+FFFD.
std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian);
// UTF-16 bytes, optionally led by the byte order mark of the chosen byte order.
std::vector<uint8_t> Utf8ToUtf16(std::string_view text, bool bigEndian, bool withBom);

}  // namespace mdlID3
