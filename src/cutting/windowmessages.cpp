#include "cutting/windowmessages.h"

#include <QAbstractButton>
#include <QWidget>

WindowMessages::WindowMessages(MessageBoxes& boxes, QWidget& window, QWidget& neutral)
    : boxes_(boxes), window_(window), neutral_(neutral) {}

void WindowMessages::Show(QWidget* owner, const QString& text, MsgIcon icon, const QString& caption) {
    boxes_.Show(owner, text, icon, caption);
    KeepEnterOffButtons();
}

bool WindowMessages::Ask(QWidget* owner, const QString& text, const QString& caption) {
    const bool yes = boxes_.Ask(owner, text, caption);
    KeepEnterOffButtons();
    return yes;
}

// The box is gone, but the window need not be active again yet: the application's focus widget
// is then none, while the window's own is the button that gets the focus back on re-activation.
// Moving the window's own focus settles both cases.
void WindowMessages::KeepEnterOffButtons() {
    if (qobject_cast<QAbstractButton*>(window_.focusWidget())) neutral_.setFocus(Qt::OtherFocusReason);
}
