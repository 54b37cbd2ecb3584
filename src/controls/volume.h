#pragma once
// A small knob on a wedge-shaped track showing the wave-out level (0..41). The knob can be
// dragged or the track clicked; a right click mutes. The control polls the level every 100 ms
// so it follows changes made elsewhere.
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

class WaveOut;

class Volume : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKnobWidth = 8;
    static constexpr int kKnobHeight = 16;
    static constexpr int kKnobTop = 2;
    static constexpr int kTrackEnd = 41;  // largest knob left edge

    Volume(WaveOut& waveOut, QWidget* parent = nullptr);

    void SetVolume(int16_t Level);
    int32_t GetVolume() const;
    void VolumeMuted(bool mute);
    void SetControlBackground(bool FormActive);

    bool Muted() const { return muted_; }
    bool Dragging() const { return dragging_; }
    double KnobLeft() const { return knobLeft_; }
    // One polling step (the 100 ms timer calls it).
    void Poll();

    QSize sizeHint() const override;

    // The knob pictures, drawn in code.
    static QImage KnobImage(bool pressed, qreal ratio = 1.0);
    // The knob for `ratio` device pixels per pixel, cached per image and ratio.
    static QPixmap CachedKnob(bool pressed, qreal ratio);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool OnKnob(const QPointF& pos) const;
    void SetLevelFromKnob();

    WaveOut& waveOut_;
    bool muted_ = false;
    int32_t volumeBeforeMute_ = 0;
    bool dragging_ = false;
    int16_t grabOffset_ = 0;
    double knobLeft_ = 0;
    QTimer poll_;
};
