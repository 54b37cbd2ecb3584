#pragma once
// Routines the cutting window's handlers share: names from paths, clock texts, and the decimal
// texts in which the window keeps its numbers.
#include <string>
#include <string_view>

// The last part of `path` split at "\" and "/" (the part before it when the path ends with a
// separator); empty for a path of blanks only.
std::string FileNameFromPath(std::string_view path);

// Seconds as "hh:mm:ss", rounded half to even; a negative value shows "-" and the clock of its
// absolute value.
std::string FormatClock(double seconds);

// A double as general decimal text: at most 15 significant digits, no grouping, "." as the
// decimal point whatever the locale.
std::string NumberText(double value);

// The number that `text` begins with (leading blanks skipped, then an optional sign, digits, a
// fraction and an exponent); 0 when it begins with none.
double LeadingNumber(std::string_view text);
