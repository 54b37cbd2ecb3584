#include "models/markhistory.h"

void MarkHistory::Record(const MarkState& before, const MarkState& after) {
    if (before == after) return;
    undo_.push_back(before);
    if (undo_.size() > kDepth) undo_.pop_front();
    redo_.clear();
}

std::optional<MarkState> MarkHistory::Undo(const MarkState& current) {
    if (undo_.empty()) return std::nullopt;
    MarkState restored = undo_.back();
    undo_.pop_back();
    redo_.push_back(current);
    return restored;
}

std::optional<MarkState> MarkHistory::Redo(const MarkState& current) {
    if (redo_.empty()) return std::nullopt;
    MarkState restored = redo_.back();
    redo_.pop_back();
    undo_.push_back(current);
    return restored;
}

void MarkHistory::Clear() {
    undo_.clear();
    redo_.clear();
}
