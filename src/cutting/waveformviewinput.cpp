// Pointer, wheel and keys on the waveform band. Everything that concerns the marks or the player
// leaves as a signal; zoom and scroll are handled here.
#include <algorithm>
#include <cmath>

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include "cutting/waveformview.h"

namespace {

constexpr double kWheelZoomStep = 1.25;
// A wheel notch scrolls a tenth of the view.
constexpr double kWheelScrollShare = 0.1;
constexpr double kWheelNotch = 120.0;

}  // namespace

// The mark nearest to x within kEdgeGrab pixels; the end wins a tie, so that a zero-length
// selection can still be pulled open to the right.
WaveformView::Gesture WaveformView::GrabAt(double x) const {
    double best = kEdgeGrab + 0.5;
    Gesture grabbed = Gesture::Press;
    if (start_) {
        const double distance = std::abs(XAtSeconds(*start_) - x);
        if (distance < best) {
            best = distance;
            grabbed = Gesture::DragStart;
        }
    }
    if (end_ && std::abs(XAtSeconds(*end_) - x) <= best) grabbed = Gesture::DragEnd;
    return grabbed;
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !(Span() > 0.0)) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF at = event->position();
    // Zoomed out, the strip and the plot show the same: a press there counts as on the plot.
    if (ZoomedIn() && at.y() < MainRect().top()) {
        gesture_ = Gesture::Overview;
        CentreViewOn(OverviewSeconds(at.x()));
        return;
    }
    gesture_ = GrabAt(at.x());
    pressX_ = at.x();
    if (gesture_ == Gesture::DragStart) {
        dragSeconds_ = *start_;
    } else if (gesture_ == Gesture::DragEnd) {
        dragSeconds_ = *end_;
    } else {
        anchorSeconds_ = SecondsAtX(at.x());
        dragSeconds_ = anchorSeconds_;
        emit seekRequested(anchorSeconds_);
    }
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (!(event->buttons() & Qt::LeftButton) || gesture_ == Gesture::None) {
        const bool overMark = Span() > 0.0 && event->position().y() >= MainRect().top() &&
                              GrabAt(x) != Gesture::Press;
        setCursor(overMark ? Qt::SizeHorCursor : Qt::ArrowCursor);
        QWidget::mouseMoveEvent(event);
        return;
    }
    switch (gesture_) {
        case Gesture::Overview:
            CentreViewOn(OverviewSeconds(x));
            return;
        case Gesture::Press:
            if (std::abs(x - pressX_) < kDragThreshold) return;
            gesture_ = Gesture::NewSelection;
            break;
        default:
            break;
    }
    dragSeconds_ = SecondsAtX(x);
    update();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const Gesture finished = gesture_;
    gesture_ = Gesture::None;
    update();
    switch (finished) {
        case Gesture::DragStart:
            emit startDragged(dragSeconds_);
            break;
        case Gesture::DragEnd:
            emit endDragged(dragSeconds_);
            break;
        case Gesture::NewSelection:
            emit selectionDragged(std::min(anchorSeconds_, dragSeconds_), std::max(anchorSeconds_, dragSeconds_));
            break;
        default:
            break;
    }
}

void WaveformView::wheelEvent(QWheelEvent* event) {
    if (!(Span() > 0.0)) return QWidget::wheelEvent(event);
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        ZoomAbout(std::pow(kWheelZoomStep, delta.y() / kWheelNotch), event->position().x());
        event->accept();
        return;
    }
    if (!ZoomedIn()) return QWidget::wheelEvent(event);
    const double notches = (delta.x() != 0 ? delta.x() : delta.y()) / kWheelNotch;
    SetView(ViewStart() - notches * kWheelScrollShare * ViewSeconds(), ViewSeconds());
    event->accept();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomIn();
            break;
        case Qt::Key_Minus:
            ZoomOut();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void WaveformView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("Zoom in"), QKeySequence(Qt::Key_Plus), this, [this] { ZoomIn(); });
    menu.addAction(tr("Zoom out"), QKeySequence(Qt::Key_Minus), this, [this] { ZoomOut(); });
    menu.addAction("zoom to selection", this, [this] { ZoomToSelection(); })->setEnabled(HasSelection());
    menu.addAction(tr("Show the whole file"), this, [this] { ShowWholeFile(); })->setEnabled(ZoomedIn());
    menu.exec(event->globalPos());
}
