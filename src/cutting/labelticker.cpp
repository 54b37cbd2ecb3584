#include "cutting/labelticker.h"

LabelTicker::LabelTicker(QWidget* parent) : label_(new QLabel(parent)) {
    label_->setObjectName("Scroller1");
    label_->setMinimumHeight(22);
    label_->setFrameShape(QFrame::Panel);
    label_->setFrameShadow(QFrame::Sunken);
    label_->setStyleSheet("QLabel#Scroller1 { background: #1f2a36; color: #ffffff; font-weight: bold;"
                          " padding: 2px 6px; }");
}

void LabelTicker::Clear() {
    text_.clear();
    label_->clear();
}

void LabelTicker::AddItem(const QString& text) {
    if (text.trimmed().isEmpty()) return;
    text_ = text;
    label_->setText(text.trimmed());
}

void LabelTicker::SetVisible(bool visible) {
    visible_ = visible;
    // Keep the band's room in the layout so the window does not jump when it hides.
    QSizePolicy policy = label_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label_->setSizePolicy(policy);
    label_->setVisible(visible);
}
