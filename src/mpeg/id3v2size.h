#pragma once
// How many bytes an ID3v2 tag occupies, read from its 10-byte header (ID3v2.4 "3.1 ID3v2
// header") or, for a tag appended at the end of a file, its footer ("3.4 ID3v2 footer"). One rule
// for every reader: the frame walk, the tag reader and the tag writer.
#include <cstdint>
#include <span>

namespace mdlID3 {

inline constexpr int64_t kID3v2HeaderSize = 10;
inline constexpr int64_t kID3v2FooterSize = 10;
// Flags byte of the header: a footer follows the tag (version 2.4 and later).
inline constexpr uint8_t kID3v2FooterFlag = 0x10;

// Four bytes, big-endian. Sync-safe: 7 bits per byte, unless a byte has its top bit set, in which
// case the bytes are read as a plain number. Fewer than 4 bytes give 0.
uint32_t ReadSize32(std::span<const uint8_t> bytes, bool syncSafe);

// Header, body and footer of the tag whose header starts `header`: 0 when `header` is shorter
// than 10 bytes or does not start with "ID3". The size may run past the end of the file; each
// caller decides what such a damaged tag means for it.
int64_t ID3v2TagBytes(std::span<const uint8_t> header);
// Header, body and footer of the appended tag whose footer is `footer` ("3DI"); 0 otherwise.
int64_t ID3v2AppendedTagBytes(std::span<const uint8_t> footer);

}  // namespace mdlID3
