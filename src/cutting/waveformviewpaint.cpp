// Painting of the waveform band: the cached envelope pictures and what is drawn over them.
#include <algorithm>
#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStaticText>

#include "cutting/timetext.h"
#include "cutting/waveformview.h"

namespace {

const QColor kBackgroundTop(0x24, 0x29, 0x31);
const QColor kBackgroundBottom(0x18, 0x1b, 0x21);
const QColor kOverviewBackground(0x10, 0x13, 0x18);
const QColor kCentreLine(0x3a, 0x42, 0x4e);
const QColor kWaveTop(0x6f, 0xc8, 0xf0);
const QColor kWaveBottom(0x23, 0x7f, 0xc4);
const QColor kSelectedWaveTop(0xff, 0xe0, 0x82);
const QColor kSelectedWaveBottom(0xf5, 0x9e, 0x1b);
const QColor kSelectionBand(0xf5, 0x9e, 0x1b, 48);
const QColor kStartMark(0x7c, 0xe3, 0x86);
const QColor kEndMark(0xff, 0x9a, 0x3c);
const QColor kPositionLine(0xff, 0x53, 0x4a);
const QColor kViewFrame(0xff, 0xff, 0xff, 210);
const QColor kViewShade(0xff, 0xff, 0xff, 40);
const QColor kProgressTrack(0x33, 0x3a, 0x45);
const QColor kProgressBar(0x6f, 0xc8, 0xf0);
const QColor kText(0xc9, 0xd1, 0xdb);
const QColor kFocusFrame(0x9c, 0xd8, 0xff);

// Leave a pixel of air above and below full scale.
constexpr double kVerticalMargin = 2.0;
constexpr int kFlagSize = 6;

double PixelCentre(double x) { return std::floor(x) + 0.5; }

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QRgb Premultiplied(const QColor& colour, double coverage) {
    const int alpha = static_cast<int>(std::lround(std::clamp(coverage, 0.0, 1.0) * 255));
    return qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), alpha));
}

}  // namespace

void WaveformView::RebuildCache() {
    overview_ = RenderEnvelope(OverviewEnvelope(), OverviewRect().size(), 0.0, OverviewSpan()).plain;
    cacheSize_ = size();
    cacheRatio_ = devicePixelRatioF();
    RebuildMainCache();
}

void WaveformView::RebuildMainCache() {
    const double from = ViewStart();
    const double to = from + ViewSeconds();
    EnvelopePictures pictures = RenderEnvelope(envelope_.get(), MainRect().size(), from, to);
    plain_ = std::move(pictures.plain);
    selected_ = std::move(pictures.selected);
    cacheStart_ = from;
    cacheSeconds_ = to - from;
    viewStartText_.setText(QString::fromStdString(ClockWithMilliseconds(from)));
    viewEndText_.setText(QString::fromStdString(ClockWithMilliseconds(to)));
    for (QStaticText* text : {&viewStartText_, &viewEndText_}) text->prepare(QTransform(), CornerFont());
    update();
}

bool WaveformView::CacheFresh() const {
    return cacheSize_ == size() && cacheRatio_ == devicePixelRatioF() && cacheStart_ == ViewStart() &&
           cacheSeconds_ == ViewSeconds();
}

// One column per device pixel, written straight into the image: a filled span from the column's
// max to its min with partly covered end pixels, in a gradient that is darkest at the centre line.
// Both colourings come from one pass over the peaks.
WaveformView::EnvelopePictures WaveformView::RenderEnvelope(const WaveformEnvelope* envelope, const QSizeF& size,
                                                            double from, double to) const {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (size * ratio).toSize().expandedTo(QSize(1, 1));
    EnvelopePictures out{QImage(pixels, QImage::Format_ARGB32_Premultiplied),
                         QImage(pixels, QImage::Format_ARGB32_Premultiplied)};
    for (QImage* image : {&out.plain, &out.selected}) {
        image->setDevicePixelRatio(ratio);
        image->fill(Qt::transparent);
    }
    if (!envelope || envelope->Empty() || !(to > from) || size.width() < 1 || size.height() < 1) return out;

    const int columns = pixels.width();
    const int rows = pixels.height();
    const std::vector<PeakPair> peaks = RebinPeaks(*envelope, columns, from, to);
    // Columns past the end of the decoded audio stay blank rather than drawing a flat line.
    const double audioEnd = (envelope->seconds - from) / (to - from) * columns;
    const double mid = rows / 2.0;
    const double halfHeight = std::max(mid - kVerticalMargin * ratio, 1.0);
    // At least a pixel high, so that silence still shows where the audio is.
    const double minReach = 0.5 * ratio;
    std::vector<QColor> plainRow(static_cast<size_t>(rows));
    std::vector<QColor> selectedRow(static_cast<size_t>(rows));
    std::vector<QRgb> plainFull(static_cast<size_t>(rows));
    std::vector<QRgb> selectedFull(static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        const size_t row = static_cast<size_t>(y);
        const double t = std::min(std::abs(y + 0.5 - mid) / mid, 1.0);
        plainRow[row] = Mix(kWaveBottom, kWaveTop, t);
        selectedRow[row] = Mix(kSelectedWaveBottom, kSelectedWaveTop, t);
        plainFull[row] = plainRow[row].rgba();
        selectedFull[row] = selectedRow[row].rgba();
    }
    QRgb* plainBits = reinterpret_cast<QRgb*>(out.plain.bits());
    QRgb* selectedBits = reinterpret_cast<QRgb*>(out.selected.bits());
    const qsizetype stride = out.plain.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    for (int c = 0; c < columns && c < audioEnd; ++c) {
        const PeakPair& peak = peaks[static_cast<size_t>(c)];
        const double top = std::clamp(mid - std::clamp<double>(peak.max, -1.0, 1.0) * halfHeight, 0.0, mid - minReach);
        const double bottom =
            std::clamp(mid - std::clamp<double>(peak.min, -1.0, 1.0) * halfHeight, mid + minReach, double(rows));
        const int first = static_cast<int>(std::floor(top));
        const int last = std::min(static_cast<int>(std::ceil(bottom)), rows) - 1;
        for (int y = first; y <= last; ++y) {
            const size_t row = static_cast<size_t>(y);
            const qsizetype at = y * stride + c;
            if (y > first && y < last) {
                plainBits[at] = plainFull[row];
                selectedBits[at] = selectedFull[row];
                continue;
            }
            const double coverage = std::min(y + 1.0, bottom) - std::max(double(y), top);
            plainBits[at] = Premultiplied(plainRow[row], coverage);
            selectedBits[at] = Premultiplied(selectedRow[row], coverage);
        }
    }
    return out;
}

QFont WaveformView::CornerFont() const {
    QFont small = font();
    small.setPointSizeF(std::max(small.pointSizeF() * 0.8, 6.0));
    return small;
}

WaveformView::Marks WaveformView::ShownMarks() const {
    Marks marks{start_, end_};
    switch (gesture_) {
        case Gesture::DragStart:
            marks.start = dragSeconds_;
            break;
        case Gesture::DragEnd:
            marks.end = dragSeconds_;
            break;
        case Gesture::NewSelection:
            marks.start = std::min(anchorSeconds_, dragSeconds_);
            marks.end = std::max(anchorSeconds_, dragSeconds_);
            break;
        default:
            break;
    }
    return marks;
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0.0, kBackgroundTop);
    background.setColorAt(1.0, kBackgroundBottom);
    painter.fillRect(rect(), background);

    const Marks marks = ShownMarks();
    PaintOverview(painter, marks);
    PaintMain(painter, marks);
    PaintMarks(painter, marks);
    PaintJoins(painter);
    PaintCutPoints(painter);
    PaintPlayLine(painter);
    PaintProgressAndNote(painter);
    if (hasFocus()) {
        painter.setPen(QPen(kFocusFrame, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
    }
}

void WaveformView::PaintOverview(QPainter& painter, const Marks& marks) const {
    const QRectF strip = OverviewRect();
    painter.fillRect(QRectF(0, 0, width(), strip.bottom()), kOverviewBackground);
    painter.fillRect(QRectF(0, strip.bottom(), width(), 1), kCentreLine);
    const double span = Span();
    if (!(span > 0.0)) return;
    if (marks.start && marks.end) {
        const double a = OverviewX(std::clamp(std::min(*marks.start, *marks.end), 0.0, span));
        const double b = OverviewX(std::clamp(std::max(*marks.start, *marks.end), 0.0, span));
        painter.fillRect(QRectF(std::floor(a), 0, std::max(std::ceil(b) - std::floor(a), 1.0), strip.height()),
                         kSelectionBand);
    }
    const bool fresh = cacheSize_ == size() && cacheRatio_ == devicePixelRatioF();
    painter.drawImage(strip.topLeft(),
                      fresh ? overview_ : RenderEnvelope(OverviewEnvelope(), strip.size(), 0.0, OverviewSpan()).plain);
    for (const auto& [mark, colour] : {std::pair{marks.start, kStartMark}, std::pair{marks.end, kEndMark}}) {
        if (!mark) continue;
        painter.fillRect(QRectF(std::floor(OverviewX(std::clamp(*mark, 0.0, span))), 0, 1, strip.height()), colour);
    }
    if (position_ >= 0.0)
        painter.fillRect(QRectF(std::floor(OverviewX(std::min(position_, span))), 0, 1, strip.height()), kPositionLine);
    if (ZoomedIn()) {
        const double a = OverviewX(ViewStart());
        const double b = OverviewX(ViewStart() + ViewSeconds());
        const QRectF frame(std::floor(a) + 0.5, 0.5, std::max(std::ceil(b) - std::floor(a) - 1.0, 1.0),
                           strip.height() - 1.0);
        painter.fillRect(frame, kViewShade);
        painter.setPen(QPen(kViewFrame, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
    }
}

void WaveformView::PaintMain(QPainter& painter, const Marks& marks) const {
    const QRectF main = MainRect();
    const double mid = main.center().y();
    if (progress_ < 0.0) {
        painter.setPen(QPen(kCentreLine, 1));
        painter.drawLine(QPointF(main.left(), mid), QPointF(main.right(), mid));
    }
    // A stale cache (before the first resize event reached us) is drawn anew, not stored.
    const bool fresh = CacheFresh();
    EnvelopePictures stale;
    if (!fresh) stale = RenderEnvelope(envelope_.get(), main.size(), ViewStart(), ViewStart() + ViewSeconds());
    painter.drawImage(main.topLeft(), fresh ? plain_ : stale.plain);
    if (!(marks.start && marks.end) || !(Span() > 0.0)) return;

    const double left = std::max(XAtSeconds(std::min(*marks.start, *marks.end)), main.left() - 1);
    const double right = std::min(XAtSeconds(std::max(*marks.start, *marks.end)), main.right() + 1);
    if (right < main.left() || left > main.right()) return;
    const QRectF band(QPointF(std::floor(left), main.top()),
                      QPointF(std::max(std::ceil(right), std::floor(left) + 1), main.bottom()));
    painter.fillRect(band, kSelectionBand);
    painter.save();
    painter.setClipRect(band);
    painter.drawImage(main.topLeft(), fresh ? selected_ : stale.selected);
    painter.restore();
}

// Each mark is a line at its exact time with a small flag at the top: the start's points right,
// into the selection, the end's points left.
void WaveformView::PaintMarks(QPainter& painter, const Marks& marks) const {
    if (!(Span() > 0.0)) return;
    const QRectF main = MainRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& [mark, colour, direction] :
         {std::tuple{marks.start, kStartMark, 1.0}, std::tuple{marks.end, kEndMark, -1.0}}) {
        if (!mark) continue;
        const double x = PixelCentre(XAtSeconds(*mark));
        if (x < main.left() - 1 || x > main.right() + 1) continue;
        painter.setPen(QPen(colour, 1));
        painter.drawLine(QPointF(x, main.top()), QPointF(x, main.bottom()));
        QPainterPath flag;
        flag.moveTo(x, main.top());
        flag.lineTo(x + direction * kFlagSize, main.top() + kFlagSize / 2.0);
        flag.lineTo(x, main.top() + kFlagSize);
        flag.closeSubpath();
        painter.fillPath(flag, colour);
    }
    painter.restore();
}

void WaveformView::PaintPlayLine(QPainter& painter) const {
    const double span = Span();
    if (position_ < 0.0 || !(span > 0.0)) return;
    const QRectF main = MainRect();
    const double x = PixelCentre(XAtSeconds(std::min(position_, span)));
    if (x < main.left() - 1 || x > main.right() + 1) return;
    painter.setPen(QPen(kPositionLine, 2));
    painter.drawLine(QPointF(x, main.top()), QPointF(x, main.bottom()));
    QPainterPath marker;
    marker.moveTo(x - 5, main.bottom());
    marker.lineTo(x + 5, main.bottom());
    marker.lineTo(x, main.bottom() - 6);
    marker.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(marker, kPositionLine);
    painter.restore();
}

void WaveformView::PaintProgressAndNote(QPainter& painter) const {
    const QRectF main = MainRect();
    const double mid = main.center().y();
    if (progress_ >= 0.0) {
        const QRectF track(main.left() + main.width() * 0.2, mid + 8, main.width() * 0.6, 4);
        painter.fillRect(track, kProgressTrack);
        painter.fillRect(QRectF(track.topLeft(), QSizeF(track.width() * progress_, track.height())), kProgressBar);
        painter.setPen(kText);
        const QString text = tr("Reading waveform %1%").arg(static_cast<int>(progress_ * 100.0));
        painter.drawText(QRectF(main.left(), main.top(), main.width(), mid + 4 - main.top()),
                         Qt::AlignHCenter | Qt::AlignBottom, text);
    }
    if (!note_.isEmpty()) {
        painter.setPen(kText);
        painter.drawText(QRectF(main.left(), main.top() + 2, main.width(), mid - main.top() - 2),
                         Qt::AlignHCenter | Qt::AlignTop, note_);
    }
    // Zoomed in, the times at both edges say where the view is.
    if (ZoomedIn() && progress_ < 0.0) {
        painter.setFont(CornerFont());
        painter.setPen(kText);
        const double baseline = main.bottom() - 1 - viewEndText_.size().height();
        painter.drawStaticText(QPointF(main.left() + 3, baseline), viewStartText_);
        painter.drawStaticText(QPointF(main.right() - 3 - viewEndText_.size().width(), baseline), viewEndText_);
    }
}
