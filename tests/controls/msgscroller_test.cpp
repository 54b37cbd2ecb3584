// The message scroller: queue, layout, frames, hot spots and panning, with a fixed font.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QSignalSpy>

#include "controls/msgscroller.h"
#include "controls/propertybag.h"
#include "qtapp.h"
#include "sendevents.h"

namespace {

class ScrollerTest : public ::testing::Test {
protected:
    void SetUp() override {
        scroller.SetBorderStyle(0);
        scroller.SetFont(font);
        scroller.resize(300, 30);
    }
    int Width(const QString& text) const { return QFontMetrics(font).horizontalAdvance(text); }

    QApplication& app = TestApp();
    QFont font{"DejaVu Sans Mono", 10};
    MsgScroller scroller;
};

}  // namespace

TEST_F(ScrollerTest, QueueAddsFindsAndRemovesByPositionOrKey) {
    scroller.AddItem("   ");
    scroller.AddItem("");
    EXPECT_EQ(scroller.ListCount(), 0);
    scroller.AddItem("first", "a");
    scroller.AddItem("third");
    scroller.AddItem("second", "b", 2);
    scroller.AddItem("dup key", "A");    // keys are unique regardless of case
    scroller.AddItem("bad position", "", 9);
    ASSERT_EQ(scroller.ListCount(), 3);
    EXPECT_EQ(scroller.List(1).toString(), "first");
    EXPECT_EQ(scroller.List(2).toString(), "second");
    EXPECT_EQ(scroller.List(QStringLiteral("b")).toString(), "second");
    EXPECT_EQ(scroller.FindItem("THIRD"), 3);
    EXPECT_EQ(scroller.FindItem("Second"), 2);
    EXPECT_EQ(scroller.FindItem("fourth"), 0);
    EXPECT_TRUE(scroller.FindKey("a"));
    EXPECT_FALSE(scroller.FindKey("c"));
    // Indexes of other kinds address nothing.
    EXPECT_FALSE(scroller.List(1.5).isValid());
    EXPECT_FALSE(scroller.List(0).isValid());
    scroller.RemoveItem(2.0);
    EXPECT_EQ(scroller.ListCount(), 3);
    scroller.SetItemData(QStringLiteral("a"), 42);
    EXPECT_EQ(scroller.ItemData(1).toInt(), 42);
    EXPECT_EQ(scroller.ItemColor(1).toInt(), -1);
    scroller.SetItemColor(3, 0x00FF00);
    EXPECT_EQ(scroller.ItemColor(3).toInt(), 0x00FF00);
    scroller.RemoveItem(QStringLiteral("a"));
    scroller.RemoveItem(1);
    EXPECT_EQ(scroller.ListCount(), 1);
    EXPECT_EQ(scroller.List(1).toString(), "third");
    scroller.Clear();
    EXPECT_EQ(scroller.ListCount(), 0);
    EXPECT_FALSE(scroller.TimerRunning());
}

TEST_F(ScrollerTest, LayoutPlacesItemsWithOneSeparatorBetween) {
    scroller.SetSeperator("|");
    EXPECT_EQ(scroller.SeparatorText(), " | ");
    scroller.AddItem("alpha");
    scroller.AddItem("be");
    const int sep = Width(" | ");
    EXPECT_EQ(scroller.SeparatorWidth(), sep);
    EXPECT_EQ(scroller.Item(1).Left, 0);
    EXPECT_EQ(scroller.Item(1).Right, Width("alpha") + sep);
    EXPECT_EQ(scroller.Item(2).Left, Width("alpha") + sep);
    EXPECT_EQ(scroller.Item(2).Right, Width("alpha") + sep + Width("be"));
    EXPECT_EQ(scroller.LineLength(), scroller.Item(2).Right);
    scroller.SetSeperator("   ");
    EXPECT_EQ(scroller.SeparatorText(), "   ");
    scroller.SetSeperator("");
    EXPECT_EQ(scroller.SeparatorText(), " ");
    // A new text is measured again.
    scroller.SetList(2, "longer text");
    EXPECT_EQ(scroller.Item(2).Width, Width("longer text"));
}

TEST_F(ScrollerTest, ShortMessageStandsStillWithRedAfterItAndALongOneScrolls) {
    scroller.SetAutoScroll(true);
    scroller.AddItem("short");
    EXPECT_FALSE(scroller.ScrollingActive());
    EXPECT_FALSE(scroller.TimerRunning());
    EXPECT_EQ(scroller.Offset(), 0);
    const ScrollFrame& frame = scroller.Frame();
    ASSERT_EQ(frame.pieces.size(), 1u);
    EXPECT_EQ(frame.pieces[0].x, 0);
    EXPECT_EQ(frame.redFrom, Width("short"));
    QImage shot(scroller.size(), QImage::Format_RGB32);
    scroller.render(&shot);
    EXPECT_EQ(shot.pixelColor(299, 15), QColor(255, 0, 0));
    EXPECT_NE(shot.pixelColor(2, 15), QColor(255, 0, 0));

    scroller.AddItem(QString(60, QLatin1Char('x')));
    EXPECT_TRUE(scroller.ScrollingActive());
    EXPECT_TRUE(scroller.TimerRunning());
    scroller.Tick();
    EXPECT_EQ(scroller.Offset(), 3);
    EXPECT_EQ(scroller.Frame().redFrom, -1);
}

TEST_F(ScrollerTest, OneScrollingMessageWrapsWithoutAGap) {
    scroller.SetScrollSpeed(0);  // ignored: keeps 3
    EXPECT_EQ(scroller.ScrollSpeed(), 3);
    scroller.SetScrollSpeed(5);
    scroller.AddItem("Hello world");
    scroller.SetScroll(true);
    const int w = Width("Hello world");
    const int sep = scroller.SeparatorWidth();
    scroller.Tick();
    scroller.Tick();
    ASSERT_EQ(scroller.Offset(), 10);
    const ScrollFrame& frame = scroller.Frame();
    ASSERT_GE(frame.pieces.size(), 3u);
    EXPECT_EQ(frame.pieces[0].x, -10);
    EXPECT_EQ(frame.pieces[1].x, w - 10);       // separator
    EXPECT_EQ(frame.pieces[2].x, w + sep - 10);  // the message again
    EXPECT_EQ(frame.pieces[2].position, 1);
    // A full cycle shows the same picture as the start; beyond it the offset starts again.
    const ScrollFrame atCycle = ComposeScrollFrame({scroller.Item(1)}, " ", sep, w, w + sep, 300, true, false, 0);
    const ScrollFrame atZero = ComposeScrollFrame({scroller.Item(1)}, " ", sep, w, 0, 300, true, false, 0);
    auto visible = [](const ScrollFrame& f) {
        std::vector<int> xs;
        for (const auto& p : f.pieces) {
            if (p.x + p.width > 0) xs.push_back(p.x);
        }
        return xs;
    };
    EXPECT_EQ(visible(atCycle), visible(atZero));
    EXPECT_EQ(ComposeScrollFrame({scroller.Item(1)}, " ", sep, w, w + sep + 3, 300, true, false, 0).offset, 3);
    EXPECT_EQ(ComposeScrollFrame({scroller.Item(1)}, " ", sep, w, -4, 300, true, false, 0).offset, w + sep - 4);
}

TEST_F(ScrollerTest, HotSpotsReportItemsUnderThePointerWithinTheTextBand) {
    scroller.AddItem("one");
    scroller.AddItem("two");
    scroller.SetScroll(true);
    scroller.Refresh();
    ASSERT_FALSE(scroller.Frame().hotSpots.empty());
    const int y = (scroller.BandTop() + scroller.BandBottom()) / 2;
    EXPECT_EQ(scroller.HitTest(1, y), 1);
    EXPECT_EQ(scroller.HitTest(scroller.Item(2).Left + 1, y), 2);
    EXPECT_EQ(scroller.HitTest(1, 0), -1);

    QSignalSpy move(&scroller, &MsgScroller::HotSpotMove);
    QSignalSpy hotClick(&scroller, &MsgScroller::HotSpotClick);
    QSignalSpy click(&scroller, &MsgScroller::Click);
    scroller.SetAllowPan(false);
    Mouse(&scroller, QEvent::MouseMove, QPointF(1, 0), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(move.count(), 1);
    EXPECT_EQ(move[0][0].toInt(), -1);
    Mouse(&scroller, QEvent::MouseButtonPress, QPointF(scroller.Item(2).Left + 1, y), Qt::LeftButton, Qt::LeftButton);
    Mouse(&scroller, QEvent::MouseButtonRelease, QPointF(scroller.Item(2).Left + 1, y), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(hotClick.count(), 1);
    EXPECT_EQ(hotClick[0][0].toInt(), 2);
    EXPECT_EQ(click.count(), 1);
}

TEST(ScrollerFrame, HotSpotTableHoldsAtMost1024Pieces) {
    std::vector<cMessageData> items(2000);
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].Text = "x";
        items[i].Width = 1;
        items[i].Left = static_cast<int>(i);
        items[i].Right = static_cast<int>(i) + 1;
    }
    const ScrollFrame frame = ComposeScrollFrame(items, "", 0, 2000, 0, 1500, true, false, 0);
    EXPECT_EQ(frame.hotSpots.size(), 1024u);
    EXPECT_EQ(frame.hotSpots.back().position, 1024);
    EXPECT_GE(frame.pieces.size(), 1500u);
    // Zero-width texts can never fill the line; composing still ends.
    std::vector<cMessageData> empty(3);
    EXPECT_TRUE(ComposeScrollFrame(empty, "", 0, 0, 5, 100, true, false, 0).pieces.size() < 100);
}

TEST_F(ScrollerTest, PanningDragsTheTextAndRestoresTheTimer) {
    scroller.AddItem(QString(80, QLatin1Char('y')));
    scroller.SetScroll(true);
    for (int i = 0; i < 10; ++i) scroller.Tick();
    ASSERT_EQ(scroller.Offset(), 30);
    QSignalSpy hotClick(&scroller, &MsgScroller::HotSpotClick);
    Mouse(&scroller, QEvent::MouseButtonPress, QPointF(100, 15), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(scroller.Panning());
    EXPECT_FALSE(scroller.TimerRunning());
    Mouse(&scroller, QEvent::MouseMove, QPointF(120, 15), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(scroller.Offset(), 10);  // dragged right: the text moves right
    EXPECT_EQ(scroller.Frame().pieces[0].x, -10);
    Mouse(&scroller, QEvent::MouseButtonRelease, QPointF(120, 15), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(scroller.Panning());
    EXPECT_TRUE(scroller.TimerRunning());
    EXPECT_EQ(hotClick.count(), 0);  // a drag is not a click on a message

    scroller.ToggleScroll();
    EXPECT_FALSE(scroller.TimerRunning());
    Mouse(&scroller, QEvent::MouseButtonPress, QPointF(100, 15), Qt::LeftButton, Qt::LeftButton);
    Mouse(&scroller, QEvent::MouseButtonRelease, QPointF(100, 15), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(scroller.TimerRunning());  // it was paused before the pan
    EXPECT_EQ(hotClick.count(), 1);
    scroller.ToggleScroll();
    EXPECT_TRUE(scroller.TimerRunning());
    scroller.SetScroll(false);
    EXPECT_FALSE(scroller.TimerRunning());
}

TEST_F(ScrollerTest, PropertiesUseTheirOwnKeysAndDefaults) {
    PropertyBag bag;
    MsgScroller fresh;
    fresh.WriteProperties(bag);
    EXPECT_TRUE(bag.Keys().isEmpty());
    EXPECT_EQ(fresh.BorderStyle(), 1);
    EXPECT_EQ(fresh.BackColor(), 0x8000000Fu);
    EXPECT_EQ(fresh.ForeColor(), 0x80000012u);
    EXPECT_EQ(fresh.ScrollInterval(), 120);
    EXPECT_FALSE(fresh.Enabled());
    EXPECT_TRUE(fresh.AllowPan());

    scroller.SetAllowPan(false);
    scroller.SetScrollSpeed(5);
    scroller.SetEnabled(true);
    scroller.SetBackColor(0x80000012);
    PropertyBag changed;
    scroller.WriteProperties(changed);
    EXPECT_EQ(changed.Keys(), QStringList({"Border", "BackColor", "Font", "ScrollSpeed", "Enabled", "Pan"}));
    MsgScroller loaded;
    loaded.ReadProperties(changed);
    EXPECT_EQ(loaded.BorderStyle(), 0);
    EXPECT_FALSE(loaded.AllowPan());
    EXPECT_EQ(loaded.ScrollSpeed(), 5);
    EXPECT_EQ(loaded.Font(), font);
}
