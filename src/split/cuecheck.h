#pragma once
// A line-by-line check of a cue sheet before libcue parses it. libcue reports no line numbers
// (its messages go to stderr), takes keywords in capitals only, and reads some faults silently
// as something else ("00:1x:00" as one second, 80 frames in a second, a title without quotes cut
// at its first space). The check gives each fault its line and hands libcue the sheet in the
// form it reads reliably: keywords in capitals, texts in quotes, and only the lines a split uses
// (no comments, flags or codes).
#include <cstddef>
#include <string>

// `text` is UTF-8. On success `normalized` holds the sheet for libcue; otherwise `error` says
// "line N: what" and false is returned.
bool NormalizeCueSheet(const std::string& text, std::string* normalized, std::string* error);

// The most bytes of one text that libcue keeps.
inline constexpr size_t kLibcueTextBytes = 1022;

// A UTF-8 text in quotes as libcue reads it back unchanged: a quote inside becomes an
// apostrophe, backslashes before the closing quote go, and a text longer than libcue keeps is
// cut at a character's start.
std::string CueQuoted(std::string text);

// "mm:ss:ff" (75 frames a second, minutes may pass 99) as frames; -1 when malformed.
long CueTimeFrames(const std::string& text);
