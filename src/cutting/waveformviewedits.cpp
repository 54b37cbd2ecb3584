// An edited timeline on the waveform band: the plot shows what plays, with a line at each join;
// the strip above keeps the whole source, so what was removed stays in sight, shaded.
#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "cutting/waveformview.h"

namespace {

const QColor kJoin(0xff, 0x5c, 0x8a);
const QColor kRemoved(0xe0, 0x2a, 0x4a, 110);

}  // namespace

void WaveformView::SetEdits(std::vector<std::pair<double, double>> stretches, double sourceSeconds,
                            std::vector<StretchLevel> levels) {
    stretches_.clear();
    levels_.clear();
    joins_.clear();
    removed_.clear();
    sourceSpan_ = sourceSeconds > 0.0 ? sourceSeconds : 0.0;
    for (size_t i = 0; i < stretches.size(); ++i) {
        if (!(stretches[i].second > stretches[i].first)) continue;
        stretches_.push_back(stretches[i]);
        levels_.push_back(i < levels.size() ? levels[i] : StretchLevel{});
    }
    double edited = 0.0;
    double sourceEnd = 0.0;
    for (size_t i = 0; i < stretches_.size(); ++i) {
        const auto& [from, to] = stretches_[i];
        // Stretches that follow on in the source differ only in level: no join between them.
        if (i > 0 && from != stretches_[i - 1].second) joins_.push_back(edited);
        if (from > sourceEnd) removed_.emplace_back(sourceEnd, from);
        sourceEnd = std::max(sourceEnd, to);
        edited += to - from;
    }
    if (!stretches_.empty() && sourceSpan_ > sourceEnd) removed_.emplace_back(sourceEnd, sourceSpan_);
    DeriveEnvelope();
    RebuildCache();
}

void WaveformView::DeriveEnvelope() {
    if (!sourceEnvelope_ || stretches_.empty()) {
        envelope_ = sourceEnvelope_;
        return;
    }
    envelope_ = std::make_shared<const WaveformEnvelope>(EditedEnvelope(*sourceEnvelope_, stretches_, levels_));
}

double WaveformView::OverviewSpan() const {
    if (stretches_.empty()) return Span();
    if (sourceSpan_ > 0.0) return sourceSpan_;
    return sourceEnvelope_ ? sourceEnvelope_->seconds : Span();
}

const WaveformEnvelope* WaveformView::OverviewEnvelope() const {
    return stretches_.empty() ? envelope_.get() : sourceEnvelope_.get();
}

double WaveformView::SourceAt(double edited) const {
    if (stretches_.empty()) return edited;
    double start = 0.0;
    for (const auto& [from, to] : stretches_) {
        if (edited < start + (to - from)) return from + std::max(edited - start, 0.0);
        start += to - from;
    }
    return stretches_.back().second;
}

// A source time that was removed counts as the join it went into.
double WaveformView::EditedAt(double source) const {
    if (stretches_.empty()) return source;
    double start = 0.0;
    for (const auto& [from, to] : stretches_) {
        if (source < from) return start;
        if (source < to) return start + (source - from);
        start += to - from;
    }
    return start;
}

void WaveformView::PaintJoins(QPainter& painter) const {
    if (stretches_.empty() || !(Span() > 0.0)) return;
    const QRectF strip = OverviewRect();
    const double span = OverviewSpan();
    for (const auto& [from, to] : removed_) {
        const double a = leftInset_ + from / span * PlotWidth();
        const double b = leftInset_ + to / span * PlotWidth();
        painter.fillRect(QRectF(std::floor(a), strip.top(), std::max(std::ceil(b) - std::floor(a), 1.0), strip.height()),
                         kRemoved);
    }
    const QRectF main = MainRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const double join : joins_) {
        const double x = std::floor(XAtSeconds(join)) + 0.5;
        if (x < main.left() - 1 || x > main.right() + 1) continue;
        painter.setPen(QPen(kJoin, 1, Qt::DashLine));
        painter.drawLine(QPointF(x, main.top()), QPointF(x, main.bottom()));
        // A bow tie at the top: two ends meeting.
        QPainterPath tie;
        tie.moveTo(x - 5, main.top());
        tie.lineTo(x, main.top() + 4);
        tie.lineTo(x - 5, main.top() + 8);
        tie.closeSubpath();
        tie.moveTo(x + 5, main.top());
        tie.lineTo(x, main.top() + 4);
        tie.lineTo(x + 5, main.top() + 8);
        tie.closeSubpath();
        painter.fillPath(tie, kJoin);
    }
    painter.restore();
}
