#pragma once
// A picture-built slider: two end caps, a full strip up to the knob, an empty strip beyond it
// and the knob on top. Horizontal (Style 0, Min at the left) or vertical (Max at the top).
#include <cstdint>

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "controls/olecolor.h"

class PropertyBag;

// Track geometry along the slider, in pixels.
struct SliderTrack {
    int length = 0;      // control length along the track
    int firstCap = 0;    // top cap (vertical) or left cap (horizontal)
    int secondCap = 0;   // bottom or right cap
    int knob = 0;        // knob length along the track

    int Usable() const { return length - firstCap - secondCap - knob; }
};

struct SliderPointerResult {
    int32_t value;     // already clamped into Min..Max
    double knobPos;    // knob position for a pointer-placed knob
};

// Pointer coordinate (y for vertical, x for horizontal) to value and knob position.
SliderPointerResult SliderPointerToValue(double pointer, const SliderTrack& track, int32_t min,
                                         int32_t max, bool vertical);
// Knob position derived from the value.
int SliderKnobFromValue(int32_t value, int32_t min, int32_t max, const SliderTrack& track);
// Centre-line colour of the full strip: ForeColor blended toward ForeColor2 by f (0..1).
OleColor SliderFillColor(OleColor foreColor, OleColor foreColor2, double f);

class Slider : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThickness = 19;  // strip width across the track
    static constexpr int kCap = 4;
    static constexpr int kKnobLength = 8;
    static constexpr int kKnobThickness = 11;
    static constexpr int kKnobInset = 4;    // knob distance from the strip's edge

    explicit Slider(QWidget* parent = nullptr);

    int32_t Value() const { return value_; }
    void SetValue(int32_t value);
    int32_t Max() const { return max_; }
    void SetMax(int32_t value);
    int32_t Min() const { return min_; }
    void SetMin(int32_t value);
    OleColor BackColor() const { return backColor_; }
    void SetBackColor(OleColor color);
    OleColor ForeColor() const { return foreColor_; }
    void SetForeColor(OleColor color);
    OleColor ForeColor2() const { return foreColor2_; }
    void SetForeColor2(OleColor color);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on) { enabled_ = on; }
    bool Snap() const { return snap_; }
    void SetSnap(bool on) { snap_ = on; }
    int32_t Style() const { return style_; }
    void SetStyle(int32_t style);

    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    bool Vertical() const { return style_ != 0; }
    SliderTrack Track() const;
    // Knob position along the track (from the bottom when vertical).
    double KnobPosition() const;
    // f of the fill colour: from the value, or from a pointer-placed knob.
    double FillFraction() const;

    QSize sizeHint() const override;

    // Part pictures, drawn in code; `fill` is the strip's centre-line colour.
    static QImage StripImage(bool full, QColor centre, bool vertical);
    static QImage KnobImage(bool vertical, qreal ratio = 1.0);
    // The knob for `ratio` device pixels per pixel, cached per orientation and ratio.
    static QPixmap CachedKnob(bool vertical, qreal ratio);

signals:
    void DblClick(int32_t Value);
    void Scroll();
    void Change();
    void Click();
    void MouseUp(short Button, short Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void PositionToValue(const QPointF& pointer);
    void DrawFocus(QPainter& p) const;
    void ValueChanged();

    int32_t value_ = 50;
    int32_t max_ = 100;
    int32_t min_ = -100;
    OleColor backColor_ = 0;
    OleColor foreColor_ = RGBColor(200, 200, 0);
    OleColor foreColor2_ = RGBColor(200, 0, 0);
    bool enabled_ = true;
    bool snap_ = false;
    int32_t style_ = 0;

    bool knobFromPointer_ = false;
    double pointerKnobPos_ = 0;
    QPointF lastPointer_;
    bool pressed_ = false;
};
