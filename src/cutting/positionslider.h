#pragma once
// The horizontal position slider of the cutting window: whole seconds, a selection range drawn as
// a highlighted band, and a Scroll signal that fires for the user's moves only.
#include <QSlider>

class PositionSlider : public QSlider {
    Q_OBJECT
public:
    explicit PositionSlider(QWidget* parent = nullptr);

    int Min() const { return minimum(); }
    void SetMin(int value);
    int Max() const { return maximum(); }
    void SetMax(int value);
    int Value() const { return value(); }
    // Values outside Min..Max are clamped. Emits no Scroll.
    void SetValue(int value);
    int TickFrequency() const { return tickInterval(); }
    void SetTickFrequency(int value);

    int SelStart() const { return selStart_; }
    void SetSelStart(int value);
    int SelLength() const { return selLength_; }
    void SetSelLength(int value);
    void ClearSel();
    bool HasSelection() const { return hasSelection_; }

signals:
    void Scroll();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int selStart_ = 0;
    int selLength_ = 0;
    bool hasSelection_ = false;
    bool programmatic_ = false;
};
