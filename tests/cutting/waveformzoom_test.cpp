// The waveform band zoomed and dragged: the summary levels, the view's limits and anchor, the
// wheel and keys, mark and selection drags reported as intents, page turns, the spoken state.
#include <cmath>
#include <memory>
#include <vector>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "cutting/cuttingfakes.h"
#include "cutting/waveform.h"
#include "cutting/waveformview.h"

namespace {

// `blocks` base blocks of 256 samples at 44.1 kHz whose peaks follow a fixed pseudo-random walk.
std::shared_ptr<WaveformEnvelope> WalkEnvelope(size_t blocks) {
    auto envelope = std::make_shared<WaveformEnvelope>();
    uint32_t state = 2463534242u;
    for (size_t i = 0; i < blocks; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const float peak = static_cast<float>(state % 1000) / 1000.0f;
        envelope->blocks.push_back({-peak * 0.9f, peak});
    }
    envelope->seconds = static_cast<double>(blocks) * envelope->secondsPerBlock;
    BuildSummaries(*envelope);
    return envelope;
}

void ExpectSamePeaks(const std::vector<PeakPair>& a, const std::vector<PeakPair>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].min, b[i].min) << "column " << i;
        ASSERT_EQ(a[i].max, b[i].max) << "column " << i;
    }
}

void Wheel(QWidget* widget, QPointF at, int notches, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(widget, &event);
}

class WaveformZoom : public ::testing::Test {
protected:
    void SetUp() override {
        view_.resize(1000, 100);  // plot: the whole width, 1000 px
        envelope_ = WalkEnvelope(200000);  // about 19 minutes
        view_.SetEnvelope(envelope_);
        span_ = view_.Span();
    }
    QApplication* app_ = TestApp();  // before any widget member
    WaveformView view_;
    std::shared_ptr<WaveformEnvelope> envelope_;
    double span_ = 0.0;
};

}  // namespace

TEST(WaveformLevels, SummariesGiveTheSamePeaksAsTheBlocks) {
    auto envelope = WalkEnvelope(65536);
    ASSERT_EQ(envelope->summaries.size(), 2u);
    EXPECT_EQ(envelope->summaries[0].size(), 4096u);
    EXPECT_EQ(envelope->summaries[1].size(), 256u);
    WaveformEnvelope blocksOnly = *envelope;
    blocksOnly.summaries.clear();
    // 64 columns of 1,024 blocks: the coarsest level is used, column edges on its block edges.
    ExpectSamePeaks(RebinPeaks(*envelope, 64, envelope->seconds), RebinPeaks(blocksOnly, 64, envelope->seconds));
    // 1,024 columns of 64 blocks: the middle level.
    ExpectSamePeaks(RebinPeaks(*envelope, 1024, envelope->seconds), RebinPeaks(blocksOnly, 1024, envelope->seconds));
    // A window: columns 100..199 of the whole, rebinned on their own.
    const double column = envelope->seconds / 1024;
    const auto whole = RebinPeaks(blocksOnly, 1024, envelope->seconds);
    const auto window = RebinPeaks(*envelope, 100, 100 * column, 200 * column);
    ExpectSamePeaks(window, std::vector<PeakPair>(whole.begin() + 100, whole.begin() + 200));
    // A summary pair is the fold of its 16 blocks.
    float top = 0.0f;
    for (int i = 16 * 7; i < 16 * 8; ++i) top = std::max(top, envelope->blocks[i].max);
    EXPECT_EQ(envelope->summaries[0][7].max, top);
}

TEST(WaveformLevels, WindowsBeforeAndAfterTheAudioAreBlank) {
    auto envelope = WalkEnvelope(1000);
    const double block = envelope->secondsPerBlock;
    // 4 columns of one block from -2 blocks: two blank, then blocks 0 and 1.
    const auto peaks = RebinPeaks(*envelope, 4, -2 * block, 2 * block);
    EXPECT_EQ(peaks[0].max, 0.0f);
    EXPECT_EQ(peaks[1].max, 0.0f);
    EXPECT_EQ(peaks[2].max, envelope->blocks[0].max);
    EXPECT_EQ(peaks[3].max, envelope->blocks[1].max);
    const auto after = RebinPeaks(*envelope, 3, 999 * block, 1002 * block);
    EXPECT_EQ(after[0].max, envelope->blocks[999].max);
    EXPECT_EQ(after[1].max, 0.0f);
    EXPECT_TRUE(RebinPeaks(*envelope, 3, 5.0, 5.0)[0].max == 0.0f);
}

TEST_F(WaveformZoom, ZoomKeepsTheSecondUnderThePointerAndStopsAtFramesOfEightPixels) {
    EXPECT_FALSE(view_.ZoomedIn());
    EXPECT_DOUBLE_EQ(view_.ViewSeconds(), span_);
    const double under = view_.SecondsAtX(300);
    view_.ZoomAbout(4.0, 300);
    EXPECT_TRUE(view_.ZoomedIn());
    EXPECT_NEAR(view_.ViewSeconds(), span_ / 4, 1e-9);
    EXPECT_NEAR(view_.SecondsAtX(300), under, 1e-9);

    // In as far as it goes: 1,000 px at 8 px per frame of 1,152 samples.
    const double closest = 1000.0 / 8 * 1152 / 44100;
    EXPECT_NEAR(view_.MinViewSeconds(), closest, 1e-12);
    for (int i = 0; i < 20; ++i) view_.ZoomAbout(4.0, 300);
    EXPECT_NEAR(view_.ViewSeconds(), closest, 1e-9);
    EXPECT_NEAR(view_.SecondsAtX(300), under, 1e-6);
    EXPECT_NEAR(view_.XAtSeconds(under + 1152.0 / 44100) - 300, 8.0, 1e-6);

    // Out past the whole file: the whole file, from 0.
    for (int i = 0; i < 20; ++i) view_.ZoomAbout(0.25, 900);
    EXPECT_FALSE(view_.ZoomedIn());
    EXPECT_DOUBLE_EQ(view_.ViewStart(), 0.0);
    EXPECT_DOUBLE_EQ(view_.SecondsAtX(500), span_ / 2);

    // Near an end, the view stops at the end rather than showing beyond it.
    view_.ZoomAbout(10.0, 1000);
    EXPECT_NEAR(view_.ViewStart() + view_.ViewSeconds(), span_, 1e-9);
    view_.SetView(-50.0, 30.0);
    EXPECT_DOUBLE_EQ(view_.ViewStart(), 0.0);
    EXPECT_DOUBLE_EQ(view_.ViewSeconds(), 30.0);
}

TEST_F(WaveformZoom, CtrlWheelZoomsPlainWheelScrollsKeysZoom) {
    QSignalSpy changed(&view_, &WaveformView::viewChanged);
    Wheel(&view_, QPointF(250, 50), 1, Qt::NoModifier);
    EXPECT_FALSE(view_.ZoomedIn()) << "a plain wheel does not zoom";
    const double under = view_.SecondsAtX(250);
    Wheel(&view_, QPointF(250, 50), 2, Qt::ControlModifier);
    EXPECT_NEAR(view_.ViewSeconds(), span_ / 1.5625, 1e-6);
    EXPECT_NEAR(view_.SecondsAtX(250), under, 1e-6);

    // A notch forward (away from the user) scrolls back by a tenth of the view.
    const double start = view_.ViewStart();
    Wheel(&view_, QPointF(250, 50), -1, Qt::NoModifier);
    EXPECT_NEAR(view_.ViewStart(), start + view_.ViewSeconds() / 10, 1e-6);
    Wheel(&view_, QPointF(250, 50), 1, Qt::NoModifier);
    EXPECT_NEAR(view_.ViewStart(), start, 1e-6);

    view_.ZoomAbout(8.0, 500);
    const double seconds = view_.ViewSeconds();
    view_.setFocus();
    QTest::keyClick(&view_, Qt::Key_Plus);
    EXPECT_NEAR(view_.ViewSeconds(), seconds / 2, 1e-6);
    QTest::keyClick(&view_, Qt::Key_Minus);
    QTest::keyClick(&view_, Qt::Key_Minus);
    EXPECT_NEAR(view_.ViewSeconds(), seconds * 2, 1e-6);
    EXPECT_GE(changed.count(), 5);
}

TEST_F(WaveformZoom, ZoomToSelectionFramesBothMarks) {
    view_.ZoomToSelection();
    EXPECT_FALSE(view_.ZoomedIn()) << "nothing to zoom to";
    view_.SetMarks(100.25, 104.75);
    view_.ZoomToSelection();
    EXPECT_NEAR(view_.ViewSeconds(), 4.5 * 1.1, 1e-9);
    EXPECT_NEAR(view_.ViewStart(), 100.25 - 0.225, 1e-9);
    EXPECT_GT(view_.XAtSeconds(100.25), 40);
    EXPECT_LT(view_.XAtSeconds(104.75), 960);
    view_.ShowWholeFile();
    EXPECT_FALSE(view_.ZoomedIn());
}

// A press on a mark's edge drags that mark; elsewhere a drag is a new selection (reported in time
// order) and a wobble under the threshold a click. Only a selection or a click moves the play position.
TEST_F(WaveformZoom, DragsAreReportedAsTheMarkOrSelectionTheyMove) {
    view_.SetView(100.0, 10.0);    // 100 px a second
    view_.SetMarks(102.0, 106.0);  // x 200 and 600
    QSignalSpy starts(&view_, &WaveformView::startDragged);
    QSignalSpy ends(&view_, &WaveformView::endDragged);
    QSignalSpy selections(&view_, &WaveformView::selectionDragged);
    QSignalSpy seeks(&view_, &WaveformView::seekRequested);
    const struct {
        const char* what;
        std::vector<int> xs;  // pressed, moved through, released
        QSignalSpy* spy;
        QVariantList reported;
        int seeks;  // seeks asked so far
    } drags[] = {
        {"the start's edge", {203, 260, 150}, &starts, {101.5}, 0},
        {"the end's edge", {597, 725}, &ends, {107.25}, 0},
        {"across, right to left", {850, 700, 420}, &selections, {104.2, 108.5}, 1},
        {"a wobble is a click", {900, 902}, &seeks, {109.0}, 2},
    };
    for (const auto& d : drags) {
        SCOPED_TRACE(d.what);
        QTest::mousePress(&view_, Qt::LeftButton, {}, QPoint(d.xs.front(), 60));
        for (size_t i = 1; i < d.xs.size(); ++i) QTest::mouseMove(&view_, QPoint(d.xs[i], 60));
        // The preview moves; the given marks stay until the window sets them.
        EXPECT_EQ(view_.StartMark(), 102.0);
        QTest::mouseRelease(&view_, Qt::LeftButton, {}, QPoint(d.xs.back(), 60));
        ASSERT_FALSE(d.spy->isEmpty());
        const QVariantList got = d.spy->takeLast();
        ASSERT_EQ(got.size(), d.reported.size());
        for (int i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i].toDouble(), d.reported[i].toDouble(), 1e-9);
        EXPECT_TRUE(starts.isEmpty() && ends.isEmpty() && selections.isEmpty()) << "one report a drag";
        EXPECT_EQ(seeks.count() + (d.spy == &seeks ? 1 : 0), d.seeks);
    }
}

TEST_F(WaveformZoom, TheOverviewStripMovesTheViewWithoutSeeking) {
    view_.SetView(0.0, 60.0);
    QSignalSpy seeks(&view_, &WaveformView::seekRequested);
    // x 500 of the strip is the middle of the file.
    QTest::mouseClick(&view_, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_NEAR(view_.ViewStart() + 30.0, span_ / 2, 1e-6);
    EXPECT_EQ(seeks.count(), 0);
    view_.ShowWholeFile();
    QTest::mouseClick(&view_, Qt::LeftButton, {}, QPoint(500, 5));
    ASSERT_EQ(seeks.count(), 1) << "zoomed out, the strip is part of the plot";
    EXPECT_NEAR(seeks.at(0).at(0).toDouble(), span_ / 2, 1e-6);
}

TEST_F(WaveformZoom, ThePlayLineTurnsThePageOnlyWhenItWasInView) {
    view_.SetView(100.0, 10.0);
    view_.SetPosition(105.0);
    view_.SetPosition(109.9);
    EXPECT_DOUBLE_EQ(view_.ViewStart(), 100.0);
    view_.SetPosition(110.1);
    EXPECT_NEAR(view_.ViewStart(), 110.1 - 0.5, 1e-9);
    // Looking elsewhere: the play line goes its way, the view stays.
    view_.SetView(300.0, 10.0);
    view_.SetPosition(112.0);
    view_.SetPosition(125.0);
    EXPECT_DOUBLE_EQ(view_.ViewStart(), 300.0);
}

TEST_F(WaveformZoom, MarksArePaintedAtTheirExactTime) {
    view_.SetView(100.0, 10.0);
    const QImage before = view_.grab().toImage();
    view_.SetMarks(103.456, std::nullopt);  // x 345.6: the start alone shows
    const QImage started = view_.grab().toImage();
    const int y = static_cast<int>(view_.MainRect().center().y());
    EXPECT_NE(started.pixelColor(345, y), before.pixelColor(345, y));
    EXPECT_EQ(started.pixelColor(343, y), before.pixelColor(343, y));
    EXPECT_EQ(started.pixelColor(348, y), before.pixelColor(348, y));
    EXPECT_GT(started.pixelColor(345, y).green(), 200) << "the start mark is green";

    view_.SetMarks(103.456, 107.891);  // end at x 789.1
    const QImage both = view_.grab().toImage();
    EXPECT_GT(both.pixelColor(789, y).red(), 200) << "the end mark is orange";
    EXPECT_NE(both.pixelColor(600, view_.MainRect().top() + 2), started.pixelColor(600, view_.MainRect().top() + 2))
        << "the band between them";

    // Zoomed out the marks land on the overview's scale too.
    view_.ShowWholeFile();
    const double x = view_.XAtSeconds(103.456);
    EXPECT_NEAR(x, 103.456 / span_ * 1000, 1e-9);
}

TEST_F(WaveformZoom, ScreenReadersHearTheSelectionAndPosition) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view_);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Chart);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Waveform");
    EXPECT_EQ(accessible->text(QAccessible::Description), "No selection.");
    view_.SetMarks(62.5, std::nullopt);
    EXPECT_EQ(accessible->text(QAccessible::Description),
              "Start mark at 1 minute 2.500 seconds, no end mark yet.");
    view_.SetMarks(62.5, 65.25);
    view_.SetPosition(63.0);
    EXPECT_EQ(accessible->text(QAccessible::Description),
              "Selection from 1 minute 2.500 seconds to 1 minute 5.250 seconds, 2.750 seconds long. "
              "Playing position 1 minute 3.000 seconds.");
    EXPECT_TRUE(accessible->state().focusable);
}
