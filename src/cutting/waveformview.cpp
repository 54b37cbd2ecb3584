#include "cutting/waveformview.h"

#include <algorithm>
#include <cmath>

#include <QAccessible>
#include <QCursor>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include "cutting/waveformaccessible.h"
#include "cutting/timetext.h"

namespace {

constexpr double kZoomStep = 2.0;
// A page turn leaves this share of the old view on the left.
constexpr double kPageLead = 0.05;

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    InstallWaveformAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName(tr("Waveform"));
    connect(&builder_, &WaveformBuilder::progressChanged, this, &WaveformView::SetProgress);
    connect(&builder_, &WaveformBuilder::finished, this, &WaveformView::SetEnvelope);
}

QSize WaveformView::sizeHint() const { return {480, 72 + kOverviewHeight}; }

QSize WaveformView::minimumSizeHint() const { return {120, 40 + kOverviewHeight}; }

void WaveformView::Open(const QString& path) {
    envelope_.reset();
    sourceEnvelope_.reset();
    stretches_.clear();
    levels_.clear();
    joins_.clear();
    removed_.clear();
    progress_ = 0.0;
    viewStart_ = 0.0;
    viewSeconds_ = 0.0;
    RebuildCache();
    builder_.Open(path);
}

void WaveformView::SetEnvelope(std::shared_ptr<const WaveformEnvelope> envelope) {
    sourceEnvelope_ = std::move(envelope);
    progress_ = -1.0;
    DeriveEnvelope();
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

void WaveformView::SetMarks(std::optional<double> startSeconds, std::optional<double> endSeconds) {
    if (startSeconds == start_ && endSeconds == end_) return;
    start_ = startSeconds;
    end_ = endSeconds;
    MarksChanged();
}

void WaveformView::SetSelection(double startSeconds, double endSeconds) {
    SetMarks(std::min(startSeconds, endSeconds), std::max(startSeconds, endSeconds));
}

void WaveformView::ClearSelection() { SetMarks(std::nullopt, std::nullopt); }

void WaveformView::MarksChanged() {
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
    update();
}

void WaveformView::SetPosition(double seconds) {
    if (seconds == position_) return;
    const double previous = position_;
    position_ = seconds;
    FollowPlayLine(previous);
    update();
}

// Turns the page only when the line was in view: a user looking elsewhere keeps that view.
void WaveformView::FollowPlayLine(double previous) {
    if (!ZoomedIn() || gesture_ != Gesture::None || position_ < 0.0) return;
    const double from = ViewStart();
    const double to = from + ViewSeconds();
    const bool wasInView = previous >= from && previous <= to;
    const bool isInView = position_ >= from && position_ <= to;
    if (wasInView && !isInView) SetView(position_ - kPageLead * ViewSeconds(), ViewSeconds());
}

double WaveformView::ViewSeconds() const {
    const double span = Span();
    if (!(viewSeconds_ > 0.0) || viewSeconds_ >= span) return span;
    return viewSeconds_;
}

double WaveformView::ViewStart() const {
    const double seconds = ViewSeconds();
    return std::clamp(viewStart_, 0.0, std::max(Span() - seconds, 0.0));
}

double WaveformView::MinViewSeconds() const {
    const long rate = envelope_ && envelope_->sampleRate > 0 ? envelope_->sampleRate : 44100;
    const double secondsPerPixel = static_cast<double>(kFrameSamples) / rate / kFramePixels;
    return std::min(PlotWidth() * secondsPerPixel, Span());
}

void WaveformView::SetView(double startSeconds, double seconds) {
    const double span = Span();
    if (!(span > 0.0)) return;
    const double oldStart = ViewStart();
    const double oldSeconds = ViewSeconds();
    seconds = std::clamp(seconds, MinViewSeconds(), span);
    if (seconds >= span) {
        viewStart_ = 0.0;
        viewSeconds_ = 0.0;
    } else {
        viewSeconds_ = seconds;
        viewStart_ = std::clamp(startSeconds, 0.0, span - seconds);
    }
    if (ViewStart() == oldStart && ViewSeconds() == oldSeconds) return;
    RebuildMainCache();
    emit viewChanged();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void WaveformView::ZoomAbout(double factor, double x) {
    if (!(factor > 0.0) || !(Span() > 0.0)) return;
    const double share = std::clamp((x - leftInset_) / PlotWidth(), 0.0, 1.0);
    const double under = ViewStart() + share * ViewSeconds();
    const double seconds = std::clamp(ViewSeconds() / factor, MinViewSeconds(), Span());
    SetView(under - share * seconds, seconds);
}

double WaveformView::PointerX() const {
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    if (rect().contains(pointer) && pointer.x() >= leftInset_ && pointer.x() <= leftInset_ + PlotWidth())
        return pointer.x();
    return leftInset_ + PlotWidth() / 2.0;
}

void WaveformView::ZoomIn() { ZoomAbout(kZoomStep, PointerX()); }

void WaveformView::ZoomOut() { ZoomAbout(1.0 / kZoomStep, PointerX()); }

void WaveformView::ZoomToSelection() {
    if (!HasSelection()) return;
    const double from = std::min(*start_, *end_);
    const double to = std::max(*start_, *end_);
    // A little air either side, so both marks can be grabbed.
    const double pad = std::max((to - from) * 0.05, MinViewSeconds() * 0.05);
    SetView(from - pad, to - from + 2 * pad);
}

void WaveformView::ShowWholeFile() { SetView(0.0, Span()); }

void WaveformView::CentreViewOn(double seconds) { SetView(seconds - ViewSeconds() / 2, ViewSeconds()); }

int WaveformView::PlotWidth() const { return std::max(width() - leftInset_ - rightInset_, 1); }

QRectF WaveformView::OverviewRect() const { return QRectF(leftInset_, 0, PlotWidth(), kOverviewHeight); }

QRectF WaveformView::MainRect() const {
    const int top = kOverviewHeight + 1;
    return QRectF(leftInset_, top, PlotWidth(), std::max(height() - top, 1));
}

double WaveformView::SecondsAtX(double x) const {
    const double span = Span();
    if (!(span > 0.0)) return 0.0;
    return std::clamp(ViewStart() + (x - leftInset_) / PlotWidth() * ViewSeconds(), 0.0, span);
}

double WaveformView::XAtSeconds(double seconds) const {
    const double span = Span();
    if (!(span > 0.0)) return leftInset_;
    return leftInset_ + (seconds - ViewStart()) / ViewSeconds() * PlotWidth();
}

double WaveformView::OverviewX(double seconds) const {
    const double span = OverviewSpan();
    return span > 0.0 ? leftInset_ + SourceAt(seconds) / span * PlotWidth() : leftInset_;
}

double WaveformView::OverviewSeconds(double x) const {
    const double span = OverviewSpan();
    return std::clamp(EditedAt((x - leftInset_) / PlotWidth() * span), 0.0, Span());
}

QString WaveformView::Description() const {
    WaveformSpeech speech;
    speech.span = Span();
    speech.start = start_;
    speech.end = end_;
    speech.position = position_;
    if (ZoomedIn()) speech.view = std::make_pair(ViewStart(), ViewStart() + ViewSeconds());
    return QString::fromStdString(DescribeWaveform(speech));
}

void WaveformView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (followed_) AlignToSlider(*followed_);
    else RebuildCache();
}

void WaveformView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void WaveformView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
