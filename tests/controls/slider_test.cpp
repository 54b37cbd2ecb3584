// The slider: setters and their clamping, the order of reading, pointer and keys.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "controls/propertybag.h"
#include "controls/slider.h"
#include "qtapp.h"
#include "sendevents.h"

namespace {

class SliderTest : public ::testing::Test {
protected:
    // The cutting window's volume slider.
    void SetUp() override {
        slider.SetStyle(1);
        slider.resize(Slider::kThickness, 100);
        slider.SetMin(0);
        slider.SetMax(41);
        slider.SetValue(20);
    }
    QApplication& app = TestApp();
    Slider slider;
};

}  // namespace

TEST(SliderRange, SettersKeepMinBelowMaxAndValueInside) {
    TestApp();
    Slider s;
    EXPECT_EQ(s.Value(), 50);
    EXPECT_EQ(s.Max(), 100);
    EXPECT_EQ(s.Min(), -100);
    QSignalSpy change(&s, &Slider::Change);
    s.SetMax(-100);
    EXPECT_EQ(s.Max(), -99);
    EXPECT_EQ(s.Value(), -99);
    s.SetMin(5);
    EXPECT_EQ(s.Min(), -100);  // not below Max: Max - 1
    EXPECT_EQ(s.Value(), -99);
    s.SetMax(10);
    s.SetValue(500);
    EXPECT_EQ(s.Value(), 10);
    s.SetValue(-500);
    EXPECT_EQ(s.Value(), -100);
    EXPECT_EQ(change.count(), 5);
    // Extreme ranges neither overflow nor break the order.
    s.SetMin(INT32_MIN);
    s.SetMax(INT32_MIN);
    EXPECT_LT(s.Min(), s.Max());
    s.SetMax(INT32_MAX);
    s.SetMin(INT32_MAX);
    EXPECT_LT(s.Min(), s.Max());
    EXPECT_EQ(SliderPointerToValue(1e9, {100, 4, 4, 8}, INT32_MIN, INT32_MAX, false).value, INT32_MAX);
}

TEST(SliderRange, ValueIsReadBeforeMaxAndMin) {
    TestApp();
    PropertyBag bag;
    bag.WriteProperty("Value", 150);
    bag.WriteProperty("Max", 200);
    Slider s;
    s.ReadProperties(bag);
    EXPECT_EQ(s.Max(), 200);
    EXPECT_EQ(s.Value(), 100);  // clamped to the creation range before Max was read

    Slider round;
    round.SetMin(0);
    round.SetMax(41);
    round.SetValue(20);
    round.SetStyle(1);
    round.SetSnap(true);
    PropertyBag saved;
    round.WriteProperties(saved);
    EXPECT_EQ(saved.Keys(), QStringList({"Value", "Max", "Min", "Snap", "Style"}));
    Slider loaded;
    loaded.ReadProperties(saved);
    EXPECT_EQ(loaded.Value(), 20);
    EXPECT_EQ(loaded.Max(), 41);
    EXPECT_EQ(loaded.Min(), 0);
    EXPECT_TRUE(loaded.Vertical());
}

TEST(SliderGeometry, KnobFromValueAndFillColour) {
    const SliderTrack track{100, 4, 4, 8};  // usable 84
    EXPECT_EQ(SliderKnobFromValue(0, 0, 41, track), 5);
    EXPECT_EQ(SliderKnobFromValue(41, 0, 41, track), 89);
    EXPECT_EQ(SliderKnobFromValue(20, 0, 41, track), 46);  // 4 + round(40.98) + 1
    EXPECT_EQ(SliderFillColor(RGBColor(200, 200, 0), RGBColor(200, 0, 0), 0), RGBColor(200, 200, 0));
    EXPECT_EQ(SliderFillColor(RGBColor(200, 200, 0), RGBColor(200, 0, 0), 1), RGBColor(200, 0, 0));
    EXPECT_EQ(SliderFillColor(RGBColor(200, 200, 0), RGBColor(200, 0, 0), 0.5), RGBColor(200, 100, 0));
    EXPECT_EQ(SliderFillColor(RGBColor(0, 0, 0), RGBColor(200, 0, 0), -0.5), RGBColor(0, 0, 0));
    // Vertical: the top gives Max; the knob position is measured from the bottom.
    const SliderPointerResult top = SliderPointerToValue(8, track, 0, 41, true);
    EXPECT_EQ(top.value, 41);
    EXPECT_DOUBLE_EQ(top.knobPos, 100 - (8 - 4) - 4);
    const SliderPointerResult low = SliderPointerToValue(200, track, 0, 41, true);
    EXPECT_EQ(low.value, 0);
    EXPECT_DOUBLE_EQ(low.knobPos, 100 - (92 - 4) - 4);  // pointer clamped to 100 - (4 + 4)
    EXPECT_EQ(SliderPointerToValue(50, track, 0, 41, true).value, 41 - 20);  // round(20.5) = 20
    EXPECT_EQ(SliderPointerToValue(50, track, -100, 100, false).value, -100 + 100);
}

TEST_F(SliderTest, DraggingToTheEndsGivesMaxAndMinAndAPressAloneChangesNothing) {
    QSignalSpy scroll(&slider, &Slider::Scroll);
    QSignalSpy change(&slider, &Slider::Change);
    Mouse(&slider, QEvent::MouseButtonPress, {9, 40}, Qt::LeftButton, Qt::LeftButton);
    Mouse(&slider, QEvent::MouseButtonRelease, {9, 40}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(slider.Value(), 20);
    EXPECT_EQ(change.count(), 0);
    Mouse(&slider, QEvent::MouseButtonPress, {9, 40}, Qt::LeftButton, Qt::LeftButton);
    Mouse(&slider, QEvent::MouseMove, {9, 0}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(slider.Value(), 41);
    Mouse(&slider, QEvent::MouseMove, {9, 100}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(slider.Value(), 0);
    EXPECT_EQ(scroll.count(), 2);
    EXPECT_EQ(change.count(), 2);
    Mouse(&slider, QEvent::MouseButtonRelease, {9, 100}, Qt::LeftButton, Qt::NoButton);
    // A pointer-placed knob follows the pointer; a setter puts it back on the value.
    EXPECT_DOUBLE_EQ(slider.KnobPosition(), 100 - (92 - 4) - 4);
    slider.SetValue(41);
    EXPECT_DOUBLE_EQ(slider.KnobPosition(), SliderKnobFromValue(41, 0, 41, slider.Track()));
    slider.SetSnap(true);
    Mouse(&slider, QEvent::MouseMove, {9, 50}, Qt::NoButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(slider.KnobPosition(), SliderKnobFromValue(slider.Value(), 0, 41, slider.Track()));
}

TEST_F(SliderTest, DisabledSliderIgnoresThePointerButNotTheKeys) {
    slider.SetEnabled(false);
    Mouse(&slider, QEvent::MouseMove, {9, 0}, Qt::NoButton, Qt::LeftButton);
    Mouse(&slider, QEvent::MouseButtonDblClick, {9, 0}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(slider.Value(), 20);
    Key(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.Value(), 21);
}

TEST_F(SliderTest, KeysStepByOneAndAnyKeyRaisesChangeThenScroll) {
    std::vector<std::string> order;
    QObject::connect(&slider, &Slider::Change, [&] { order.push_back("Change"); });
    QObject::connect(&slider, &Slider::Scroll, [&] { order.push_back("Scroll"); });
    Key(&slider, Qt::Key_Left);
    EXPECT_EQ(slider.Value(), 19);
    Key(&slider, Qt::Key_A);
    EXPECT_EQ(slider.Value(), 19);
    EXPECT_EQ(order, (std::vector<std::string>{"Change", "Scroll", "Change", "Scroll"}));
    slider.SetValue(41);
    Key(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.Value(), 41);
}

TEST_F(SliderTest, DoubleClickUsesTheLastPointerPosition) {
    QSignalSpy dbl(&slider, &Slider::DblClick);
    QSignalSpy click(&slider, &Slider::Click);
    Mouse(&slider, QEvent::MouseMove, {9, 0}, Qt::NoButton, Qt::NoButton);  // recorded only
    EXPECT_EQ(slider.Value(), 20);
    Mouse(&slider, QEvent::MouseButtonDblClick, {9, 60}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(slider.Value(), 41);
    ASSERT_EQ(dbl.count(), 1);
    EXPECT_EQ(dbl[0][0].toInt(), 41);
    Mouse(&slider, QEvent::MouseButtonRelease, {9, 60}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(click.count(), 1);
}
