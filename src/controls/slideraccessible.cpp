#include "controls/slideraccessible.h"

#include "controls/slider.h"

SliderAccessible::SliderAccessible(Slider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

Slider* SliderAccessible::slider() const { return static_cast<Slider*>(widget()); }

void* SliderAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString SliderAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return QString::number(slider()->Value());
    return QAccessibleWidget::text(t);
}

QVariant SliderAccessible::currentValue() const { return slider()->Value(); }

// As a user's move: the value changes and Scroll and Change are raised.
void SliderAccessible::setCurrentValue(const QVariant& value) {
    if (!slider()->Enabled()) return;
    slider()->SetValue(value.toInt());
    emit slider()->Scroll();
}

QVariant SliderAccessible::maximumValue() const { return slider()->Max(); }

QVariant SliderAccessible::minimumValue() const { return slider()->Min(); }

QVariant SliderAccessible::minimumStepSize() const { return 1; }
