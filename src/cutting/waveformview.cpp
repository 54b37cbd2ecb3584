#include "cutting/waveformview.h"

#include <algorithm>
#include <cmath>

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

const QColor kBackgroundTop(0x24, 0x29, 0x31);
const QColor kBackgroundBottom(0x18, 0x1b, 0x21);
const QColor kCentreLine(0x3a, 0x42, 0x4e);
const QColor kWaveTop(0x6f, 0xc8, 0xf0);
const QColor kWaveBottom(0x23, 0x7f, 0xc4);
const QColor kSelectedWaveTop(0xff, 0xe0, 0x82);
const QColor kSelectedWaveBottom(0xf5, 0x9e, 0x1b);
const QColor kSelectionBand(0xf5, 0x9e, 0x1b, 48);
const QColor kSelectionEdge(0xff, 0xc1, 0x4d);
const QColor kPositionLine(0xff, 0x53, 0x4a);
const QColor kProgressTrack(0x33, 0x3a, 0x45);
const QColor kProgressBar(0x6f, 0xc8, 0xf0);
const QColor kText(0xc9, 0xd1, 0xdb);

// Leave a pixel of air above and below full scale.
constexpr double kVerticalMargin = 2.0;

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&builder_, &WaveformBuilder::progressChanged, this, &WaveformView::SetProgress);
    connect(&builder_, &WaveformBuilder::finished, this, &WaveformView::SetEnvelope);
}

QSize WaveformView::sizeHint() const { return {480, 72}; }

QSize WaveformView::minimumSizeHint() const { return {120, 40}; }

void WaveformView::Open(const QString& path) {
    envelope_.reset();
    progress_ = 0.0;
    RebuildCache();
    builder_.Open(path);
}

void WaveformView::SetEnvelope(std::shared_ptr<const WaveformEnvelope> envelope) {
    envelope_ = std::move(envelope);
    progress_ = -1.0;
    RebuildCache();
}

void WaveformView::SetProgress(double fraction) {
    progress_ = fraction < 0.0 ? -1.0 : std::min(fraction, 1.0);
    update();
}

void WaveformView::SetNote(const QString& text) {
    if (text == note_) return;
    note_ = text;
    update();
}

void WaveformView::SetSpan(double seconds) {
    span_ = seconds > 0.0 ? seconds : 0.0;
    RebuildCache();
}

double WaveformView::Span() const {
    if (span_ > 0.0) return span_;
    return envelope_ ? envelope_->seconds : 0.0;
}

void WaveformView::SetInsets(int left, int right) {
    leftInset_ = std::max(left, 0);
    rightInset_ = std::max(right, 0);
    RebuildCache();
}

void WaveformView::AlignToSlider(const QSlider& slider) {
    // QSlider::initStyleOption is protected; these are the fields the groove and handle depend on.
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.tickPosition = slider.tickPosition();
    option.tickInterval = slider.tickInterval();
    option.upsideDown = slider.invertedAppearance();
    option.direction = slider.layoutDirection();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.singleStep = slider.singleStep();
    option.pageStep = slider.pageStep();
    const QStyle* style = slider.style();
    const QRect groove = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &slider);
    const QRect handle = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider);
    const int half = handle.width() / 2;
    const int plot = std::max(groove.width() - handle.width(), 1);
    // The slider's groove in this widget's coordinates (they may have different parents).
    const int left = mapFromGlobal(slider.mapToGlobal(QPoint(groove.x() + half, 0))).x();
    span_ = std::max(slider.maximum(), 0);
    leftInset_ = std::max(left, 0);
    rightInset_ = std::max(width() - leftInset_ - plot, 0);
    RebuildCache();
}

void WaveformView::FollowSlider(QSlider* slider) {
    if (followed_) followed_->removeEventFilter(this);
    followed_ = slider;
    if (!slider) return;
    slider->installEventFilter(this);
    connect(slider, &QSlider::rangeChanged, this, [this] {
        if (followed_) AlignToSlider(*followed_);
    });
    AlignToSlider(*slider);
}

bool WaveformView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == followed_ && followed_) {
        switch (event->type()) {
            case QEvent::Resize:
            case QEvent::Move:
            case QEvent::Show:
            case QEvent::StyleChange:
                AlignToSlider(*followed_);
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WaveformView::SetSelection(double startSeconds, double endSeconds) {
    hasSelection_ = true;
    selectionStart_ = std::min(startSeconds, endSeconds);
    selectionEnd_ = std::max(startSeconds, endSeconds);
    update();
}

void WaveformView::ClearSelection() {
    hasSelection_ = false;
    update();
}

void WaveformView::SetPosition(double seconds) {
    if (seconds == position_) return;
    position_ = seconds;
    update();
}

int WaveformView::PlotWidth() const { return std::max(width() - leftInset_ - rightInset_, 1); }

QRectF WaveformView::PlotRect() const {
    return QRectF(leftInset_, 0, PlotWidth(), height());
}

double WaveformView::SecondsAtX(double x) const {
    const double span = Span();
    if (!(span > 0.0)) return 0.0;
    return std::clamp((x - leftInset_) / PlotWidth() * span, 0.0, span);
}

double WaveformView::XAtSeconds(double seconds) const {
    const double span = Span();
    if (!(span > 0.0)) return leftInset_;
    return leftInset_ + seconds / span * PlotWidth();
}

void WaveformView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (followed_) AlignToSlider(*followed_);
    else RebuildCache();
}

void WaveformView::RebuildCache() {
    plain_ = RenderEnvelope(kWaveTop, kWaveBottom);
    selected_ = RenderEnvelope(kSelectedWaveTop, kSelectedWaveBottom);
    cacheSize_ = size();
    cacheRatio_ = devicePixelRatioF();
    update();
}

QPixmap WaveformView::RenderEnvelope(const QColor& top, const QColor& bottom) const {
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    if (!envelope_ || envelope_->Empty() || width() <= 0 || height() <= 0) return pixmap;

    const int columns = PlotWidth();
    const std::vector<PeakPair> peaks = RebinPeaks(*envelope_, columns, Span());
    // Columns past the end of the decoded audio stay blank rather than drawing a flat line.
    const double audioEndX = XAtSeconds(envelope_->seconds);
    const double mid = height() / 2.0;
    const double halfHeight = std::max(mid - kVerticalMargin, 1.0);
    auto yOf = [&](float sample) { return mid - std::clamp<double>(sample, -1.0, 1.0) * halfHeight; };

    QPainterPath path;
    int drawn = 0;
    for (int c = 0; c < columns; ++c) {
        const double x = leftInset_ + c + 0.5;
        if (x > audioEndX + 0.5) break;
        // At least a pixel high, so that silence still shows where the audio is.
        const double y = std::min(yOf(peaks[static_cast<size_t>(c)].max), mid - 0.5);
        if (c == 0) path.moveTo(x, y);
        else path.lineTo(x, y);
        drawn = c + 1;
    }
    for (int c = drawn - 1; c >= 0; --c) {
        const double x = leftInset_ + c + 0.5;
        path.lineTo(x, std::max(yOf(peaks[static_cast<size_t>(c)].min), mid + 0.5));
    }
    path.closeSubpath();

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, top);
    fill.setColorAt(0.5, bottom);
    fill.setColorAt(1.0, top);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(path);
    return pixmap;
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF all = rect();
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0.0, kBackgroundTop);
    background.setColorAt(1.0, kBackgroundBottom);
    painter.fillRect(all, background);

    const QRectF plot = PlotRect();
    const double mid = height() / 2.0;
    if (progress_ < 0.0) {
        painter.setPen(QPen(kCentreLine, 1));
        painter.drawLine(QPointF(plot.left(), mid), QPointF(plot.right(), mid));
    }

    // A stale cache (before the first resize event reached us) is drawn anew, not stored.
    const bool cacheFresh = cacheSize_ == size() && cacheRatio_ == devicePixelRatioF();
    const QPixmap plain = cacheFresh ? plain_ : RenderEnvelope(kWaveTop, kWaveBottom);

    const double span = Span();
    const bool selectionShown = hasSelection_ && span > 0.0;
    QRectF band;
    if (selectionShown) {
        const double left = XAtSeconds(std::clamp(selectionStart_, 0.0, span));
        const double right = XAtSeconds(std::clamp(selectionEnd_, 0.0, span));
        band = QRectF(QPointF(std::floor(left), 0), QPointF(std::max(std::ceil(right), std::floor(left) + 1), height()));
        painter.fillRect(band, kSelectionBand);
    }

    painter.drawPixmap(0, 0, plain);
    if (selectionShown) {
        const QPixmap selected = cacheFresh ? selected_ : RenderEnvelope(kSelectedWaveTop, kSelectedWaveBottom);
        painter.save();
        painter.setClipRect(band);
        painter.drawPixmap(0, 0, selected);
        painter.restore();
        painter.setPen(QPen(kSelectionEdge, 1));
        painter.drawLine(QPointF(band.left() + 0.5, 0), QPointF(band.left() + 0.5, height()));
        painter.drawLine(QPointF(band.right() - 0.5, 0), QPointF(band.right() - 0.5, height()));
    }

    if (position_ >= 0.0 && span > 0.0) {
        const double x = std::round(XAtSeconds(std::min(position_, span))) + 0.5;
        painter.setPen(QPen(kPositionLine, 2));
        painter.drawLine(QPointF(x, 0), QPointF(x, height()));
        QPainterPath marker;
        marker.moveTo(x - 5, 0);
        marker.lineTo(x + 5, 0);
        marker.lineTo(x, 6);
        marker.closeSubpath();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(marker, kPositionLine);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    if (progress_ >= 0.0) {
        const QRectF track(plot.left() + plot.width() * 0.2, mid + 8, plot.width() * 0.6, 4);
        painter.fillRect(track, kProgressTrack);
        painter.fillRect(QRectF(track.topLeft(), QSizeF(track.width() * progress_, track.height())), kProgressBar);
        painter.setPen(kText);
        const QString text = tr("Reading waveform %1%").arg(static_cast<int>(progress_ * 100.0));
        painter.drawText(QRectF(plot.left(), 0, plot.width(), mid + 4), Qt::AlignHCenter | Qt::AlignBottom, text);
    }

    if (!note_.isEmpty()) {
        painter.setPen(kText);
        painter.drawText(QRectF(plot.left(), 2, plot.width(), mid - 2), Qt::AlignHCenter | Qt::AlignTop, note_);
    }
}

void WaveformView::RequestSeek(double x) {
    if (!(Span() > 0.0)) return;
    emit seekRequested(SecondsAtX(x));
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    RequestSeek(event->position().x());
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    RequestSeek(event->position().x());
}
