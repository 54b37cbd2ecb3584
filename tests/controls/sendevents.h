#pragma once
// Mouse and key events sent straight to a control, as the window system would deliver them.
#include <QEvent>
#include <QPointF>
#include <QWidget>

void Mouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons);
inline void Move(QWidget* w, QPointF pos, Qt::MouseButtons held = Qt::NoButton) {
    Mouse(w, QEvent::MouseMove, pos, Qt::NoButton, held);
}
inline void Press(QWidget* w, QPointF pos) {
    Mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}
inline void Release(QWidget* w, QPointF pos) {
    Mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}
void Key(QWidget* w, int key, QEvent::Type type = QEvent::KeyPress);
// Any event that carries nothing but its type (Leave, FocusIn...).
void Plain(QWidget* w, QEvent::Type type);
