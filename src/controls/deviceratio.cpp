#include "controls/deviceratio.h"

#include <QPaintEngine>
#include <QPainter>

double DeviceRatio(const QPainter& painter) {
    if (const QPaintEngine* engine = painter.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}
