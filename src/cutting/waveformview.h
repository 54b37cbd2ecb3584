#pragma once
// The waveform band of the cutting window: the whole file's peak envelope on the same time scale
// as the position slider it sits above, the marked selection highlighted, the playing position
// as a line, and a progress bar while the envelope is being built. A click (or drag) on the band
// asks the window to seek there; the band itself never touches the player.
//
// Use: Open(path) when a file is opened; FollowSlider(slider) once, so the band keeps the
// slider's range and groove; SetSelection/ClearSelection and SetPosition from the window's
// handlers and timer ticks; connect seekRequested to the window's seek.
#include <memory>

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include "cutting/waveform.h"

class QSlider;

class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    // Starts building the overview of `path`, cancelling one still being built. A file that
    // cannot be decoded leaves the band empty.
    void Open(const QString& path);
    // Shows an envelope (what Open delivers when its build finishes); null shows an empty band.
    void SetEnvelope(std::shared_ptr<const WaveformEnvelope> envelope);
    // Share of the build done, 0..1; negative hides the progress bar.
    void SetProgress(double fraction);
    bool IsBuilding() const { return progress_ >= 0.0; }
    // A line of text along the top of the band (another long job's progress); empty hides it.
    void SetNote(const QString& text);
    const QString& Note() const { return note_; }
    const WaveformEnvelope* Envelope() const { return envelope_.get(); }

    // Time scale: seconds 0..span run from x = left inset to x = width - right inset. A span of
    // 0 uses the envelope's own length.
    void SetSpan(double seconds);
    double Span() const;
    void SetInsets(int left, int right);
    // Takes the slider's maximum as the span and its groove, less half a handle at each end, as
    // the plot, so that second s here lies right above slider value s.
    void AlignToSlider(const QSlider& slider);
    // AlignToSlider now and whenever the slider's range, size or style changes.
    void FollowSlider(QSlider* slider);

    void SetSelection(double startSeconds, double endSeconds);
    void ClearSelection();
    bool HasSelection() const { return hasSelection_; }
    // Playing position in seconds; negative hides the line.
    void SetPosition(double seconds);

    // The second under x (clamped into 0..span), and the x of a second.
    double SecondsAtX(double x) const;
    double XAtSeconds(double seconds) const;

    WaveformBuilder& Builder() { return builder_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void seekRequested(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int PlotWidth() const;
    QRectF PlotRect() const;
    // The envelope drawn in `color` on a transparent pixmap of the widget's size.
    QPixmap RenderEnvelope(const QColor& top, const QColor& bottom) const;
    void RebuildCache();
    void RequestSeek(double x);

    WaveformBuilder builder_;
    std::shared_ptr<const WaveformEnvelope> envelope_;
    double span_ = 0.0;
    int leftInset_ = 0;
    int rightInset_ = 0;
    bool hasSelection_ = false;
    double selectionStart_ = 0.0;
    double selectionEnd_ = 0.0;
    double position_ = -1.0;
    double progress_ = -1.0;
    QString note_;
    QPointer<QSlider> followed_;

    // The envelope is redrawn only when the size, scale or envelope changes; selection, position
    // and progress are painted over it fresh each time.
    QPixmap plain_;
    QPixmap selected_;
    QSize cacheSize_;
    qreal cacheRatio_ = 0.0;
};
