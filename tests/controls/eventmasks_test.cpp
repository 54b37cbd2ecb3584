#include "controls/eventmasks.h"

#include <gtest/gtest.h>

TEST(EventMasks, ButtonsAreLeftOneRightTwoMiddleFour) {
    EXPECT_EQ(ButtonMask(Qt::NoButton), 0);
    EXPECT_EQ(ButtonMask(Qt::LeftButton), 1);
    EXPECT_EQ(ButtonMask(Qt::RightButton), 2);
    EXPECT_EQ(ButtonMask(Qt::MiddleButton), 4);
    EXPECT_EQ(ButtonMask(Qt::LeftButton | Qt::MiddleButton), 5);
    EXPECT_EQ(ButtonMask(Qt::LeftButton | Qt::RightButton | Qt::MiddleButton), 7);
    EXPECT_EQ(ButtonMask(Qt::BackButton), 0);  // buttons the events have no bit for
}

TEST(EventMasks, ShiftIsOneCtrlTwoAltFour) {
    EXPECT_EQ(ShiftMask(Qt::NoModifier), 0);
    EXPECT_EQ(ShiftMask(Qt::ShiftModifier), 1);
    EXPECT_EQ(ShiftMask(Qt::ControlModifier), 2);
    EXPECT_EQ(ShiftMask(Qt::AltModifier), 4);
    EXPECT_EQ(ShiftMask(Qt::ShiftModifier | Qt::AltModifier), 5);
    EXPECT_EQ(ShiftMask(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier), 7);
    EXPECT_EQ(ShiftMask(Qt::MetaModifier | Qt::KeypadModifier), 0);
}
