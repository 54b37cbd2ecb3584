#pragma once
// The undo record that mp3gain keeps in an ID3v2 tag (its "-s i" mode): a TXXX frame
// "MP3GAIN_UNDO" with the steps that undo the change, left and right channel, and whether values
// wrapped around ("-002,-002,N" after a change of +2 steps). Either program undoes the other's.
#include <string>
#include <string_view>

inline constexpr char kUndoDescription[] = "MP3GAIN_UNDO";

struct UndoRecord {
    int left = 0;
    int right = 0;
    bool wrap = false;
};

// False (and `record` untouched) for text of another form.
bool ParseUndoRecord(std::string_view text, UndoRecord& record);
std::string FormatUndoRecord(const UndoRecord& record);
