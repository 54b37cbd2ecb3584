#include "controls/volumeaccessible.h"

#include <algorithm>
#include <cmath>

#include "controls/volume.h"

VolumeAccessible::VolumeAccessible(Volume* volume) : QAccessibleWidget(volume, QAccessible::Slider) {}

Volume* VolumeAccessible::volume() const { return static_cast<Volume*>(widget()); }

void* VolumeAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString VolumeAccessible::text(QAccessible::Text t) const {
    switch (t) {
        case QAccessible::Name:
            return widget()->accessibleName().isEmpty() ? QStringLiteral("Volume") : widget()->accessibleName();
        case QAccessible::Value:
            return volume()->Muted() ? QStringLiteral("Muted") : QString::number(currentValue().toInt());
        default:
            return QAccessibleWidget::text(t);
    }
}

// The level the knob shows.
QVariant VolumeAccessible::currentValue() const {
    return static_cast<int>(std::lround(volume()->Muted() ? 0.0 : volume()->KnobLeft()));
}

void VolumeAccessible::setCurrentValue(const QVariant& value) {
    volume()->SetVolume(static_cast<int16_t>(std::clamp(value.toInt(), 0, static_cast<int>(Volume::kTrackEnd))));
    volume()->Poll();
}

QVariant VolumeAccessible::maximumValue() const { return static_cast<int>(Volume::kTrackEnd); }

QVariant VolumeAccessible::minimumValue() const { return 0; }

QVariant VolumeAccessible::minimumStepSize() const { return 1; }
