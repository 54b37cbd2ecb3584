#pragma once
// The cutting window's message band over the MsgScroller control. It keeps the text of the
// message on show so that the window's state can be read back without reaching into the control.
#include "cutting/ticker.h"

class MsgScroller;

class ScrollerTicker : public Ticker {
public:
    explicit ScrollerTicker(QWidget* parent);
    QWidget* Widget() override;
    MsgScroller* Control() const { return scroller_; }
    void Clear() override;
    void AddItem(const QString& text) override;
    void SetScroll(bool on) override;
    void SetAutoScroll(bool on) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return visible_; }
    QString Text() const override { return text_; }

private:
    MsgScroller* scroller_;
    QString text_;
    bool visible_ = true;
};
