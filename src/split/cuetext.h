#pragma once
// Cue sheets come in whatever encoding the tool that wrote them used: UTF-8 with or without a
// byte order mark, UTF-16 with one, or an 8-bit code page (taken as ISO-8859-1).
#include <string>
#include <string_view>

// The sheet's text as UTF-8, the byte order mark removed.
std::string CueTextToUtf8(std::string_view bytes);
