#pragma once
// The cutting window's message boxes. However a box was closed, it leaves the window's focus off
// the buttons, so that a later Enter presses none of them (Open, for one, whose dialog would
// drop the marks). The window and its cut points both show their boxes through it.
#include "controls/messageboxes.h"

class QWidget;

class WindowMessages : public MessageBoxes {
public:
    // `neutral` takes the focus from a button: a widget on which Enter does nothing.
    WindowMessages(MessageBoxes& boxes, QWidget& window, QWidget& neutral);

    void Show(QWidget* owner, const QString& text, MsgIcon icon, const QString& caption) override;
    bool Ask(QWidget* owner, const QString& text, const QString& caption) override;

private:
    void KeepEnterOffButtons();

    MessageBoxes& boxes_;
    QWidget& window_;
    QWidget& neutral_;
};
