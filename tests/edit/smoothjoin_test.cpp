#include "edit/smoothjoin.h"

#include <gtest/gtest.h>

namespace {

// The incoming side's weight over a crossfade centred on the join: nothing before it, all of it
// after, rising without a step in between, and the two sides always adding up to the whole, so a
// join of a sound onto itself is that sound.
TEST(SmoothJoin, TheCrossfadeIsCentredOnTheJoinRisesSmoothlyAndKeepsTheSum) {
    struct Row {
        int64_t join;
        int64_t crossfade;
    };
    for (const Row& r : {Row{1000, 220}, Row{0, 221}, Row{50000, 2}, Row{7, 1}}) {
        SCOPED_TRACE(testing::Message() << r.join << " over " << r.crossfade);
        const int64_t start = r.join - r.crossfade / 2;
        EXPECT_EQ(IncomingWeight(r.join, r.crossfade, start - 1), 0.0f);
        EXPECT_EQ(IncomingWeight(r.join, r.crossfade, start + r.crossfade), 1.0f);
        float last = 0.0f;
        for (int64_t i = 0; i < r.crossfade; ++i) {
            const float w = IncomingWeight(r.join, r.crossfade, start + i);
            EXPECT_GT(w, last);
            EXPECT_LT(w, 1.0f);
            // A raised cosine moves least at its ends: no step bigger than the straight line's.
            EXPECT_LE(w - last, 1.6f / static_cast<float>(r.crossfade) + 1e-6f);
            EXPECT_NEAR(w + IncomingWeight(r.join, r.crossfade, start + r.crossfade - 1 - i), 1.0f, 1e-6f);
            last = w;
        }
        if (r.crossfade % 2 == 1) {
            EXPECT_NEAR(IncomingWeight(r.join, r.crossfade, r.join), 0.5f, 1e-6f);
        }
    }
}

}  // namespace
