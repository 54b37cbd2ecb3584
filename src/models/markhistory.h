#pragma once
// Undo and redo of the cutting session's marks. Every change of a mark (Set start, Set end, a
// drag, a nudge, a typed time) records the marks as they were before it; undo hands back the
// marks to restore and keeps the current ones for redo. A new change after an undo drops what
// could have been redone, as editors do.
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

struct MarkState {
    std::optional<double> start;  // seconds
    std::optional<double> end;

    bool operator==(const MarkState&) const = default;
};

class MarkHistory {
public:
    // Oldest steps are forgotten beyond this many.
    static constexpr size_t kDepth = 200;

    // Call before changing the marks, with the marks as they are. A change that changes nothing
    // (`before` equal to `after`) is not recorded.
    void Record(const MarkState& before, const MarkState& after);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // The marks to restore, or nothing when there is no step; `current` goes to the other list.
    std::optional<MarkState> Undo(const MarkState& current);
    std::optional<MarkState> Redo(const MarkState& current);
    // A new file starts a new history.
    void Clear();

private:
    std::deque<MarkState> undo_;
    std::vector<MarkState> redo_;
};
