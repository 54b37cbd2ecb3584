#include "controls/isbutton.h"

#include <exception>

#include <QApplication>
#include <QEnterEvent>
#include <QFont>
#include <QPixmap>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "controls/linkopener.h"
#include "controls/olecolor.h"
#include "controls/propertybag.h"

namespace {

int IndexOfName(const QString& name) {
    const auto& table = isButton::PropertyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (name == QLatin1String(table[i].name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

const std::vector<isButton::PropertyInfo>& isButton::PropertyTable() {
    static const std::vector<PropertyInfo> table = {
        {"Icon", "Icon", QVariant(QPixmap())},
        {"Style", "Style", 3},
        {"Caption", "Caption", QStringLiteral("isButton")},
        {"IconSize", "IconSize", 16},
        {"CaptionAlign", "CaptionAlign", 0},
        {"IconAlign", "IconAlign", 1},
        {"NonThemeStyle", "iNonThemeStyle", 5},
        {"Enabled", "Enabled", true},
        {"ShowFocus", "ShowFocus", false},
        {"UseCustomColors", "USeCustomColors", false},
        {"BackColor", "BackColor", kSysButtonFace},
        {"HighlightColor", "HighlightColor", kSysHighlight},
        {"FontColor", "FontColor", kSysButtonText},
        {"FontHighlightColor", "FontHighlightColor", kSysHighlightText},
        {"ToolTipText", "ToolTipText", QString()},
        {"ToolTipTitle", "Tooltiptitle", QString()},
        {"ToolTipIcon", "ToolTipIcon", 0},
        {"ToolTipType", "ToolTipType", 1},
        {"ToolTipBackColor", "ttBackColor", OleColor{kSystemColorFlag | 24}},
        {"ToolTipForeColor", "ttForeColor", OleColor{kSystemColorFlag | 23}},
        {"Font", "Font", QVariant()},  // the container's font
        {"ButtonType", "ButtonType", 0},
        {"Value", "Value", false},
        {"UseMaskColor", "UseMaskColor", false},
        {"MaskColor", "MaskColor", OleColor{0xC0C0C0}},
        {"MousePointer", "MousePointer", 0},
        {"RoundedBordersByTheme", "RoundedBordersByTheme", true},
        {"RightToLeft", "bRTLText", false},
    };
    return table;
}

isButton::isButton(LinkOpener& opener, QWidget* parent) : QAbstractButton(parent), opener_(opener) {
    for (const PropertyInfo& info : PropertyTable()) {
        values_.push_back(info.defaultValue);
    }
    setText(QStringLiteral("isButton"));
}

int32_t isButton::OpenLink(const QString& sLink) {
    try {
        return opener_.Open(sLink);
    } catch (...) {
        return 0;  // the caller only ever sees the result code
    }
}

QVariant isButton::Property(const QString& name) const {
    const int i = IndexOfName(name);
    if (i < 0) {
        return {};
    }
    if (name == QLatin1String("Font")) {
        return font();
    }
    return values_[static_cast<size_t>(i)];
}

void isButton::SetProperty(const QString& name, const QVariant& value) {
    const int i = IndexOfName(name);
    if (i < 0) {
        return;
    }
    if (name == QLatin1String("Font")) {
        setFont(value.value<QFont>());
        return;
    }
    values_[static_cast<size_t>(i)] = value;
    if (name == QLatin1String("Caption")) {
        setText(value.toString());
    } else if (name == QLatin1String("Enabled")) {
        setEnabled(value.toBool());
    } else if (name == QLatin1String("ToolTipText")) {
        setToolTip(value.toString());
    }
    update();
}

void isButton::WriteProperties(PropertyBag& bag) const {
    const QFont containerFont = parentWidget() ? parentWidget()->font() : QApplication::font();
    const auto& table = PropertyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const QString key = QLatin1String(table[i].key);
        if (key == QLatin1String("Font")) {
            bag.WriteProperty(key, font(), containerFont);
        } else if (key == QLatin1String("Icon")) {
            if (!values_[i].value<QPixmap>().isNull()) {
                bag.WriteProperty(key, values_[i]);
            }
        } else {
            bag.WriteProperty(key, values_[i], table[i].defaultValue);
        }
    }
}

void isButton::ReadProperties(const PropertyBag& bag) {
    const QFont containerFont = parentWidget() ? parentWidget()->font() : QApplication::font();
    for (const PropertyInfo& info : PropertyTable()) {
        const QString key = QLatin1String(info.key);
        const QVariant fallback = key == QLatin1String("Font") ? QVariant(containerFont) : info.defaultValue;
        SetProperty(QLatin1String(info.name), bag.ReadProperty(key, fallback));
    }
}

QSize isButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + 24, metrics.height() + 12);
}

void isButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.text = text();
    if (isDown()) {
        option.state |= QStyle::State_Sunken;
    }
    painter.drawControl(QStyle::CE_PushButton, option);
}

void isButton::enterEvent(QEnterEvent* e) {
    QAbstractButton::enterEvent(e);
    emit MouseEnter();
    update();
}

void isButton::leaveEvent(QEvent* e) {
    QAbstractButton::leaveEvent(e);
    emit MouseLeave();
    update();
}
