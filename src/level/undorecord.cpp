#include "level/undorecord.h"

#include <charconv>
#include <cstdio>

namespace {

// A signed whole number up to the next comma; advances `text` past the comma.
std::optional<int> Field(std::string_view& text) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    std::string_view field = text.substr(0, comma);
    text.remove_prefix(comma + 1);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || value < -255 || value > 255) return std::nullopt;
    return value;
}

}  // namespace

std::optional<UndoRecord> ParseUndoRecord(std::string_view text) {
    UndoRecord r;
    const auto left = Field(text);
    const auto right = left ? Field(text) : std::nullopt;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    if (!right || text.size() != 1 || (text[0] != 'W' && text[0] != 'N' && text[0] != 'w' && text[0] != 'n'))
        return std::nullopt;
    r.left = *left;
    r.right = *right;
    r.wrap = text[0] == 'W' || text[0] == 'w';
    return r;
}

std::string FormatUndoRecord(const UndoRecord& record) {
    char text[32];
    std::snprintf(text, sizeof text, "%+04d,%+04d,%c", record.left, record.right, record.wrap ? 'W' : 'N');
    return text;
}
