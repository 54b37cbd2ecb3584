#pragma once
// File names of the parts, from a pattern with placeholders:
//   {title}  the source's file name without its extension
//   {n}      the part's number, 01, 02, ... (three digits from 100 parts on)
//   {N}      the number of parts
//   {part}   the part's own title ({n} when it has none)
#include <cstddef>
#include <string>

inline constexpr const char* kDefaultNamePattern = "{title} - {n}";

// False with `error` set for an unknown or unclosed placeholder.
bool CheckNamePattern(const std::string& pattern, std::string* error);
// The file name with ".mp3" of part `index` (from 0) of `count`; a "/" or a control character
// that the placeholders bring in becomes "_". Empty when the pattern is invalid or gives only
// dots or nothing.
std::string PartFileName(const std::string& pattern, const std::string& sourceTitle, size_t index, size_t count,
                         const std::string& partTitle);
// The part's number as {n} writes it.
std::string PartNumber(size_t index, size_t count);
// The file name of `path` without folder and extension.
std::string SourceTitle(const std::string& path);
