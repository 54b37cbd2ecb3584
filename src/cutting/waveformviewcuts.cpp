// Cut points on the waveform band: lines in a colour of their own, in the plot and in the
// overview strip, so that they show at every zoom; the one being dragged is drawn where it would go.
#include <algorithm>
#include <cmath>
#include <utility>

#include <QPainter>

#include "cutting/waveformview.h"

namespace {

const QColor kCutPoint(0xd6, 0x7c, 0xff);
const QColor kSelectedCutPoint(0xf2, 0xd0, 0xff);

}  // namespace

void WaveformView::SetCutPoints(std::vector<double> seconds, int selected) {
    cuts_ = std::move(seconds);
    selectedCut_ = selected >= 0 && static_cast<size_t>(selected) < cuts_.size() ? selected : -1;
    if (gesture_ == Gesture::DragCut && static_cast<size_t>(dragCut_) >= cuts_.size()) gesture_ = Gesture::None;
    update();
}

int WaveformView::CutAt(double x) const {
    if (!(Span() > 0.0)) return -1;
    int found = -1;
    double best = kEdgeGrab + 0.5;
    for (size_t i = 0; i < cuts_.size(); ++i) {
        const double distance = std::abs(XAtSeconds(cuts_[i]) - x);
        if (distance < best) {
            best = distance;
            found = static_cast<int>(i);
        }
    }
    return found;
}

void WaveformView::PaintCutPoints(QPainter& painter) const {
    const double span = Span();
    if (cuts_.empty() || !(span > 0.0)) return;
    const QRectF main = MainRect();
    const QRectF strip = OverviewRect();
    for (size_t i = 0; i < cuts_.size(); ++i) {
        const bool dragged = gesture_ == Gesture::DragCut && static_cast<size_t>(dragCut_) == i;
        const double seconds = std::clamp(dragged ? dragSeconds_ : cuts_[i], 0.0, span);
        const bool selected = dragged || static_cast<int>(i) == selectedCut_;
        const QColor colour = selected ? kSelectedCutPoint : kCutPoint;
        painter.fillRect(QRectF(std::floor(OverviewX(seconds)), strip.top(), 1, strip.height()), colour);
        const double x = std::floor(XAtSeconds(seconds));
        if (x < main.left() - 1 || x > main.right() + 1) continue;
        painter.fillRect(QRectF(x - (selected ? 1 : 0), main.top(), selected ? 3 : 1, main.height()), colour);
        // A small diamond at the foot tells a cut point from the marks' flags at the top.
        QPolygonF diamond({QPointF(x + 0.5, main.bottom() - 9), QPointF(x + 4.5, main.bottom() - 5),
                           QPointF(x + 0.5, main.bottom() - 1), QPointF(x - 3.5, main.bottom() - 5)});
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(diamond);
        painter.restore();
    }
}
