#pragma once
// Device pixels per pixel of what a painter really draws on. A widget painted through
// QWidget::render or grab onto an image of another ratio reports its screen's ratio from
// painter.device(); the engine's device is the image itself.
#include <functional>

#include <QImage>
#include <QPixmap>
#include <QString>

class QPainter;

double DeviceRatio(const QPainter& painter);

// The picture cached under `key` (which names its ratio), painted by `paint` when it is not.
QPixmap CachedPicture(const QString& key, const std::function<QImage()>& paint);
