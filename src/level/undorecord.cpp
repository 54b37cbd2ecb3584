#include "level/undorecord.h"

#include <charconv>
#include <cstdio>

namespace {

// A signed whole number up to the next comma; advances `text` past the comma.
bool Field(std::string_view& text, int& out) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    std::string_view field = text.substr(0, comma);
    text.remove_prefix(comma + 1);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || value < -255 || value > 255) return false;
    out = value;
    return true;
}

}  // namespace

bool ParseUndoRecord(std::string_view text, UndoRecord& record) {
    int left = 0, right = 0;
    if (!Field(text, left) || !Field(text, right)) return false;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    if (text.size() != 1 || (text[0] != 'W' && text[0] != 'N' && text[0] != 'w' && text[0] != 'n')) return false;
    record = UndoRecord{left, right, text[0] == 'W' || text[0] == 'w'};
    return true;
}

std::string FormatUndoRecord(const UndoRecord& record) {
    char text[32];
    std::snprintf(text, sizeof text, "%+04d,%+04d,%c", record.left, record.right, record.wrap ? 'W' : 'N');
    return text;
}
