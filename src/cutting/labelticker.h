#pragma once
// The message band as a plain label: shows the latest message, without scrolling.
#include <QLabel>

#include "cutting/ticker.h"

class LabelTicker : public Ticker {
public:
    explicit LabelTicker(QWidget* parent);
    QWidget* Widget() override { return label_; }
    void Clear() override;
    void AddItem(const QString& text) override;
    void SetScroll(bool) override {}
    void SetAutoScroll(bool) override {}
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return visible_; }
    QString Text() const override { return text_; }

private:
    QLabel* label_;
    QString text_;
    bool visible_ = true;
};
