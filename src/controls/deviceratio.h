#pragma once
// Device pixels per pixel of what a painter really draws on. A widget painted through
// QWidget::render or grab onto an image of another ratio reports its screen's ratio from
// painter.device(); the engine's device is the image itself.
class QPainter;

double DeviceRatio(const QPainter& painter);
