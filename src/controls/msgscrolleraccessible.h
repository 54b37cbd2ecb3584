#pragma once
// The message ticker on the accessibility bus: static text whose name is the messages it runs
// (without the blank padding that spaces them out on screen), so a screen reader reads the
// message rather than a moving picture.
#include <QAccessibleWidget>

class MsgScroller;

class MsgScrollerAccessible : public QAccessibleWidget {
public:
    explicit MsgScrollerAccessible(MsgScroller* scroller);
    QString text(QAccessible::Text t) const override;
};
