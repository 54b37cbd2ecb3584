#include "controls/candybutton.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

#include "controls/candypainter.h"
#include "controls/deviceratio.h"
#include "controls/eventmasks.h"
#include "controls/propertybag.h"

namespace {

constexpr OleColor kDisabledBody = 0xB0C0C0;

struct Scheme {
    OleColor up, hover, down, bright;
};
constexpr Scheme kSchemes[] = {
    {0xD06720, 0xE99950, 0xA06710, 0xFFEDB0}, {0xD09060, 0xE06000, 0xA98050, 0xFFFAFA},
    {0x800000, 0xA00000, 0xF00000, 0xFF0000}, {0x000080, 0x0000A0, 0x0000F0, 0x0000FF},
    {0x008000, 0x00A000, 0x00C000, 0x00FF00}, {0x008080, 0x00A0A0, 0x00C0C0, 0x00FFFF},
};

bool IsActivationKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

QRgb Plain(OleColor c) { return ToQColor(c).rgb(); }

}  // namespace

CandyButton::CandyButton(QWidget* parent) : QAbstractButton(parent) {
    InitProperties();
}

CandyButton::CandyButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    InitProperties();
    SetCaption(caption);
}

CandyButton::~CandyButton() = default;

void CandyButton::InitProperties() {
    caption_ = QStringLiteral("CandyButton");
    setText(caption_);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    connect(this, &QAbstractButton::clicked, this, &CandyButton::Click);
    setCursor(displayHand_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
    ready_ = true;
    Shape();
    Repaint(StateNormal);
}

void CandyButton::SetEnabled(bool enabled) {
    setEnabled(enabled);  // changeEvent repaints
}

void CandyButton::SetFont(const QFont& f) {
    setFont(f);  // changeEvent repaints
}

void CandyButton::SetCaption(const QString& caption) {
    caption_ = caption;
    setText(caption);  // keeps the mnemonic shortcut and accessibility name in step
    updateGeometry();
    Repaint(StateNormal);
}

void CandyButton::SetForeColor(OleColor color) {
    foreColor_ = color;
    Repaint(StateNormal);
}

void CandyButton::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    updateGeometry();
    Repaint(StateNormal);
}

void CandyButton::SetPictureAlignment(int alignment) {
    alignment = std::clamp(alignment, 0, 3);
    if (alignment == pictureAlignment_) {
        return;
    }
    pictureAlignment_ = alignment;
    Repaint(StateNormal);
}

void CandyButton::SetStyle(int style) {
    style = std::clamp(style, 0, 7);
    if (style == style_) {
        return;
    }
    style_ = style;
    Shape();
    Repaint(StateNormal);
}

void CandyButton::SetChecked(bool checked) {
    checked_ = checked;
    if (checked) {
        Repaint(StateChecked);
    } else {
        Repaint(hovering_ ? StateHovered : StateNormal);
    }
}

void CandyButton::SetColorButtonHover(OleColor color) {
    colorHover_ = color;
    colorScheme_ = 0;
    Repaint(StateNormal);
}

void CandyButton::SetColorButtonUp(OleColor color) {
    colorUp_ = color;
    colorScheme_ = 0;
    Repaint(StateNormal);
}

void CandyButton::SetColorButtonDown(OleColor color) {
    colorDown_ = color;
    colorScheme_ = 0;
    Repaint(StateNormal);
}

void CandyButton::SetColorBright(OleColor color) {
    colorBright_ = color;
    colorScheme_ = 0;
    Repaint(StateNormal);
}

void CandyButton::SetBorderBrightness(int value) {
    borderBrightness_ = std::clamp(value, -100, 100);
    Repaint(StateNormal);
}

void CandyButton::SetColorScheme(int scheme) {
    scheme = std::clamp(scheme, 0, 6);
    if (scheme > 0) {
        const Scheme& s = kSchemes[scheme - 1];
        colorUp_ = s.up;
        colorHover_ = s.hover;
        colorDown_ = s.down;
        colorBright_ = s.bright;
    }
    colorScheme_ = scheme;
    Repaint(StateNormal);
}

OleColor CandyButton::BlendColors(OleColor color1, OleColor color2, int percentage) const {
    return ::BlendColors(color1, color2, percentage, palette());
}

Rgb CandyButton::GetRGB(OleColor color) const { return ::GetRGB(color, palette()); }

OleColor CandyButton::BodyColor(int state) const {
    switch (state) {
    case StatePressed:
    case StateChecked: return TranslateColor(colorDown_, palette());
    case StateHovered: return TranslateColor(colorHover_, palette());
    default: return TranslateColor(colorUp_, palette());
    }
}

void CandyButton::Repaint(int state) {
    if (checked_) {
        state = StateChecked;
    }
    if (!ready_) {
        return;
    }
    drawState_ = state;
    update();
}

void CandyButton::Shape() {
    const int W = width();
    const int H = height();
    radius_ = CandyCornerRadius(style_, W, H);
    if (style_ >= 2 && W > 0 && H > 0) {
        setMask(CandyShape(W, H, radius_));
    } else {
        clearMask();
    }
}

QFont CandyButton::DefaultFont() const {
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

QPixmap CandyButton::CachedBody(int state, qreal ratio) const {
    CandyBody in;
    in.style = style_;
    in.W = width();
    in.H = height();
    in.R = radius_;
    in.body = BodyColor(state);
    in.bright = TranslateColor(colorBright_, palette());
    in.borderBrightness = borderBrightness_;
    in.enabled = isEnabled();
    in.pressed = state == StatePressed || state == StateChecked;
    const QString key = QStringLiteral("trimbel-candy:%1:%2x%3:%4:%5:%6:%7:%8:%9:%10")
                            .arg(in.style)
                            .arg(in.W)
                            .arg(in.H)
                            .arg(in.R)
                            .arg(in.body, 0, 16)
                            .arg(in.bright, 0, 16)
                            .arg(in.borderBrightness)
                            .arg(in.enabled ? 1 : 0)
                            .arg(in.pressed && in.style == 1 ? 1 : 0)
                            .arg(ratio);
    QPixmap body;
    if (!QPixmapCache::find(key, &body)) {
        body = QPixmap::fromImage(PaintCandyBodyAt(in, ratio));
        QPixmapCache::insert(key, body);
    }
    return body;
}

void CandyButton::DrawIconWCaption(QPainter& painter, int state) const {
    const QFontMetrics metrics(font());
    const QSize text = caption_.isEmpty() ? QSize() : metrics.size(Qt::TextShowMnemonic, caption_);
    const QSize picture = picture_.isNull() ? QSize() : picture_.deviceIndependentSize().toSize();
    const CaptionPlacement at =
        PlaceCaption(pictureAlignment_, width(), height(), radius_, picture, text, state == StatePressed);

    if (!picture_.isNull()) {
        if (!isEnabled()) {
            QStyleOption option;
            option.initFrom(this);
            painter.drawPixmap(at.picture,
                               style()->generatedIconPixmap(QIcon::Disabled, picture_, &option));
        } else if (state == StateHovered && iconHighLite_) {
            QPixmap silhouette(picture_.size());
            silhouette.setDevicePixelRatio(picture_.devicePixelRatio());
            silhouette.fill(Qt::transparent);
            QPainter p(&silhouette);
            p.drawPixmap(0, 0, picture_);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(silhouette.rect(), ToQColor(TranslateColor(iconHighLiteColor_, palette())));
            p.end();
            painter.drawPixmap(at.picture, silhouette);
        } else {
            painter.drawPixmap(at.picture, picture_);
        }
    }

    if (caption_.isEmpty()) {
        return;
    }
    const QRect box(at.caption, text);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine;
    painter.setFont(font());
    if (!isEnabled()) {
        // Embossed: a light copy one pixel down and right under the grey text.
        painter.setPen(Qt::white);
        painter.drawText(box.translated(1, 1), flags, caption_);
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText).darker(110));
        painter.drawText(box, flags, caption_);
        return;
    }
    const OleColor colour =
        state == StateHovered && captionHighLite_ ? captionHighLiteColor_ : foreColor_;
    painter.setPen(QColor(Plain(TranslateColor(colour, palette()))));
    painter.drawText(box, flags, caption_);
}

void CandyButton::paintEvent(QPaintEvent*) {
    if (!ready_) {
        return;
    }
    QPainter painter(this);
    // The device's ratio, not the widget's: a grab or render at another ratio gets its own body.
    painter.drawPixmap(0, 0, CachedBody(drawState_, DeviceRatio(painter)));
    DrawIconWCaption(painter, drawState_);
    if (hasFocus()) {
        DrawFocusRing(painter);
    }
}

// Keyboard focus shows as a dotted ring inside the outline, in the caption's colour, so that it
// reads on every body colour the states use.
void CandyButton::DrawFocusRing(QPainter& painter) const {
    const int inset = std::max(3, radius_ / 3);
    const QRectF ring = QRectF(rect()).adjusted(inset + 0.5, inset + 0.5, -inset - 0.5, -inset - 0.5);
    if (ring.width() < 4 || ring.height() < 4) {
        return;
    }
    const qreal corner = std::max(1, radius_ - inset);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(Plain(TranslateColor(foreColor_, palette()))), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(ring, corner, corner);
    painter.restore();
}

bool CandyButton::event(QEvent* e) {
    const bool handled = QAbstractButton::event(e);
    // Hover starts from any mouse move, enabled or not, except with the left button alone held
    // (a press that started elsewhere).
    if (e->type() == QEvent::MouseMove) {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPointF pos = me->position();
        if (ButtonMask(me->buttons()) != 1 && !hovering_ && pos.x() > 0 && pos.x() < width() &&
            pos.y() > 0 && pos.y() < height()) {
            hovering_ = true;
            leaveRequested_ = true;
            emit MouseEnter();
            Repaint(StateHovered);
        }
        return true;
    }
    return handled;
}

void CandyButton::leaveEvent(QEvent* e) {
    QAbstractButton::leaveEvent(e);
    if (!leaveRequested_) {
        return;
    }
    leaveRequested_ = false;
    hovering_ = false;
    emit MouseLeave();
    if (!checked_) {
        Repaint(hasFocus_ ? StateFocused : StateNormal);
    }
}

void CandyButton::PressedBy(short button, short shift, float x, float y) {
    hasFocus_ = true;
    Repaint(StatePressed);
    emit MouseDown(button, shift, x, y);
}

void CandyButton::ReleasedBy(short button, short shift, float x, float y) {
    if (!checked_) {
        if (hovering_) {
            Repaint(StateHovered);
        } else if (hasFocus_) {
            Repaint(StateFocused);
        }
    }
    emit MouseUp(button, shift, x, y);
}

void CandyButton::mousePressEvent(QMouseEvent* e) {
    PressedBy(ButtonMask(e->button()), ShiftMask(e->modifiers()), e->position().x(),
              e->position().y());
    QAbstractButton::mousePressEvent(e);
}

void CandyButton::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    const short buttons = ButtonMask(e->buttons());
    emit MouseMove(buttons, ShiftMask(e->modifiers()), pos.x(), pos.y());
    if (buttons == 1 &&
        (pos.x() < 0 || pos.x() > width() || pos.y() < 0 || pos.y() > height())) {
        hovering_ = false;
        Repaint(StateNormal);
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CandyButton::mouseReleaseEvent(QMouseEvent* e) {
    ReleasedBy(ButtonMask(e->button()), ShiftMask(e->modifiers()), e->position().x(),
               e->position().y());
    QAbstractButton::mouseReleaseEvent(e);
}

void CandyButton::mouseDoubleClickEvent(QMouseEvent*) {
    // The second press of a double click raises DblClick instead of a second Click.
    Repaint(StatePressed);
    emit DblClick();
}

void CandyButton::keyPressEvent(QKeyEvent* e) {
    if (!IsActivationKey(e->key())) {
        QAbstractButton::keyPressEvent(e);
        return;
    }
    if (!e->isAutoRepeat()) {
        keyDown_ = true;
        PressedBy(1, 0, 0, 0);
    }
    e->accept();
}

void CandyButton::keyReleaseEvent(QKeyEvent* e) {
    if (!IsActivationKey(e->key())) {
        QAbstractButton::keyReleaseEvent(e);
        return;
    }
    e->accept();
    if (e->isAutoRepeat() || !keyDown_) {
        return;
    }
    keyDown_ = false;
    ReleasedBy(1, 0, 0, 0);
    click();  // emits clicked, and so Click
}

void CandyButton::focusInEvent(QFocusEvent* e) {
    QAbstractButton::focusInEvent(e);
    hasFocus_ = true;
    if (isEnabled() && !checked_ && !hovering_) {
        Repaint(StateFocused);
    }
}

void CandyButton::focusOutEvent(QFocusEvent* e) {
    QAbstractButton::focusOutEvent(e);
    hasFocus_ = false;
    keyDown_ = false;
    if (isEnabled() && !checked_) {
        Repaint(StateNormal);
    }
}

void CandyButton::changeEvent(QEvent* e) {
    QAbstractButton::changeEvent(e);
    if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange) {
        updateGeometry();
        Repaint(StateNormal);
    } else if (e->type() == QEvent::PaletteChange) {
        Repaint(drawState_);
    }
}

void CandyButton::resizeEvent(QResizeEvent* e) {
    QAbstractButton::resizeEvent(e);
    Shape();
}

void CandyButton::showEvent(QShowEvent* e) {
    QAbstractButton::showEvent(e);
    Shape();
}

QSize CandyButton::sizeHint() const {
    const QFontMetrics metrics(font());
    QSize text = metrics.size(Qt::TextShowMnemonic, caption_);
    const QSize picture = picture_.isNull() ? QSize() : picture_.deviceIndependentSize().toSize();
    if (pictureAlignment_ <= 1) {
        text = QSize(std::max(text.width(), picture.width()), text.height() + picture.height());
    } else {
        text = QSize(text.width() + picture.width() + 8, std::max(text.height(), picture.height()));
    }
    return QSize(text.width() + 28, std::max(text.height() + 10, 25));
}

QSize CandyButton::minimumSizeHint() const { return QSize(16, 12); }

void CandyButton::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty("Enabled", isEnabled(), true);
    bag.WriteProperty("Font", font(), DefaultFont());
    bag.WriteProperty("Caption", caption_, QStringLiteral("CandyButton"));
    bag.WriteProperty("IconHighLite", iconHighLite_, false);
    bag.WriteProperty("IconHighLiteColor", iconHighLiteColor_, OleColor{0x00FF00});
    bag.WriteProperty("CaptionHighLite", captionHighLite_, false);
    bag.WriteProperty("CaptionHighLiteColor", captionHighLiteColor_, OleColor{0x00FF00});
    bag.WriteProperty("ForeColor", foreColor_, OleColor{0});
    if (!picture_.isNull()) {
        bag.WriteProperty("Picture", picture_);
    }
    bag.WriteProperty("PictureAlignment", pictureAlignment_, 0);
    bag.WriteProperty("Style", style_, 0);
    bag.WriteProperty("Checked", checked_);
    bag.WriteProperty("ColorButtonHover", colorHover_);
    bag.WriteProperty("ColorButtonUp", colorUp_);
    bag.WriteProperty("ColorButtonDown", colorDown_);
    bag.WriteProperty("BorderBrightness", borderBrightness_);
    bag.WriteProperty("ColorBright", colorBright_);
    bag.WriteProperty("DisplayHand", displayHand_);
    bag.WriteProperty("ColorScheme", colorScheme_);
}

void CandyButton::ReadProperties(const PropertyBag& bag) {
    ready_ = false;
    setEnabled(bag.ReadProperty("Enabled", true).toBool());
    setFont(bag.ReadProperty("Font", DefaultFont()).value<QFont>());
    caption_ = bag.ReadProperty("Caption", QStringLiteral("CandyButton")).toString();
    setText(caption_);
    captionHighLite_ = bag.ReadProperty("CaptionHighLite", false).toBool();
    captionHighLiteColor_ = bag.ReadProperty("CaptionHighLiteColor", OleColor{0x00FF00}).toUInt();
    iconHighLite_ = bag.ReadProperty("IconHighLite", false).toBool();
    iconHighLiteColor_ = bag.ReadProperty("IconHighLiteColor", OleColor{0x00FF00}).toUInt();
    foreColor_ = bag.ReadProperty("ForeColor", OleColor{0}).toUInt();
    picture_ = bag.ReadProperty("Picture", QPixmap()).value<QPixmap>();
    pictureAlignment_ = std::clamp(bag.ReadProperty("PictureAlignment", 0).toInt(), 0, 3);
    style_ = std::clamp(bag.ReadProperty("Style", 0).toInt(), 0, 7);
    checked_ = bag.ReadProperty("Checked", false).toBool();
    colorHover_ = bag.ReadProperty("ColorButtonHover", OleColor{0xFFC090}).toUInt();
    colorUp_ = bag.ReadProperty("ColorButtonUp", OleColor{0xE99950}).toUInt();
    colorDown_ = bag.ReadProperty("ColorButtonDown", OleColor{0xE99950}).toUInt();
    colorBright_ = bag.ReadProperty("ColorBright", OleColor{0xFFEDB0}).toUInt();
    borderBrightness_ = std::clamp(bag.ReadProperty("BorderBrightness", 0).toInt(), -100, 100);
    displayHand_ = bag.ReadProperty("DisplayHand", false).toBool();
    colorScheme_ = std::clamp(bag.ReadProperty("ColorScheme", 0).toInt(), 0, 6);
    setCursor(displayHand_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
    updateGeometry();
    ready_ = true;
    Shape();
    Repaint(StateNormal);
}
