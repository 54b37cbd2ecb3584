#include "cutting/waveformaccessible.h"

#include "cutting/waveformview.h"

namespace {

QAccessibleInterface* WaveformFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("WaveformView")) return nullptr;
    auto* view = qobject_cast<WaveformView*>(object);
    return view ? new WaveformAccessible(view) : nullptr;
}

}  // namespace

WaveformAccessible::WaveformAccessible(WaveformView* view) : QAccessibleWidget(view, QAccessible::Chart) {}

QString WaveformAccessible::text(QAccessible::Text t) const {
    auto* view = static_cast<WaveformView*>(widget());
    if (t == QAccessible::Description) return view->Description();
    if (t == QAccessible::Value) return view->Description();
    return QAccessibleWidget::text(t);
}

void InstallWaveformAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(WaveformFactory);
        return true;
    }();
    (void)installed;
}
