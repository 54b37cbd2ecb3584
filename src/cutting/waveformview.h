#pragma once
// The waveform band of the cutting window. Along the top, a thin strip shows the whole file with
// the part in view framed; below it, the main plot shows the part in view, zoomable from the
// whole file down to a scale where one MPEG frame spans several pixels. The marks are drawn at
// their exact time (the start as soon as it is set), the selection between them highlighted, the
// playing position as a line.
//
// The band paints the state it is given and reports what the user asks for: a click asks to seek,
// dragging a mark's edge asks to move that mark, dragging across asks for a new selection. It
// never touches the player or the marks itself; while a drag runs it only previews the result.
// Zoom and scroll are the band's own business.
//
// Use: Open(path) when a file is opened; FollowSlider(slider) once, so that at full zoom-out
// second s lies right above slider value s; SetMarks and SetPosition from the window's handlers
// and timer ticks; connect the intent signals to the window.
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QStaticText>
#include <QWidget>

#include "cutting/waveform.h"

class QMenu;
class QSlider;

class WaveformView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kOverviewHeight = 12;  // the whole-file strip, plus a 1 px rule below
    static constexpr int kEdgeGrab = 5;         // pixels either side of a mark that grab it
    static constexpr int kDragThreshold = 3;    // pixels a press moves before it is a drag
    static constexpr int kFramePixels = 8;      // at the closest zoom an MPEG frame is this wide
    static constexpr int kFrameSamples = 1152;

    explicit WaveformView(QWidget* parent = nullptr);

    // Starts building the envelope of `path`, cancelling one still being built. A file that
    // cannot be decoded leaves the band empty.
    void Open(const QString& path);
    // Shows an envelope (what Open delivers when its build finishes); null shows an empty band.
    void SetEnvelope(std::shared_ptr<const WaveformEnvelope> envelope);
    // Share of the build done, 0..1; negative hides the progress bar.
    void SetProgress(double fraction);
    bool IsBuilding() const { return progress_ >= 0.0; }
    // A line of text along the top of the plot (another long job's progress); empty hides it.
    void SetNote(const QString& text);
    const QString& Note() const { return note_; }
    const WaveformEnvelope* Envelope() const { return envelope_.get(); }

    // Time scale: seconds 0..span run from x = left inset to x = width - right inset at full
    // zoom-out, and always in the overview strip. A span of 0 uses the envelope's own length.
    void SetSpan(double seconds);
    double Span() const;
    void SetInsets(int left, int right);
    // Takes the slider's maximum as the span and its groove, less half a handle at each end, as
    // the plot, so that second s here lies right above slider value s.
    void AlignToSlider(const QSlider& slider);
    // AlignToSlider now and whenever the slider's range, size or style changes.
    void FollowSlider(QSlider* slider);

    // The marks as the window holds them; either may be missing. A start alone shows as a line.
    void SetMarks(std::optional<double> startSeconds, std::optional<double> endSeconds);
    void SetSelection(double startSeconds, double endSeconds);
    void ClearSelection();
    bool HasSelection() const { return start_.has_value() && end_.has_value(); }
    std::optional<double> StartMark() const { return start_; }
    std::optional<double> EndMark() const { return end_; }
    // Playing position in seconds; negative hides the line. While zoomed in, a line that runs
    // off the right edge turns the page so that it stays in view.
    void SetPosition(double seconds);
    double Position() const { return position_; }
    // Cut points, drawn as lines of their own colour at every zoom, `selected` (-1: none) bolder.
    // Dragging one previews the move and reports it when released.
    void SetCutPoints(std::vector<double> seconds, int selected);
    const std::vector<double>& CutPoints() const { return cuts_; }
    // An edited timeline: the stretches of the source (seconds, in playing order) that it plays
    // one after another, and the source's length; no stretches shows the file as it is. The plot
    // then shows the edited timeline with a line where each join happened; the strip above shows
    // the whole source, what was removed shaded, with the view, marks and lines where they came from.
    // Each stretch's level (gain, fades), in the stretches' order, scales its envelope.
    void SetEdits(std::vector<std::pair<double, double>> stretches, double sourceSeconds,
                  std::vector<StretchLevel> levels = {});
    bool Edited() const { return !stretches_.empty(); }
    // Edited seconds of each join, and the source ranges removed.
    const std::vector<double>& Joins() const { return joins_; }
    const std::vector<std::pair<double, double>>& Removed() const { return removed_; }

    // The part in view: ViewSeconds() seconds from ViewStart().
    double ViewStart() const;
    double ViewSeconds() const;
    bool ZoomedIn() const { return ViewSeconds() < Span(); }
    // The closest zoom: kFramePixels pixels per MPEG frame.
    double MinViewSeconds() const;
    // Clamped into the span and the zoom limits.
    void SetView(double startSeconds, double seconds);
    // factor > 1 zooms in; the second under x stays under x.
    void ZoomAbout(double factor, double x);
    // About the pointer when it is over the plot, else about the middle.
    void ZoomIn();
    void ZoomOut();
    void ZoomToSelection();
    void ShowWholeFile();

    // The main plot's mapping between x and seconds (clamped into 0..span), as it is in view.
    double SecondsAtX(double x) const;
    double XAtSeconds(double seconds) const;
    QRectF OverviewRect() const;
    QRectF MainRect() const;

    // The selection and the play position in words, for screen readers.
    QString Description() const;

    WaveformBuilder& Builder() { return builder_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void seekRequested(double seconds);
    void startDragged(double seconds);
    void endDragged(double seconds);
    // A new selection dragged across the plot, from < to.
    void selectionDragged(double fromSeconds, double toSeconds);
    void viewChanged();
    void cutPointPressed(int index);
    void cutPointDragged(int index, double seconds);
    // The context menu at `seconds` is about to open: others may add their actions to it.
    void contextMenuOpening(QMenu* menu, double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Gesture { None, Press, NewSelection, DragStart, DragEnd, Overview, DragCut };
    struct Marks {
        std::optional<double> start;
        std::optional<double> end;
    };

    int PlotWidth() const;
    double OverviewX(double seconds) const;
    double OverviewSeconds(double x) const;
    // The marks with the running drag's preview applied.
    Marks ShownMarks() const;
    Gesture GrabAt(double x) const;
    void CentreViewOn(double seconds);
    void FollowPlayLine(double previous);
    double PointerX() const;
    void MarksChanged();

    struct EnvelopePictures {
        QImage plain;
        QImage selected;
    };
    // The envelope over from..to in both colourings, on transparent images of `size`.
    EnvelopePictures RenderEnvelope(const WaveformEnvelope* envelope, const QSizeF& size, double from,
                                    double to) const;
    // The strip's time scale: the source's when edited.
    double OverviewSpan() const;
    const WaveformEnvelope* OverviewEnvelope() const;
    double SourceAt(double edited) const;
    double EditedAt(double source) const;
    void DeriveEnvelope();
    void PaintJoins(QPainter& painter) const;
    bool CacheFresh() const;
    QFont CornerFont() const;
    void RebuildCache();
    void RebuildMainCache();
    void PaintOverview(QPainter& painter, const Marks& marks) const;
    void PaintMain(QPainter& painter, const Marks& marks) const;
    void PaintMarks(QPainter& painter, const Marks& marks) const;
    void PaintPlayLine(QPainter& painter) const;
    void PaintCutPoints(QPainter& painter) const;
    // The cut point within kEdgeGrab pixels of x, nearest first; -1 for none.
    int CutAt(double x) const;
    void PaintProgressAndNote(QPainter& painter) const;

    WaveformBuilder builder_;
    std::shared_ptr<const WaveformEnvelope> envelope_;  // what the plot shows
    std::shared_ptr<const WaveformEnvelope> sourceEnvelope_;
    std::vector<std::pair<double, double>> stretches_;
    std::vector<StretchLevel> levels_;
    double sourceSpan_ = 0.0;
    std::vector<double> joins_;
    std::vector<std::pair<double, double>> removed_;
    double span_ = 0.0;
    int leftInset_ = 0;
    int rightInset_ = 0;
    std::optional<double> start_;
    std::optional<double> end_;
    double position_ = -1.0;
    double progress_ = -1.0;
    QString note_;
    QPointer<QSlider> followed_;

    // 0 seconds in view means the whole span (which may still change as the length is learnt).
    double viewStart_ = 0.0;
    double viewSeconds_ = 0.0;

    Gesture gesture_ = Gesture::None;
    double pressX_ = 0.0;
    double anchorSeconds_ = 0.0;
    double dragSeconds_ = 0.0;
    std::vector<double> cuts_;
    int selectedCut_ = -1;
    int dragCut_ = -1;

    // The envelope is redrawn only when the size, view or envelope changes; marks, position and
    // progress are painted over it fresh each time.
    QImage overview_;
    QImage plain_;
    QImage selected_;
    QSize cacheSize_;
    qreal cacheRatio_ = 0.0;
    double cacheStart_ = -1.0;
    double cacheSeconds_ = -1.0;
    // The times at the edges of a zoomed-in view, laid out once per view.
    QStaticText viewStartText_;
    QStaticText viewEndText_;
};
