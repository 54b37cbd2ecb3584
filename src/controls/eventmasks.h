#pragma once
// Mouse-button and shift masks as the controls' MouseDown/MouseMove/MouseUp events carry them:
// left 1, right 2, middle 4; Shift 1, Ctrl 2, Alt 4.
#include <Qt>

short ButtonMask(Qt::MouseButtons buttons);
short ShiftMask(Qt::KeyboardModifiers modifiers);
