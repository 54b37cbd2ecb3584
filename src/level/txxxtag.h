#pragma once
// User text frames (TXXX) in the bytes of a leading ID3v2 tag (ID3v2.2, 2.3 and 2.4), edited so
// that every other byte of the tag stays as it was. The tag is rebuilt by no one: a frame added
// goes behind the last frame, into the padding when that leaves at least as much padding as the
// frame takes (else the tag grows by the frame), and a frame taken out gives its bytes back the
// same way, so taking out what was added restores the tag byte for byte.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The file's first ID3v2 tag, header to end (footer included); empty when it has none. False
// when the file cannot be read.
bool ReadLeadingTag(const std::string& path, std::vector<uint8_t>& tag, std::string* error);

// The value of the TXXX frame whose description matches (ASCII case ignored), as UTF-8.
std::optional<std::string> FindTxxx(std::span<const uint8_t> tag, std::string_view description);

// Sets the value of that frame, replacing it where it stands or adding it; with no tag, a
// version 2.4 tag holding just the frame. Values are written as ISO-8859-1 when they fit, else
// UTF-8 (2.4) or UTF-16 (2.3, 2.2). False, with the tag as it was, for a tag that cannot be
// edited without being rebuilt (a whole-tag unsynchronised 2.3 tag, damaged frame sizes).
bool SetTxxx(std::vector<uint8_t>& tag, std::string_view description, std::string_view value, std::string* error);

// Takes that frame out; a tag left without frames is removed altogether (`tag` becomes empty).
// True also when there is no such frame.
bool RemoveTxxx(std::vector<uint8_t>& tag, std::string_view description, std::string* error);
