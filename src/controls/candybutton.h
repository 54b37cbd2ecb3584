#pragma once
// The owner-drawn push button both windows are built from: a glossy rounded body whose colour
// follows the state, a window shape with rounded corners, an optional picture beside the caption.
// It is a QAbstractButton, so `clicked` works as for any button; `Click` is raised alongside.
#include <QAbstractButton>
#include <QPixmap>

#include "controls/olecolor.h"

class PropertyBag;

class CandyButton : public QAbstractButton {
    Q_OBJECT
public:
    // Drawing states passed to every repaint.
    enum State { StateNormal = 0, StatePressed = 1, StateFocused = 2, StateHovered = 3, StateChecked = 4 };

    explicit CandyButton(QWidget* parent = nullptr);
    CandyButton(const QString& caption, QWidget* parent);
    ~CandyButton() override;

    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool enabled);
    QFont Font() const { return font(); }
    void SetFont(const QFont& font);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    bool CaptionHighLite() const { return captionHighLite_; }
    void SetCaptionHighLite(bool on) { captionHighLite_ = on; }
    OleColor CaptionHighLiteColor() const { return captionHighLiteColor_; }
    void SetCaptionHighLiteColor(OleColor color) { captionHighLiteColor_ = color; }
    bool IconHighLite() const { return iconHighLite_; }
    void SetIconHighLite(bool on) { iconHighLite_ = on; }
    OleColor IconHighLiteColor() const { return iconHighLiteColor_; }
    void SetIconHighLiteColor(OleColor color) { iconHighLiteColor_ = color; }
    OleColor ForeColor() const { return foreColor_; }
    void SetForeColor(OleColor color);
    QPixmap Picture() const { return picture_; }
    void SetPicture(const QPixmap& picture);
    int PictureAlignment() const { return pictureAlignment_; }
    void SetPictureAlignment(int alignment);
    int Style() const { return style_; }
    void SetStyle(int style);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    OleColor ColorButtonHover() const { return colorHover_; }
    void SetColorButtonHover(OleColor color);
    OleColor ColorButtonUp() const { return colorUp_; }
    void SetColorButtonUp(OleColor color);
    OleColor ColorButtonDown() const { return colorDown_; }
    void SetColorButtonDown(OleColor color);
    OleColor ColorBright() const { return colorBright_; }
    void SetColorBright(OleColor color);
    int BorderBrightness() const { return borderBrightness_; }
    void SetBorderBrightness(int value);
    bool DisplayHand() const { return displayHand_; }
    void SetDisplayHand(bool on) { displayHand_ = on; }
    int ColorScheme() const { return colorScheme_; }
    void SetColorScheme(int scheme);

    // The blend and channel helpers with system colours taken from this button's palette.
    OleColor BlendColors(OleColor color1, OleColor color2, int percentage) const;
    Rgb GetRGB(OleColor color) const;
    // Caption and picture for `state`, onto a painter over the client area.
    void DrawIconWCaption(QPainter& painter, int state) const;

    // Saved layout: write in the fixed key order; read falls back to the defaults and makes the
    // button ready.
    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    // Observable run-time state.
    int DrawState() const { return drawState_; }
    bool Hovering() const { return hovering_; }
    int CornerRadius() const { return radius_; }
    OleColor BodyColor(int state) const;
    // The glossy body for `state`, painted for `ratio` device pixels per pixel and cached per
    // size, colours and ratio.
    QPixmap CachedBody(int state, qreal ratio) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Click();
    void DblClick();
    void MouseEnter();
    void MouseLeave();
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);
    void MouseDown(short Button, short Shift, float X, float Y);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void InitProperties();
    void Repaint(int state);
    void Shape();
    QFont DefaultFont() const;
    void DrawFocusRing(QPainter& painter) const;
    void PressedBy(short button, short shift, float x, float y);
    void ReleasedBy(short button, short shift, float x, float y);

    QString caption_;
    bool captionHighLite_ = false;
    OleColor captionHighLiteColor_ = 0x00FF00;
    bool iconHighLite_ = false;
    OleColor iconHighLiteColor_ = 0x00FF00;
    OleColor foreColor_ = 0;
    QPixmap picture_;
    int pictureAlignment_ = 0;
    int style_ = 0;
    bool checked_ = false;
    OleColor colorHover_ = 0xFFC090;
    OleColor colorUp_ = 0xE99950;
    OleColor colorDown_ = 0xE99950;
    OleColor colorBright_ = 0xFFEDB0;
    int borderBrightness_ = 0;
    bool displayHand_ = false;
    int colorScheme_ = 0;

    bool hovering_ = false;
    bool leaveRequested_ = false;
    bool hasFocus_ = false;
    bool ready_ = false;
    bool keyDown_ = false;
    int radius_ = 0;
    int drawState_ = StateNormal;
};
