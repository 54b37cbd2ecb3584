#include "cutting/positionslider.h"

#include <algorithm>

#include <QPainter>
#include <QStyleOptionSlider>

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 10);
    setTickPosition(QSlider::TicksBelow);
    setMinimumHeight(36);
    // QSlider's own accessible interface gives the role and the value in seconds.
    setAccessibleName("Playing position");
    setAccessibleDescription("Playing position in seconds; the marked selection is highlighted");
    connect(this, &QSlider::valueChanged, this, [this] {
        if (!programmatic_) emit Scroll();
    });
}

void PositionSlider::SetMin(int value) {
    programmatic_ = true;
    setMinimum(value);
    programmatic_ = false;
}

void PositionSlider::SetMax(int value) {
    programmatic_ = true;
    setMaximum(value);
    programmatic_ = false;
}

void PositionSlider::SetValue(int value) {
    programmatic_ = true;
    setValue(std::clamp(value, minimum(), maximum()));
    programmatic_ = false;
}

void PositionSlider::SetTickFrequency(int value) { setTickInterval(value); }

void PositionSlider::SetSelStart(int value) {
    selStart_ = value;
    hasSelection_ = true;
    update();
}

void PositionSlider::SetSelLength(int value) {
    selLength_ = std::max(0, value);
    hasSelection_ = true;
    update();
}

void PositionSlider::ClearSel() {
    selStart_ = 0;
    selLength_ = 0;
    hasSelection_ = false;
    update();
}

void PositionSlider::paintEvent(QPaintEvent* event) {
    if (hasSelection_) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        int span = groove.width() - handle.width();
        int half = handle.width() / 2;
        auto xOf = [&](int v) {
            return groove.x() + half +
                   QStyle::sliderPositionFromValue(minimum(), maximum(), std::clamp(v, minimum(), maximum()), span);
        };
        int left = xOf(selStart_);
        int right = xOf(selStart_ + selLength_);
        QPainter painter(this);
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(150);
        QRect rect(left - 2, groove.center().y() - 6, right - left + 4, 12);
        painter.fillRect(rect, band);
    }
    QSlider::paintEvent(event);
}
