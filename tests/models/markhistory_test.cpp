// Undo and redo of the marks: the redo list dropped by a new change, unchanged marks not recorded,
// and the depth limit. (The exact marks each step gives back: the session's undo test.)
#include <gtest/gtest.h>

#include "models/markhistory.h"

namespace {

struct MarkState {
    std::optional<double> start;
    std::optional<double> end;
    bool operator==(const MarkState&) const = default;
};
using History = MarkHistory<MarkState>;

const MarkState kNone{};
const MarkState kStart{12.5, std::nullopt};
const MarkState kBoth{12.5, 17.25};

}  // namespace

TEST(MarkHistory, ANewChangeDropsTheRedoStepsAndNoChangeIsNoStep) {
    History history;
    history.Record(kNone, kStart);
    history.Record(kStart, kBoth);
    ASSERT_EQ(history.Undo(kBoth), kStart);
    history.Record(kStart, kStart);  // Set start again at the same sample
    EXPECT_TRUE(history.CanRedo()) << "nothing changed, nothing recorded";
    const MarkState moved{11.0, std::nullopt};
    history.Record(kStart, moved);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Undo(moved), kStart);
    EXPECT_EQ(history.Undo(kStart), kNone);
    history.Record(kNone, kStart);
    history.Clear();
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

TEST(MarkHistory, KeepsTheNewestStepsUpToItsDepth) {
    History history;
    for (size_t i = 0; i <= History::kDepth + 5; ++i)
        history.Record({static_cast<double>(i), std::nullopt}, {static_cast<double>(i + 1), std::nullopt});
    MarkState current{static_cast<double>(History::kDepth + 6), std::nullopt};
    size_t steps = 0;
    while (auto back = history.Undo(current)) {
        current = *back;
        ++steps;
    }
    EXPECT_EQ(steps, History::kDepth);
    EXPECT_EQ(current.start, 6.0) << "the six oldest were forgotten";
}
