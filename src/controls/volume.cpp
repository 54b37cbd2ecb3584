#include "controls/volume.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "controls/accessibility.h"
#include "controls/deviceratio.h"
#include "controls/olecolor.h"
#include "controls/soundmod.h"
#include "mpeg/rounding.h"

Volume::Volume(WaveOut& waveOut, QWidget* parent) : QWidget(parent), waveOut_(waveOut) {
    InstallControlsAccessibility();
    setFixedSize(sizeHint());
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, &Volume::Poll);
    Poll();
    poll_.start();
}

QSize Volume::sizeHint() const { return QSize(kTrackEnd + kKnobWidth + 2, kKnobHeight + 5); }

void Volume::SetVolume(int16_t Level) {
    if (muted_) {
        return;
    }
    if (Level > 49) {
        Level = 50;
    } else if (Level < 0) {
        Level = 0;
    }
    SoundMod::SetWaveVolumeLevel(waveOut_, Level);
}

int32_t Volume::GetVolume() const { return SoundMod::GetWaveVolumeLevel(waveOut_); }

void Volume::VolumeMuted(bool mute) {
    if (mute) {
        volumeBeforeMute_ = SoundMod::GetWaveVolumeLevel(waveOut_);
        SoundMod::SetWaveVolumeLevel(waveOut_, 0);
        muted_ = true;
    } else {
        SoundMod::SetWaveVolumeLevel(waveOut_, static_cast<int16_t>(volumeBeforeMute_));
        muted_ = false;
    }
    update();
}

void Volume::SetControlBackground(bool) {}

void Volume::Poll() {
    if (dragging_ || muted_) {
        return;
    }
    const double level = SoundMod::GetWaveVolumeLevel(waveOut_);
    if (level != knobLeft_) {
        knobLeft_ = level;
        update();
    }
}

bool Volume::OnKnob(const QPointF& pos) const {
    return !muted_ && pos.x() >= knobLeft_ && pos.x() < knobLeft_ + kKnobWidth &&
           pos.y() >= kKnobTop && pos.y() < kKnobTop + kKnobHeight;
}

void Volume::SetLevelFromKnob() {
    SoundMod::SetWaveVolumeLevel(waveOut_, static_cast<int16_t>(RoundHalfEvenToInt32(knobLeft_)));
}

void Volume::mousePressEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    if (e->button() == Qt::LeftButton) {
        if (OnKnob(pos)) {
            muted_ = false;
            dragging_ = true;
            grabOffset_ = static_cast<int16_t>(RoundHalfEvenToInt32(pos.x() - knobLeft_));
        } else {
            VolumeMuted(false);
            knobLeft_ = pos.x() < 9 ? 0 : pos.x() > kTrackEnd ? kTrackEnd : pos.x();
            SetLevelFromKnob();
        }
        update();
    } else if (e->button() == Qt::RightButton && !muted_) {
        VolumeMuted(true);
    }
}

void Volume::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_ || muted_) {
        return;
    }
    const double p = e->position().x() - grabOffset_;
    knobLeft_ = p <= 0 ? 0 : p >= kTrackEnd + 1 ? kTrackEnd : p;
    SetLevelFromKnob();
    update();
}

void Volume::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !dragging_ || muted_) {
        return;
    }
    dragging_ = false;
    SetLevelFromKnob();
    update();
}

QImage Volume::KnobImage(bool pressed, qreal ratio) {
    // Drawn at the device's own resolution: the rounded outline and grip lines stay crisp.
    QImage image((QSizeF(kKnobWidth, kKnobHeight) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, kKnobWidth, 0);
    if (pressed) {
        face.setColorAt(0, QColor(0xB8, 0xD8, 0xF8));
        face.setColorAt(1, QColor(0x3C, 0x7C, 0xC8));
    } else {
        face.setColorAt(0, QColor(0xFC, 0xFC, 0xFC));
        face.setColorAt(1, QColor(0x9A, 0xA4, 0xB0));
    }
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, kKnobWidth - 1, kKnobHeight - 1), 2.5, 2.5);
    p.fillPath(body, face);
    p.setPen(QPen(pressed ? QColor(0x1E, 0x4C, 0x88) : QColor(0x5A, 0x64, 0x70), 1));
    p.drawPath(body);
    // Grip lines across the middle.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int y = 6; y <= 10; y += 2) {
        p.setPen(QColor(0, 0, 0, 70));
        p.drawLine(2, y, kKnobWidth - 3, y);
        p.setPen(QColor(255, 255, 255, 160));
        p.drawLine(2, y + 1, kKnobWidth - 3, y + 1);
    }
    return image;
}

QPixmap Volume::CachedKnob(bool pressed, qreal ratio) {
    return CachedPicture(QStringLiteral("trimbel-volume-knob:%1:%2").arg(pressed ? 1 : 0).arg(ratio),
                         [&] { return KnobImage(pressed, ratio); });
}

void Volume::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int right = kTrackEnd + kKnobWidth;
    const int bottom = kKnobTop + kKnobHeight;
    // The wedge: rising grey edge, white end and a bottom edge in the window colour.
    QPolygon wedge;
    wedge << QPoint(1, bottom - 1) << QPoint(right, kKnobTop + 2) << QPoint(right, bottom - 1);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, right, 0);
    fill.setColorAt(0, QColor(0x7A, 0xC0, 0x5A, 90));
    fill.setColorAt(0.7, QColor(0xE8, 0xC8, 0x40, 110));
    fill.setColorAt(1, QColor(0xE0, 0x50, 0x30, 130));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPolygon(wedge);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawLine(1, bottom - 1, right, kKnobTop + 2);
    p.setPen(Qt::white);
    p.drawLine(right, kKnobTop + 2, right, bottom - 1);
    p.setPen(ToQColor(kSysWindow));
    p.drawLine(1, bottom, right, bottom);
    if (!muted_) {
        p.drawPixmap(QPointF(knobLeft_, kKnobTop), CachedKnob(dragging_, DeviceRatio(p)));
    }
}
