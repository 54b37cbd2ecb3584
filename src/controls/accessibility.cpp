#include "controls/accessibility.h"

#include <QAccessible>
#include <QWidget>

#include "controls/msgscroller.h"
#include "controls/msgscrolleraccessible.h"
#include "controls/slider.h"
#include "controls/slideraccessible.h"
#include "controls/volume.h"
#include "controls/volumeaccessible.h"

namespace {

QAccessibleInterface* ControlsFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("Slider")) {
        if (auto* slider = qobject_cast<Slider*>(object)) return new SliderAccessible(slider);
    } else if (className == QLatin1String("Volume")) {
        if (auto* volume = qobject_cast<Volume*>(object)) return new VolumeAccessible(volume);
    } else if (className == QLatin1String("MsgScroller")) {
        if (auto* scroller = qobject_cast<MsgScroller*>(object)) return new MsgScrollerAccessible(scroller);
    }
    return nullptr;
}

}  // namespace

void InstallControlsAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ControlsFactory);
        return true;
    }();
    (void)installed;
}

void NotifyAccessibleValue(QWidget* control, const QVariant& value) {
    if (!QAccessible::isActive()) return;
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}

void NotifyAccessibleName(QWidget* control) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(control, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
