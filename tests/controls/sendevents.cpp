#include "sendevents.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

void Mouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Key(QWidget* w, int key, QEvent::Type type) {
    QKeyEvent e(type, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Plain(QWidget* w, QEvent::Type type) {
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        QFocusEvent e(type, Qt::TabFocusReason);
        QApplication::sendEvent(w, &e);
        return;
    }
    QEvent e(type);
    QApplication::sendEvent(w, &e);
}
