#pragma once
// The one-line message band of the cutting window.
#include <QString>

class QWidget;

class Ticker {
public:
    virtual ~Ticker() = default;
    virtual QWidget* Widget() = 0;
    virtual void Clear() = 0;
    virtual void AddItem(const QString& text) = 0;
    virtual void SetScroll(bool on) = 0;
    virtual void SetAutoScroll(bool on) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    // The text of the message on show (empty when cleared).
    virtual QString Text() const = 0;
};
