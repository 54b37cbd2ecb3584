#include "controls/slider.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "controls/accessibility.h"
#include "controls/deviceratio.h"
#include "controls/eventmasks.h"
#include "controls/propertybag.h"
#include "mpeg/rounding.h"

namespace {

int32_t ClampValue(int64_t value, int32_t min, int32_t max) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, min, max));
}

}  // namespace

SliderPointerResult SliderPointerToValue(double pointer, const SliderTrack& track, int32_t min,
                                         int32_t max, bool vertical) {
    const int usable = track.Usable();
    const double range = static_cast<double>(max) - static_cast<double>(min);
    const int64_t raw =
        usable > 0 ? RoundHalfEvenToInt64(((pointer - track.knob) / usable) * range) : 0;
    const int64_t value = vertical ? static_cast<int64_t>(max) - raw : static_cast<int64_t>(min) + raw;

    const double half = track.knob / 2.0;
    const double low = half + track.firstCap - 1;
    const double high = track.length - (half + track.secondCap);
    const double clamped = std::max(low, std::min(pointer, high));
    const double knobPos = vertical ? track.length - (clamped - half) - 4 : clamped - half;
    return {ClampValue(value, min, max), knobPos};
}

int SliderKnobFromValue(int32_t value, int32_t min, int32_t max, const SliderTrack& track) {
    const double range = static_cast<double>(max) - static_cast<double>(min);
    const double f = range != 0 ? (static_cast<double>(value) - min) / range : 0;
    return RoundHalfEvenToInt32(track.knob / 2.0 + RoundHalfEven(f * track.Usable()) + 1);
}

OleColor SliderFillColor(OleColor foreColor, OleColor foreColor2, double f) {
    const Rgb a = GetRGB(foreColor);
    const Rgb b = GetRGB(foreColor2);
    auto mix = [f](int x, int y) {
        return std::clamp(static_cast<int>(x * (1 - f) + y * f), 0, 255);
    };
    return RGBColor(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b));
}

Slider::Slider(QWidget* parent) : QWidget(parent) {
    InstallControlsAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &Slider::Change, this, [this] { NotifyAccessibleValue(this, value_); });
    setMouseTracking(true);
    resize(sizeHint());
}

QSize Slider::sizeHint() const {
    return Vertical() ? QSize(kThickness, 120) : QSize(120, kThickness);
}

SliderTrack Slider::Track() const {
    return {Vertical() ? height() : width(), kCap, kCap, kKnobLength};
}

void Slider::ValueChanged() {
    knobFromPointer_ = false;
    update();
    emit Change();
}

void Slider::SetValue(int32_t value) {
    value_ = std::clamp(value, min_, max_);
    ValueChanged();
}

void Slider::SetMax(int32_t value) {
    max_ = value;
    if (min_ >= max_) {
        if (min_ == INT32_MAX) {
            min_ = INT32_MAX - 1;  // Min + 1 would overflow; keep Max above Min all the same
        }
        max_ = min_ + 1;
    }
    value_ = std::min(value_, max_);
    ValueChanged();
}

void Slider::SetMin(int32_t value) {
    min_ = value;
    if (min_ >= max_) {
        if (max_ == INT32_MIN) {
            max_ = INT32_MIN + 1;
        }
        min_ = max_ - 1;
    }
    value_ = std::max(value_, min_);
    ValueChanged();
}

void Slider::SetBackColor(OleColor color) {
    backColor_ = color;
    ValueChanged();
}

void Slider::SetForeColor(OleColor color) {
    foreColor_ = color;
    ValueChanged();
}

void Slider::SetForeColor2(OleColor color) {
    foreColor2_ = color;
    ValueChanged();
}

void Slider::SetStyle(int32_t style) {
    const bool wasVertical = Vertical();
    style_ = style;
    const int length = std::max(width(), height());
    if (wasVertical != Vertical() || (Vertical() ? width() : height()) != kThickness) {
        resize(Vertical() ? QSize(kThickness, length) : QSize(length, kThickness));
    }
    knobFromPointer_ = false;
    update();
}

double Slider::KnobPosition() const {
    if (knobFromPointer_ && !snap_) {
        return pointerKnobPos_;
    }
    return SliderKnobFromValue(value_, min_, max_, Track());
}

double Slider::FillFraction() const {
    if (knobFromPointer_ && !snap_) {
        const SliderTrack t = Track();
        const int span = t.length - t.firstCap - t.secondCap;
        return span > 0 ? pointerKnobPos_ / span : 0;
    }
    return (static_cast<double>(value_) - min_) / (static_cast<double>(max_) - min_);
}

void Slider::PositionToValue(const QPointF& pointer) {
    const SliderPointerResult r =
        SliderPointerToValue(Vertical() ? pointer.y() : pointer.x(), Track(), min_, max_, Vertical());
    value_ = r.value;
    pointerKnobPos_ = r.knobPos;
    knobFromPointer_ = true;
    update();
    emit Scroll();
    emit Change();
}

void Slider::mousePressEvent(QMouseEvent* e) {
    pressed_ = true;
    lastPointer_ = e->position();
}

void Slider::mouseMoveEvent(QMouseEvent* e) {
    lastPointer_ = e->position();
    if ((e->buttons() & Qt::LeftButton) && enabled_) {
        PositionToValue(lastPointer_);
    }
}

void Slider::mouseReleaseEvent(QMouseEvent* e) {
    emit MouseUp(ButtonMask(e->button()), ShiftMask(e->modifiers()), e->position().x(),
                 e->position().y());
    if (pressed_ && rect().contains(e->position().toPoint())) {
        emit Click();
    }
    pressed_ = false;
}

void Slider::mouseDoubleClickEvent(QMouseEvent*) {
    pressed_ = true;
    if (!enabled_) {
        return;
    }
    PositionToValue(lastPointer_);
    emit DblClick(value_);
}

void Slider::keyPressEvent(QKeyEvent* e) {
    int64_t value = value_;
    if (e->key() == Qt::Key_Left) {
        --value;
    } else if (e->key() == Qt::Key_Right) {
        ++value;
    }
    value_ = ClampValue(value, min_, max_);
    knobFromPointer_ = false;
    update();
    emit Change();
    emit Scroll();
}

QImage Slider::StripImage(bool full, QColor centre, bool vertical) {
    // Drawn across a one-pixel slice of the strip, then stretched along the track.
    QImage slice(kThickness, 1, QImage::Format_ARGB32_Premultiplied);
    slice.fill(Qt::transparent);
    auto* line = reinterpret_cast<QRgb*>(slice.scanLine(0));
    const QColor rim(0x70, 0x78, 0x84);
    const QColor groove = full ? QColor(0xE8, 0xEC, 0xF2) : QColor(0xD4, 0xD8, 0xDE);
    for (int i = 3; i <= 15; ++i) {
        QColor c = groove;
        if (i == 3 || i == 15) {
            c = rim;
        } else if (i >= 6 && i <= 12) {
            // The centre line, with a little gloss toward its left half.
            const int lift = full ? std::max(0, 40 - (i - 6) * 10) : 0;
            c = QColor(std::min(255, centre.red() + lift), std::min(255, centre.green() + lift),
                       std::min(255, centre.blue() + lift));
        } else if (i == 4) {
            c = groove.darker(112);
        }
        line[i] = c.rgba();
    }
    if (vertical) {
        return slice;
    }
    return slice.transformed(QTransform().rotate(90));
}

QImage Slider::KnobImage(bool vertical, qreal ratio) {
    const QSize size = vertical ? QSize(kKnobThickness, kKnobLength) : QSize(kKnobLength, kKnobThickness);
    // Drawn at the device's own resolution: the rounded outline and gradient stay crisp.
    QImage image((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, vertical ? 0 : size.width(), vertical ? size.height() : 0);
    face.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    face.setColorAt(0.5, QColor(0xD6, 0xDE, 0xE8));
    face.setColorAt(1, QColor(0x8C, 0x98, 0xA8));
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 2.5, 2.5);
    p.fillPath(body, face);
    p.setPen(QPen(QColor(0x46, 0x50, 0x5E), 1));
    p.drawPath(body);
    return image;
}

void Slider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const qreal ratio = DeviceRatio(p);
    const bool vertical = Vertical();
    const double pos = KnobPosition();
    const QColor back = ToQColor(backColor_);
    const QColor fill = ToQColor(SliderFillColor(foreColor_, foreColor2_, FillFraction()));
    const QImage empty = StripImage(false, back, vertical);
    const QImage full = StripImage(true, fill, vertical);
    const QColor rim(0x70, 0x78, 0x84);
    if (vertical) {
        const int H = height();
        const int split = RoundHalfEvenToInt32(H - pos);
        p.drawImage(QRect(0, 0, kThickness, std::max(0, split)), empty);
        p.drawImage(QRect(0, split, kThickness, std::max(0, H - split)), full);
        // End caps: rounded ends of the groove.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(rim, 1));
        p.setBrush(Qt::NoBrush);
        p.fillRect(QRect(0, 0, kThickness, kCap), palette().window());
        p.fillRect(QRect(0, H - kCap, kThickness, kCap), palette().window());
        p.drawRoundedRect(QRectF(3.5, 0.5, 12, 2.0 * kCap), 3, 3);
        p.drawRoundedRect(QRectF(3.5, H - 2.0 * kCap - 0.5, 12, 2.0 * kCap), 3, 3);
        p.fillRect(QRect(4, kCap - 1, 11, kCap + 1), empty.pixelColor(8, 0));
        p.fillRect(QRect(4, H - 2 * kCap, 11, kCap + 1), full.pixelColor(8, 0));
        p.fillRect(QRect(6, kCap - 1, 7, kCap + 1), back);
        p.fillRect(QRect(6, H - 2 * kCap, 7, kCap + 1), fill);
        // The knob is centred on the split between the strips.
        p.drawPixmap(QPointF(kKnobInset, H - pos - kKnobLength / 2.0), CachedKnob(true, ratio));
        DrawFocus(p);
        return;
    }
    const int W = width();
    const int split = RoundHalfEvenToInt32(pos);
    p.drawImage(QRect(0, 0, std::max(0, split), kThickness), full);
    p.drawImage(QRect(split, 0, std::max(0, W - split), kThickness), empty);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, kCap, kThickness), palette().window());
    p.fillRect(QRect(W - kCap, 0, kCap, kThickness), palette().window());
    p.setPen(QPen(rim, 1));
    p.drawRoundedRect(QRectF(0.5, 3.5, 2.0 * kCap, 12), 3, 3);
    p.drawRoundedRect(QRectF(W - 2.0 * kCap - 0.5, 3.5, 2.0 * kCap, 12), 3, 3);
    p.fillRect(QRect(kCap - 1, 4, kCap + 1, 11), full.pixelColor(0, 8));
    p.fillRect(QRect(W - 2 * kCap, 4, kCap + 1, 11), empty.pixelColor(0, 8));
    p.fillRect(QRect(kCap - 1, 6, kCap + 1, 7), fill);
    p.fillRect(QRect(W - 2 * kCap, 6, kCap + 1, 7), back);
    p.drawPixmap(QPointF(pos, kKnobInset), CachedKnob(false, ratio));
    DrawFocus(p);
}

QPixmap Slider::CachedKnob(bool vertical, qreal ratio) {
    return CachedPicture(QStringLiteral("trimbel-slider-knob:%1:%2").arg(vertical ? 1 : 0).arg(ratio),
                         [&] { return KnobImage(vertical, ratio); });
}

void Slider::DrawFocus(QPainter& p) const {
    if (!hasFocus()) {
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void Slider::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty("Value", value_, 50);
    bag.WriteProperty("Max", max_, 100);
    bag.WriteProperty("Min", min_, -100);
    bag.WriteProperty("BackColor", backColor_, OleColor{0});
    bag.WriteProperty("ForeColor", foreColor_, RGBColor(200, 200, 0));
    bag.WriteProperty("ForeColor2", foreColor2_, RGBColor(200, 0, 0));
    bag.WriteProperty("Enabled", enabled_, true);
    bag.WriteProperty("Snap", snap_, false);
    bag.WriteProperty("Style", style_, 0);
}

void Slider::ReadProperties(const PropertyBag& bag) {
    value_ = 50;
    max_ = 100;
    min_ = -100;
    // Each key goes through its setter in this order, so a stored Value is clamped to the
    // range in force before Max and Min are read.
    SetValue(bag.ReadProperty("Value", 50).toInt());
    SetMax(bag.ReadProperty("Max", 100).toInt());
    SetMin(bag.ReadProperty("Min", -100).toInt());
    SetBackColor(bag.ReadProperty("BackColor", OleColor{0}).toUInt());
    SetForeColor(bag.ReadProperty("ForeColor", RGBColor(200, 200, 0)).toUInt());
    SetForeColor2(bag.ReadProperty("ForeColor2", RGBColor(200, 0, 0)).toUInt());
    SetEnabled(bag.ReadProperty("Enabled", true).toBool());
    SetSnap(bag.ReadProperty("Snap", false).toBool());
    SetStyle(bag.ReadProperty("Style", 0).toInt());
}
