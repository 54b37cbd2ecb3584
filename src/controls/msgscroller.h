#pragma once
// A one-line ticker: a queue of messages laid out one after another with a separator, moved
// left a few pixels on every tick of its own timer and wrapping endlessly. The text can be
// dragged sideways (panning), and each drawn message is a hot spot reporting clicks and hovering
// by its 1-based position in the queue.
#include <vector>

#include <QFont>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include "controls/olecolor.h"

class PropertyBag;

struct cMessageData {
    QString Text;
    int32_t Colour = -1;  // -1: the scroller's ForeColor
    QVariant ItemData;
    int32_t Width = 0;
    int32_t Left = 0;
    int32_t Right = 0;
    QString Key;
};

struct ScrollHotSpot {
    int position;  // 1-based queue position
    int left;
    int right;
};

// What one paint shows: pieces of text across the line, the red fill after a standing last
// message, and the hot spots.
struct ScrollFrame {
    struct Piece {
        int x;
        int width;
        QString text;
        OleColor colour;
        int position;  // 0 for a separator
    };
    std::vector<Piece> pieces;
    int redFrom = -1;  // x where the red fill starts, -1 for none
    std::vector<ScrollHotSpot> hotSpots;
    int offset = 0;  // the offset brought into range
};

inline constexpr int kMaxHotSpots = 1024;

// Pure composition of a frame from laid-out items (Left/Width set), in client pixels.
ScrollFrame ComposeScrollFrame(const std::vector<cMessageData>& items, const QString& separator,
                               int sep, int lineLength, int offset, int clientWidth, bool active,
                               bool panning, OleColor foreColor);

class MsgScroller : public QWidget {
    Q_OBJECT
public:
    explicit MsgScroller(QWidget* parent = nullptr);

    int16_t BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(int16_t style);
    OleColor BackColor() const { return backColor_; }
    void SetBackColor(OleColor color);
    OleColor ForeColor() const { return foreColor_; }
    void SetForeColor(OleColor color);
    int16_t ScrollInterval() const { return scrollInterval_; }
    void SetScrollInterval(int16_t ms);
    QFont Font() const { return font(); }
    void SetFont(const QFont& font);
    int16_t ScrollSpeed() const { return scrollSpeed_; }
    void SetScrollSpeed(int16_t pixels);
    QString Seperator() const { return seperator_; }
    void SetSeperator(const QString& text);
    bool Enabled() const { return enabledProp_; }
    void SetEnabled(bool on) { enabledProp_ = on; }
    bool AutoScroll() const { return autoScroll_; }
    void SetAutoScroll(bool on);
    bool AllowPan() const { return allowPan_; }
    void SetAllowPan(bool on) { allowPan_ = on; }
    bool Scroll() const { return scroll_; }
    void SetScroll(bool on);

    // Index: a 1-based position (integer) or a key (text); anything else addresses nothing.
    void AddItem(const QString& Text, const QString& Key = {}, const QVariant& Index = {});
    int16_t FindItem(const QString& Text) const;
    bool FindKey(const QString& Key) const;
    void RemoveItem(const QVariant& Index);
    int ListCount() const { return static_cast<int>(items_.size()); }
    void Clear();
    QVariant ItemData(const QVariant& Index) const;
    void SetItemData(const QVariant& Index, const QVariant& data);
    QVariant ItemColor(const QVariant& Index) const;
    void SetItemColor(const QVariant& Index, int32_t colour);
    QVariant List(const QVariant& Index) const;
    void SetList(const QVariant& Index, const QString& text);
    void Refresh();
    void ToggleScroll();

    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    // One timer step: move by ScrollSpeed and paint.
    void Tick();
    int HitTest(int x, int y) const;

    // Observable state.
    bool TimerRunning() const { return timer_.isActive(); }
    bool ScrollingActive() const { return active_; }
    bool Panning() const { return panning_; }
    int Offset() const { return offset_; }
    int LineLength() const { return lineLength_; }
    int SeparatorWidth() const { return sep_; }
    QString SeparatorText() const { return sepText_; }
    const cMessageData& Item(int position) const { return items_.at(static_cast<size_t>(position - 1)); }
    const ScrollFrame& Frame() const { return frame_; }
    QRect ClientRect() const;
    int BandTop() const { return bandTop_; }
    int BandBottom() const { return bandBottom_; }
    int CurrentHotSpot() const { return hotSpot_; }

signals:
    void HotSpotClick(int32_t Index);
    void HotSpotMove(int32_t Index);
    void Click();
    void DblClick();
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    int IndexOf(const QVariant& Index) const;
    void Layout();
    void Paint();
    QPointF ClientPos(const QPointF& widgetPos) const;

    std::vector<cMessageData> items_;
    int16_t borderStyle_ = 1;
    OleColor backColor_ = kSysButtonFace;
    OleColor foreColor_ = kSysButtonText;
    int16_t scrollInterval_ = 120;
    int16_t scrollSpeed_ = 3;
    QString seperator_ = QStringLiteral(" ");
    bool enabledProp_ = false;
    bool autoScroll_ = false;
    bool allowPan_ = true;
    bool scroll_ = false;

    QString sepText_ = QStringLiteral(" ");
    int sep_ = 0;
    int lineLength_ = 0;
    int offset_ = 0;
    bool active_ = false;
    bool panning_ = false;
    qreal panStartX_ = 0;
    int panStartOffset_ = 0;
    bool panTimerWasRunning_ = false;
    bool panMoved_ = false;
    bool pressed_ = false;
    int bandTop_ = 0;
    int bandBottom_ = 0;
    int hotSpot_ = -1;
    ScrollFrame frame_;
    QTimer timer_;
};
