// The owner-drawn controls as a screen reader sees them: role, name and value, and a value set
// through the accessibility bus acting as the user's move.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QSignalSpy>

#include "controls/msgscroller.h"
#include "controls/slider.h"
#include "controls/volume.h"
#include "support/fakewaveout.h"
#include "qtapp.h"

TEST(ControlsAccessibility, SliderIsASliderWithItsRangeAndValue) {
    TestApp();
    Slider slider;
    slider.SetStyle(1);
    slider.SetMin(0);
    slider.SetMax(41);
    slider.SetValue(20);
    slider.setAccessibleName("Volume level");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&slider);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Slider);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Volume level");
    EXPECT_EQ(accessible->text(QAccessible::Value), "20");
    EXPECT_TRUE(accessible->state().focusable);
    QAccessibleValueInterface* value = accessible->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 41);
    EXPECT_EQ(value->minimumStepSize().toInt(), 1);

    QSignalSpy scrolls(&slider, &Slider::Scroll);
    value->setCurrentValue(55);  // clamped like any other value
    EXPECT_EQ(slider.Value(), 41);
    EXPECT_EQ(value->currentValue().toInt(), 41);
    EXPECT_EQ(scrolls.count(), 1);
    slider.SetEnabled(false);
    value->setCurrentValue(3);
    EXPECT_EQ(slider.Value(), 41) << "a disabled slider ignores it, as it ignores the mouse";
}

TEST(ControlsAccessibility, VolumeIsANamedSliderThatSaysWhenMuted) {
    TestApp();
    FakeWaveOut out;
    Volume volume(out);
    volume.SetVolume(20);
    volume.Poll();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&volume);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Slider);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Volume");
    EXPECT_EQ(accessible->text(QAccessible::Value), "20");
    ASSERT_NE(accessible->valueInterface(), nullptr);
    EXPECT_EQ(accessible->valueInterface()->maximumValue().toInt(), 41);
    accessible->valueInterface()->setCurrentValue(33);
    EXPECT_EQ(out.word & 0xFFFF, 51492u) << "33 levels of 1560.35";
    EXPECT_EQ(accessible->text(QAccessible::Value), "33");
    volume.VolumeMuted(true);
    EXPECT_EQ(accessible->text(QAccessible::Value), "Muted");
    volume.setAccessibleName("Output volume");
    EXPECT_EQ(accessible->text(QAccessible::Name), "Output volume");
}

TEST(ControlsAccessibility, TickerReadsItsMessageWithoutThePadding) {
    TestApp();
    MsgScroller scroller;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&scroller);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::StaticText);
    EXPECT_EQ(accessible->text(QAccessible::Name), "");
    EXPECT_EQ(accessible->text(QAccessible::Description), "Scrolling messages");
    scroller.AddItem("Playing song.mp3" + QString(129, QLatin1Char(' ')));
    EXPECT_EQ(accessible->text(QAccessible::Name), "Playing song.mp3");
    scroller.Clear();
    scroller.AddItem("STOPPEDsong.mp3   ");
    EXPECT_EQ(accessible->text(QAccessible::Name), "STOPPEDsong.mp3");
}
