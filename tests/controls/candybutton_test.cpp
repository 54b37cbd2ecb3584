// The candy button's properties, states and events, driven by mouse and key events.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>

#include "controls/candybutton.h"
#include "controls/candypainter.h"
#include "controls/propertybag.h"
#include "qtapp.h"

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Move(QWidget* w, QPointF pos, Qt::MouseButtons buttons = Qt::NoButton) {
    Mouse(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

void Press(QWidget* w, QPointF pos) {
    Mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}

void Release(QWidget* w, QPointF pos) {
    Mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void Leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

void Key(QWidget* w, QEvent::Type type, int key) {
    QKeyEvent e(type, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class CandyButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.setGeometry(0, 0, 100, 25);
        button.SetStyle(7);
        button.show();
    }
    QApplication& app = TestApp();
    CandyButton button{"&Open", nullptr};
};

}  // namespace

TEST_F(CandyButtonTest, NewButtonStartsWithTheDefaults) {
    CandyButton fresh;
    EXPECT_TRUE(fresh.Enabled());
    EXPECT_EQ(fresh.Caption(), "CandyButton");
    EXPECT_EQ(fresh.ColorButtonUp(), 0xE99950u);
    EXPECT_EQ(fresh.ColorButtonDown(), 0xE99950u);
    EXPECT_EQ(fresh.ColorButtonHover(), 0xFFC090u);
    EXPECT_EQ(fresh.ColorBright(), 0xFFEDB0u);
    EXPECT_EQ(fresh.CaptionHighLiteColor(), 0x00FF00u);
    EXPECT_EQ(fresh.Style(), 0);
    EXPECT_EQ(fresh.ColorScheme(), 0);
    EXPECT_TRUE(fresh.Picture().isNull());
}

TEST_F(CandyButtonTest, SchemeSetsFourColoursAndAnyColourSetAfterwardsResetsIt) {
    button.SetColorScheme(3);
    EXPECT_EQ(button.ColorButtonUp(), 0x800000u);
    EXPECT_EQ(button.ColorButtonHover(), 0xA00000u);
    EXPECT_EQ(button.ColorButtonDown(), 0xF00000u);
    EXPECT_EQ(button.ColorBright(), 0xFF0000u);
    button.SetColorButtonUp(0x123456);
    EXPECT_EQ(button.ColorScheme(), 0);
    EXPECT_EQ(button.ColorButtonUp(), 0x123456u);
    EXPECT_EQ(button.ColorButtonHover(), 0xA00000u);
    EXPECT_EQ(button.ColorButtonDown(), 0xF00000u);
    EXPECT_EQ(button.ColorBright(), 0xFF0000u);
    button.SetColorScheme(0);  // changes no colour
    EXPECT_EQ(button.ColorButtonUp(), 0x123456u);
    button.SetBorderBrightness(250);
    EXPECT_EQ(button.BorderBrightness(), 100);
    button.SetBorderBrightness(-250);
    EXPECT_EQ(button.BorderBrightness(), -100);
}

TEST_F(CandyButtonTest, StyleChangeRebuildsTheWindowShape) {
    EXPECT_EQ(button.CornerRadius(), 7);
    EXPECT_EQ(button.mask(), CandyShape(100, 25, 7));
    button.SetStyle(6);
    EXPECT_EQ(button.CornerRadius(), 8);
    EXPECT_EQ(button.mask(), CandyShape(100, 25, 8));
    button.SetStyle(0);
    EXPECT_TRUE(button.mask().isEmpty());
    button.SetStyle(7);
    button.resize(100, 1);
    EXPECT_GE(button.CornerRadius(), 1);
}

TEST_F(CandyButtonTest, HoverStartsOnMoveAndEndsOnLeave) {
    QSignalSpy enter(&button, &CandyButton::MouseEnter);
    QSignalSpy leave(&button, &CandyButton::MouseLeave);
    Move(&button, {50, 12});
    EXPECT_TRUE(button.Hovering());
    EXPECT_EQ(button.DrawState(), CandyButton::StateHovered);
    Move(&button, {60, 12});
    EXPECT_EQ(enter.count(), 1);
    Leave(&button);
    EXPECT_FALSE(button.Hovering());
    EXPECT_EQ(leave.count(), 1);
    EXPECT_EQ(button.DrawState(), CandyButton::StateNormal);
    // The edge itself does not count as over the button.
    Move(&button, {0, 12});
    EXPECT_FALSE(button.Hovering());
}

TEST_F(CandyButtonTest, MovingInWithOnlyTheLeftButtonHeldDoesNotHover) {
    QSignalSpy enter(&button, &CandyButton::MouseEnter);
    Move(&button, {50, 12}, Qt::LeftButton);
    EXPECT_FALSE(button.Hovering());
    EXPECT_EQ(enter.count(), 0);
    Move(&button, {50, 12}, Qt::LeftButton | Qt::RightButton);
    EXPECT_TRUE(button.Hovering());
}

TEST_F(CandyButtonTest, PressDragOutsideAndReleaseKeepsFocusAndRaisesNoClick) {
    QSignalSpy down(&button, &CandyButton::MouseDown);
    QSignalSpy up(&button, &CandyButton::MouseUp);
    QSignalSpy click(&button, &CandyButton::Click);
    Move(&button, {50, 12});
    Press(&button, {50, 12});
    EXPECT_EQ(button.DrawState(), CandyButton::StatePressed);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].value<short>(), 1);
    EXPECT_FLOAT_EQ(down[0][2].toFloat(), 50.0f);
    Move(&button, {50, 20}, Qt::LeftButton);
    EXPECT_EQ(button.DrawState(), CandyButton::StatePressed);
    Move(&button, {150, 12}, Qt::LeftButton);
    EXPECT_EQ(button.DrawState(), CandyButton::StateNormal);
    EXPECT_FALSE(button.Hovering());
    Release(&button, {150, 12});
    EXPECT_EQ(button.DrawState(), CandyButton::StateFocused);
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(click.count(), 0);
}

TEST_F(CandyButtonTest, ClickInsideRaisesClickAndClicked) {
    QSignalSpy click(&button, &CandyButton::Click);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    Move(&button, {50, 12});
    Press(&button, {50, 12});
    Release(&button, {50, 12});
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button.DrawState(), CandyButton::StateHovered);
}

TEST_F(CandyButtonTest, DoubleClickRaisesDblClickInsteadOfASecondClick) {
    QSignalSpy click(&button, &CandyButton::Click);
    QSignalSpy dbl(&button, &CandyButton::DblClick);
    Press(&button, {50, 12});
    Release(&button, {50, 12});
    Mouse(&button, QEvent::MouseButtonDblClick, {50, 12}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(button.DrawState(), CandyButton::StatePressed);
    Release(&button, {50, 12});
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(dbl.count(), 1);
}

TEST_F(CandyButtonTest, EnterKeyPressesAndClicks) {
    QSignalSpy down(&button, &CandyButton::MouseDown);
    QSignalSpy up(&button, &CandyButton::MouseUp);
    QSignalSpy click(&button, &CandyButton::Click);
    Key(&button, QEvent::KeyPress, Qt::Key_Return);
    EXPECT_EQ(button.DrawState(), CandyButton::StatePressed);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].value<short>(), 1);
    EXPECT_FLOAT_EQ(down[0][2].toFloat(), 0.0f);
    EXPECT_EQ(click.count(), 0);
    Key(&button, QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(button.DrawState(), CandyButton::StateFocused);
}

TEST_F(CandyButtonTest, CheckedButtonStaysCheckedThroughEveryTransition) {
    button.SetChecked(true);
    EXPECT_EQ(button.DrawState(), CandyButton::StateChecked);
    Move(&button, {50, 12});
    EXPECT_EQ(button.DrawState(), CandyButton::StateChecked);
    Press(&button, {50, 12});
    EXPECT_EQ(button.DrawState(), CandyButton::StateChecked);
    Release(&button, {50, 12});
    EXPECT_EQ(button.DrawState(), CandyButton::StateChecked);
    Leave(&button);
    EXPECT_EQ(button.DrawState(), CandyButton::StateChecked);
    Move(&button, {50, 12});
    button.SetChecked(false);
    EXPECT_EQ(button.DrawState(), CandyButton::StateHovered);
    EXPECT_EQ(button.BodyColor(CandyButton::StateChecked), button.ColorButtonDown());
}

TEST_F(CandyButtonTest, DisabledButtonRaisesOnlyEnterAndLeave) {
    button.SetEnabled(false);
    QSignalSpy click(&button, &CandyButton::Click);
    QSignalSpy dbl(&button, &CandyButton::DblClick);
    QSignalSpy down(&button, &CandyButton::MouseDown);
    QSignalSpy up(&button, &CandyButton::MouseUp);
    QSignalSpy enter(&button, &CandyButton::MouseEnter);
    QSignalSpy leave(&button, &CandyButton::MouseLeave);
    Move(&button, {50, 12});
    Press(&button, {50, 12});
    Release(&button, {50, 12});
    Mouse(&button, QEvent::MouseButtonDblClick, {50, 12}, Qt::LeftButton, Qt::LeftButton);
    Key(&button, QEvent::KeyPress, Qt::Key_Return);
    Key(&button, QEvent::KeyRelease, Qt::Key_Return);
    Leave(&button);
    EXPECT_EQ(click.count(), 0);
    EXPECT_EQ(dbl.count(), 0);
    EXPECT_EQ(down.count(), 0);
    EXPECT_EQ(up.count(), 0);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(leave.count(), 1);
}

TEST_F(CandyButtonTest, FocusShowsTheFocusedStateUnlessHovering) {
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&button, &in);
    EXPECT_EQ(button.DrawState(), CandyButton::StateFocused);
    Move(&button, {50, 12});
    Leave(&button);
    EXPECT_EQ(button.DrawState(), CandyButton::StateFocused);  // keeps focus after the leave
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&button, &out);
    EXPECT_EQ(button.DrawState(), CandyButton::StateNormal);
    Move(&button, {50, 12});
    QApplication::sendEvent(&button, &in);
    EXPECT_EQ(button.DrawState(), CandyButton::StateHovered);
}

TEST_F(CandyButtonTest, SettersRepaintInTheNormalState) {
    Move(&button, {50, 12});
    ASSERT_EQ(button.DrawState(), CandyButton::StateHovered);
    button.SetCaption("Help");
    EXPECT_EQ(button.DrawState(), CandyButton::StateNormal);
    Move(&button, {60, 12});
    Leave(&button);
    Move(&button, {60, 12});
    button.SetCaptionHighLite(true);  // only stores
    EXPECT_EQ(button.DrawState(), CandyButton::StateHovered);
}

TEST_F(CandyButtonTest, SavesOnlyNonDefaultsPlusTheAlwaysWrittenKeysInOrder) {
    CandyButton fresh;
    PropertyBag bag;
    fresh.WriteProperties(bag);
    EXPECT_EQ(bag.Keys(), QStringList({"Checked", "ColorButtonHover", "ColorButtonUp", "ColorButtonDown",
                                       "BorderBrightness", "ColorBright", "DisplayHand",
                                       "ColorScheme"}));

    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    button.SetEnabled(false);
    QFont font = button.Font();
    font.setPointSize(font.pointSize() + 3);
    button.SetFont(font);
    button.SetIconHighLite(true);
    button.SetIconHighLiteColor(0);
    button.SetCaptionHighLite(true);
    button.SetCaptionHighLiteColor(0x123);
    button.SetForeColor(kSysHighlight);
    button.SetPicture(picture);
    button.SetPictureAlignment(2);
    button.SetChecked(true);
    button.SetBorderBrightness(-30);
    button.SetDisplayHand(true);
    button.SetColorScheme(5);
    PropertyBag full;
    button.WriteProperties(full);
    EXPECT_EQ(full.Keys(),
              QStringList({"Enabled", "Font", "Caption", "IconHighLite", "IconHighLiteColor",
                           "CaptionHighLite", "CaptionHighLiteColor", "ForeColor", "Picture",
                           "PictureAlignment", "Style", "Checked", "ColorButtonHover",
                           "ColorButtonUp", "ColorButtonDown", "BorderBrightness", "ColorBright",
                           "DisplayHand", "ColorScheme"}));

    CandyButton loaded;
    loaded.ReadProperties(full);
    EXPECT_FALSE(loaded.Enabled());
    EXPECT_EQ(loaded.Font(), font);
    EXPECT_EQ(loaded.Caption(), "&Open");
    EXPECT_TRUE(loaded.IconHighLite());
    EXPECT_EQ(loaded.IconHighLiteColor(), 0u);
    EXPECT_EQ(loaded.CaptionHighLiteColor(), 0x123u);
    EXPECT_EQ(loaded.ForeColor(), kSysHighlight);
    EXPECT_EQ(loaded.Picture().size(), QSize(16, 16));
    EXPECT_EQ(loaded.PictureAlignment(), 2);
    EXPECT_EQ(loaded.Style(), 7);
    EXPECT_TRUE(loaded.Checked());
    EXPECT_EQ(loaded.ColorScheme(), 5);
    EXPECT_EQ(loaded.ColorButtonUp(), 0x008000u);
    EXPECT_EQ(loaded.BorderBrightness(), -30);
    EXPECT_TRUE(loaded.DisplayHand());
    EXPECT_EQ(loaded.cursor().shape(), Qt::PointingHandCursor);

    CandyButton empty;
    empty.ReadProperties(PropertyBag());
    EXPECT_EQ(empty.Caption(), "CandyButton");
    EXPECT_EQ(empty.ColorButtonHover(), 0xFFC090u);
    EXPECT_EQ(empty.CaptionHighLiteColor(), 0x00FF00u);
    EXPECT_TRUE(empty.Enabled());
}
