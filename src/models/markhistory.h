#pragma once
// Undo and redo of the cutting session's marks. Every change of the marks (Set start, Set end,
// New selection, a drag, a nudge, a typed time) records the marks as they were before it; undo
// hands back the marks to restore and keeps the current ones for redo. A new change after an undo
// drops what could have been redone, as editors do. `Marks` is any value with ==.
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

template <typename Marks>
class MarkHistory {
public:
    // Oldest steps are forgotten beyond this many.
    static constexpr size_t kDepth = 200;

    // The marks before and after a change; a change that changed nothing is no step.
    void Record(const Marks& before, const Marks& after) {
        if (before == after) return;
        undo_.push_back(before);
        if (undo_.size() > kDepth) undo_.pop_front();
        redo_.clear();
    }
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // The marks to restore, or nothing when there is no step; `current` goes to the other list.
    std::optional<Marks> Undo(const Marks& current) {
        if (undo_.empty()) return std::nullopt;
        Marks restored = undo_.back();
        undo_.pop_back();
        redo_.push_back(current);
        return restored;
    }
    std::optional<Marks> Redo(const Marks& current) {
        if (redo_.empty()) return std::nullopt;
        Marks restored = redo_.back();
        redo_.pop_back();
        undo_.push_back(current);
        return restored;
    }
    // Changes every recorded step in place, undo and redo alike.
    template <typename Change>
    void ForEachStep(Change change) {
        for (Marks& marks : undo_) change(marks);
        for (Marks& marks : redo_) change(marks);
    }
    // A new file starts a new history.
    void Clear() {
        undo_.clear();
        redo_.clear();
    }

private:
    std::deque<Marks> undo_;
    std::vector<Marks> redo_;
};
