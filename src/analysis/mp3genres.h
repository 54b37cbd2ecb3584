#pragma once
// The genre names of the MP3 class: one text of 148 names joined by "|", index 0 first.
// Spellings are kept as this list has always held them; the tag library has its own list.
#include <string>

const std::string& MP3GenreString();
