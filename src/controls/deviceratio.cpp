#include "controls/deviceratio.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPixmapCache>

double DeviceRatio(const QPainter& painter) {
    if (const QPaintEngine* engine = painter.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

QPixmap CachedPicture(const QString& key, const std::function<QImage()>& paint) {
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap::fromImage(paint());
        QPixmapCache::insert(key, picture);
    }
    return picture;
}
