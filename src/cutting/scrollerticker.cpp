#include "cutting/scrollerticker.h"

#include "controls/msgscroller.h"
#include "controls/windowfonts.h"

ScrollerTicker::ScrollerTicker(QWidget* parent) : scroller_(new MsgScroller(parent)) {
    scroller_->setObjectName("Scroller1");
    scroller_->SetBackColor(kSysButtonText);  // light text on the dark band
    scroller_->SetForeColor(kSysHighlightText);
    scroller_->SetFont(WindowFont("Arial", 8.25, true));
    scroller_->SetScrollSpeed(5);
    scroller_->setMinimumHeight(24);
    scroller_->setCursor(Qt::PointingHandCursor);
    // Keep the band's room in the layout so the window does not jump when it hides.
    QSizePolicy policy = scroller_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    scroller_->setSizePolicy(policy);
}

QWidget* ScrollerTicker::Widget() { return scroller_; }

void ScrollerTicker::Clear() {
    text_.clear();
    scroller_->Clear();
}

void ScrollerTicker::AddItem(const QString& text) {
    text_ = text;
    scroller_->AddItem(text);
}

void ScrollerTicker::SetScroll(bool on) { scroller_->SetScroll(on); }

void ScrollerTicker::SetAutoScroll(bool on) { scroller_->SetAutoScroll(on); }

void ScrollerTicker::SetVisible(bool visible) {
    visible_ = visible;
    scroller_->setVisible(visible);
}
