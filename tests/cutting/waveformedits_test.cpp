// An edited timeline on the waveform band: the plot's envelope is the kept stretches back to
// back, the joins and removed ranges are where the edits put them, and the strip above keeps the
// whole source, so a click there lands where that source time plays now.
#include <memory>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "cutting/cuttingfakes.h"
#include "cutting/waveform.h"
#include "cutting/waveformview.h"

namespace {

// Block i peaks at i / 1000, so the blocks a stretch brought along are plain to see.
std::shared_ptr<WaveformEnvelope> RampEnvelope(size_t blocks) {
    auto envelope = std::make_shared<WaveformEnvelope>();
    for (size_t i = 0; i < blocks; ++i) {
        const float peak = static_cast<float>(i) / 1000.0f;
        envelope->blocks.push_back({-peak, peak});
    }
    envelope->seconds = static_cast<double>(blocks) * envelope->secondsPerBlock;
    BuildSummaries(*envelope);
    return envelope;
}

TEST(WaveformEdits, TheEditedEnvelopeIsTheKeptStretchesBackToBack) {
    const auto source = RampEnvelope(1000);
    const double block = source->secondsPerBlock;
    const WaveformEnvelope edited = EditedEnvelope(*source, {{0, 10 * block}, {500 * block, 520 * block},
                                                             {990 * block, 2000 * block}});
    ASSERT_EQ(edited.blocks.size(), 40u) << "a stretch past the end stops at the end";
    EXPECT_FLOAT_EQ(edited.blocks[9].max, 0.009f);
    EXPECT_FLOAT_EQ(edited.blocks[10].max, 0.5f);
    EXPECT_FLOAT_EQ(edited.blocks[29].max, 0.519f);
    EXPECT_FLOAT_EQ(edited.blocks[30].max, 0.99f);
    EXPECT_NEAR(edited.seconds, 40 * block, 1e-9);
    ASSERT_EQ(edited.summaries.size(), 2u);
    EXPECT_FLOAT_EQ(edited.summaries[0][1].max, 0.991f) << "blocks 16-31: source 506-519, then 990-991";
}

TEST(WaveformEdits, EachStretchIsDrawnAtItsLevel) {
    auto flat = std::make_shared<WaveformEnvelope>();
    flat->blocks.assign(1000, PeakPair{-0.25f, 0.25f});
    const double block = flat->secondsPerBlock;
    flat->seconds = 1000 * block;
    struct Case {
        const char* what;
        StretchLevel level;
        size_t at;        // block of the 100-block stretch
        float expected;  // its peak
    } cases[] = {
        {"as it is", {}, 50, 0.25f},
        {"+4 steps doubles", {4, 0, 0}, 50, 0.5f},
        {"+12 steps clips at full scale", {12, 0, 0}, 50, 1.0f},
        {"-2 steps", {-2, 0, 0}, 50, 0.25f / std::sqrt(2.0f)},
        {"a fade in starts silent", {0, 50 * block, 0}, 0, 0.0f},
        {"half way into a fade in: 30 steps down", {0, 100 * block, 0}, 50, 0.25f * std::exp2(-60.0f * (1 - 50.5f / 100) / 4)},
        {"after the fade in, the level", {0, 50 * block, 0}, 60, 0.25f},
        {"a fade out ends silent", {0, 0, 50 * block}, 99, 0.0f},
    };
    for (const Case& c : cases) {
        const WaveformEnvelope edited = EditedEnvelope(*flat, {{100 * block, 200 * block}}, {c.level});
        ASSERT_EQ(edited.blocks.size(), 100u);
        EXPECT_NEAR(edited.blocks[c.at].max, c.expected, 1e-3 * c.expected + 1e-6) << c.what;
        EXPECT_FLOAT_EQ(edited.blocks[c.at].min, -edited.blocks[c.at].max) << c.what;
    }
    // Stretches that follow on in the source differ in level only: no join is drawn between them.
    TestApp();
    WaveformView view;
    view.SetEnvelope(flat);
    view.SetEdits({{0, 100 * block}, {100 * block, 200 * block}, {300 * block, 1000 * block}}, 1000 * block,
                  {{}, {2, 0, 0}, {}});
    ASSERT_EQ(view.Joins().size(), 1u);
    EXPECT_NEAR(view.Joins()[0], 200 * block, 1e-9);
}

TEST(WaveformEdits, JoinsRemovedRangesAndTheStripFollowTheSource) {
    TestApp();
    WaveformView view;
    view.resize(1000, 100);
    const auto source = RampEnvelope(1000);
    const double block = source->secondsPerBlock;
    view.SetEnvelope(source);
    view.SetEdits({{100 * block, 400 * block}, {600 * block, 1000 * block}}, 1000 * block);
    EXPECT_TRUE(view.Edited());
    EXPECT_NEAR(view.Span(), 700 * block, 1e-9) << "the plot spans what plays";
    ASSERT_EQ(view.Joins().size(), 1u);
    EXPECT_NEAR(view.Joins()[0], 300 * block, 1e-9);
    ASSERT_EQ(view.Removed().size(), 2u);
    EXPECT_NEAR(view.Removed()[0].first, 0, 1e-9);
    EXPECT_NEAR(view.Removed()[0].second, 100 * block, 1e-9);
    EXPECT_NEAR(view.Removed()[1].first, 400 * block, 1e-9);
    EXPECT_NEAR(view.Removed()[1].second, 600 * block, 1e-9);

    // The strip is the source: x 700 of 1000 is source block 700, edited block 400.
    view.SetView(0.0, view.MinViewSeconds());
    ASSERT_TRUE(view.ZoomedIn());
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(700, 5));
    EXPECT_NEAR(view.ViewStart() + view.ViewSeconds() / 2, 400 * block, 2 * block);
    // A removed stretch of the source leads to its join.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_NEAR(view.ViewStart() + view.ViewSeconds() / 2, 300 * block, 2 * block);

    view.SetEdits({}, 0);
    EXPECT_FALSE(view.Edited());
    EXPECT_TRUE(view.Joins().empty());
    EXPECT_NEAR(view.Span(), 1000 * block, 1e-9);
}

}  // namespace
