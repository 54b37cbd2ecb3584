#pragma once
// ID3v1 text is ISO-8859-1, one byte per character; the rest of the program speaks UTF-8.
#include <string>
#include <string_view>

std::string Latin1ToUtf8(std::string_view latin1);
// Characters outside ISO-8859-1 become "?"; a byte that starts no well-formed UTF-8 sequence is
// kept as the ISO-8859-1 character of that byte.
std::string Utf8ToLatin1(std::string_view utf8);
