#include "controls/msgscroller.h"

#include "controls/accessibility.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "controls/eventmasks.h"
#include "controls/propertybag.h"
#include "mpeg/rounding.h"

namespace {

bool IsPosition(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return true;
    default:
        return false;
    }
}

// Brings the offset into 0..cycle the way repeated adding and subtracting would: a negative
// offset ends in [0, cycle), a too large one in (0, cycle].
int NormaliseOffset(int offset, int cycle) {
    if (cycle <= 0) {
        return 0;
    }
    if (offset < 0) {
        const int r = offset % cycle;
        return r < 0 ? r + cycle : 0;
    }
    if (offset > cycle) {
        const int r = offset % cycle;
        return r == 0 ? cycle : r;
    }
    return offset;
}

}  // namespace

ScrollFrame ComposeScrollFrame(const std::vector<cMessageData>& items, const QString& separator,
                               int sep, int lineLength, int offset, int clientWidth, bool active,
                               bool panning, OleColor foreColor) {
    ScrollFrame frame;
    const int cycle = active ? lineLength + sep : lineLength;
    frame.offset = NormaliseOffset(offset, cycle);
    if (items.empty()) {
        return frame;
    }
    const size_t n = items.size();
    size_t i = 0;
    while (i < n && items[i].Right <= frame.offset) {
        ++i;
    }
    if (i == n) {
        i = 0;
    }
    int x = items[i].Left - frame.offset;
    // A whole lap that moves x by nothing (zero-width texts) would never reach the edge.
    size_t sinceProgress = 0;
    while (x < clientWidth) {
        const cMessageData& item = items[i];
        const OleColor colour = item.Colour == -1 ? foreColor : static_cast<OleColor>(item.Colour);
        frame.pieces.push_back({x, item.Width, item.Text, colour, static_cast<int>(i + 1)});
        if (frame.hotSpots.size() < kMaxHotSpots) {
            frame.hotSpots.push_back({static_cast<int>(i + 1), x, x + item.Width});
        }
        const int before = x;
        x += item.Width;
        if (!panning && !active && i == n - 1) {
            frame.redFrom = x;
            break;
        }
        frame.pieces.push_back({x, sep, separator, foreColor, 0});
        x += sep;
        i = (i + 1) % n;
        sinceProgress = x > before ? 0 : sinceProgress + 1;
        if (sinceProgress > n) {
            break;
        }
    }
    return frame;
}

MsgScroller::MsgScroller(QWidget* parent) : QWidget(parent) {
    InstallControlsAccessibility();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(scrollInterval_);
    connect(&timer_, &QTimer::timeout, this, &MsgScroller::Tick);
    Layout();
}

void MsgScroller::SetBorderStyle(int16_t style) {
    borderStyle_ = style;
    update();
}

void MsgScroller::SetBackColor(OleColor color) { backColor_ = color; }

void MsgScroller::SetForeColor(OleColor color) { foreColor_ = color; }

void MsgScroller::SetScrollInterval(int16_t ms) {
    scrollInterval_ = ms;
    timer_.setInterval(std::max<int>(1, ms));
}

void MsgScroller::SetFont(const QFont& f) {
    setFont(f);  // changeEvent runs layout
}

void MsgScroller::SetScrollSpeed(int16_t pixels) {
    if (pixels >= 1) {
        scrollSpeed_ = pixels;
    }
}

void MsgScroller::SetSeperator(const QString& text) {
    seperator_ = text;
    Layout();
}

void MsgScroller::SetAutoScroll(bool on) {
    autoScroll_ = on;
    Layout();
}

void MsgScroller::SetScroll(bool on) {
    scroll_ = on;
    if (!on) {
        timer_.stop();
    }
    Layout();
}

int MsgScroller::IndexOf(const QVariant& Index) const {
    if (IsPosition(Index)) {
        const qlonglong position = Index.toLongLong();
        if (position >= 1 && position <= static_cast<qlonglong>(items_.size())) {
            return static_cast<int>(position - 1);
        }
        return -1;
    }
    if (Index.typeId() == QMetaType::QString) {
        const QString key = Index.toString();
        for (size_t i = 0; i < items_.size(); ++i) {
            if (!items_[i].Key.isEmpty() && items_[i].Key.compare(key, Qt::CaseInsensitive) == 0) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

void MsgScroller::AddItem(const QString& Text, const QString& Key, const QVariant& Index) {
    if (Text.trimmed().isEmpty()) {
        return;
    }
    cMessageData item;
    item.Text = Text;
    if (!Key.trimmed().isEmpty()) {
        if (FindKey(Key)) {
            return;  // keys are unique
        }
        item.Key = Key;
    }
    if (IsPosition(Index) && Index.toLongLong() >= 1) {
        const qlonglong before = Index.toLongLong();
        if (before > static_cast<qlonglong>(items_.size())) {
            return;  // no such position to insert before
        }
        items_.insert(items_.begin() + (before - 1), std::move(item));
    } else {
        items_.push_back(std::move(item));
    }
    Layout();
    NotifyAccessibleName(this);
}

int16_t MsgScroller::FindItem(const QString& Text) const {
    for (size_t i = 0; i < items_.size() && i < 32767; ++i) {
        if (items_[i].Text.compare(Text, Qt::CaseInsensitive) == 0) {
            return static_cast<int16_t>(i + 1);
        }
    }
    return 0;
}

bool MsgScroller::FindKey(const QString& Key) const { return IndexOf(QVariant(Key)) >= 0; }

void MsgScroller::RemoveItem(const QVariant& Index) {
    const int i = IndexOf(Index);
    if (i < 0) {
        return;
    }
    items_.erase(items_.begin() + i);
    Layout();
    NotifyAccessibleName(this);
}

void MsgScroller::Clear() {
    items_.clear();
    Layout();
    NotifyAccessibleName(this);
}

QVariant MsgScroller::ItemData(const QVariant& Index) const {
    const int i = IndexOf(Index);
    return i < 0 ? QVariant() : items_[static_cast<size_t>(i)].ItemData;
}

void MsgScroller::SetItemData(const QVariant& Index, const QVariant& data) {
    const int i = IndexOf(Index);
    if (i >= 0) {
        items_[static_cast<size_t>(i)].ItemData = data;
    }
}

QVariant MsgScroller::ItemColor(const QVariant& Index) const {
    const int i = IndexOf(Index);
    return i < 0 ? QVariant() : QVariant(items_[static_cast<size_t>(i)].Colour);
}

void MsgScroller::SetItemColor(const QVariant& Index, int32_t colour) {
    const int i = IndexOf(Index);
    if (i >= 0) {
        items_[static_cast<size_t>(i)].Colour = colour;
    }
}

QVariant MsgScroller::List(const QVariant& Index) const {
    const int i = IndexOf(Index);
    return i < 0 ? QVariant() : QVariant(items_[static_cast<size_t>(i)].Text);
}

void MsgScroller::SetList(const QVariant& Index, const QString& text) {
    const int i = IndexOf(Index);
    if (i < 0) {
        return;
    }
    items_[static_cast<size_t>(i)].Text = text;
    Layout();
}

void MsgScroller::Refresh() {
    Layout();
    Paint();
}

void MsgScroller::ToggleScroll() {
    if (!active_ || panning_) {
        return;
    }
    if (timer_.isActive()) {
        timer_.stop();
    } else {
        timer_.start();
    }
}

QRect MsgScroller::ClientRect() const {
    const int b = borderStyle_ == 1 ? 1 : 0;
    return rect().adjusted(b, b, -b, -b);
}

void MsgScroller::Layout() {
    if (seperator_.isEmpty()) {
        sepText_ = QStringLiteral(" ");
    } else if (std::all_of(seperator_.begin(), seperator_.end(),
                           [](QChar c) { return c == QLatin1Char(' '); })) {
        sepText_ = seperator_;
    } else {
        sepText_ = QStringLiteral(" ") + seperator_ + QStringLiteral(" ");
    }
    const QFontMetrics metrics(font());
    sep_ = metrics.horizontalAdvance(sepText_);
    int length = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        cMessageData& item = items_[i];
        item.Width = metrics.horizontalAdvance(item.Text);
        item.Left = length;
        length += item.Width + (i + 1 < items_.size() ? sep_ : 0);
        item.Right = length;
    }
    lineLength_ = length;
    if (panning_) {
        return;
    }
    if (items_.empty()) {
        timer_.stop();
        offset_ = 0;
        active_ = false;
        Paint();
        return;
    }
    active_ = scroll_ || (autoScroll_ && ClientRect().width() < lineLength_);
    if (active_) {
        if (!timer_.isActive()) {
            timer_.start();
        }
    } else {
        timer_.stop();
        offset_ = 0;
        Paint();
    }
}

void MsgScroller::Tick() {
    offset_ += scrollSpeed_;
    Paint();
}

void MsgScroller::Paint() {
    const QRect client = ClientRect();
    frame_ = ComposeScrollFrame(items_, sepText_, sep_, lineLength_, offset_, client.width(),
                                active_, panning_, foreColor_);
    offset_ = frame_.offset;
    const int th = QFontMetrics(font()).size(Qt::TextSingleLine, QStringLiteral("X")).height();
    const int m = (client.height() - th) / 2;
    if (m > 0) {
        bandTop_ = m + 1;
        bandBottom_ = m + th - 1;
    } else {
        bandTop_ = 0;
        bandBottom_ = client.height();
    }
    update();
}

int MsgScroller::HitTest(int x, int y) const {
    if (frame_.hotSpots.empty() || y < bandTop_ || y > bandBottom_) {
        return -1;
    }
    for (const ScrollHotSpot& spot : frame_.hotSpots) {
        if (spot.left <= x && x <= spot.right) {
            return spot.position;
        }
    }
    return -1;
}

void MsgScroller::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect client = ClientRect();
    const QColor back = ToQColor(backColor_);
    painter.fillRect(rect(), back);
    if (borderStyle_ == 1) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.setClipRect(client);
    painter.translate(client.topLeft());
    painter.setFont(font());
    const int h = client.height();
    for (const ScrollFrame::Piece& piece : frame_.pieces) {
        if (piece.x + piece.width < 0) {
            continue;
        }
        const QRect box(piece.x, 0, piece.width, h);
        painter.fillRect(box, back);
        painter.setPen(ToQColor(piece.colour));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, piece.text);
    }
    if (frame_.redFrom >= 0 && frame_.redFrom < client.width()) {
        painter.fillRect(QRect(frame_.redFrom, 0, client.width() - frame_.redFrom, h),
                         QColor(255, 0, 0));
    }
}

void MsgScroller::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Layout();
}

void MsgScroller::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        Layout();
    }
}

QPointF MsgScroller::ClientPos(const QPointF& widgetPos) const {
    return widgetPos - QPointF(ClientRect().topLeft());
}

void MsgScroller::mousePressEvent(QMouseEvent* e) {
    const QPointF pos = ClientPos(e->position());
    pressed_ = true;
    if (e->button() == Qt::LeftButton && allowPan_ && active_) {
        panning_ = true;
        panMoved_ = false;
        panStartX_ = pos.x();
        panStartOffset_ = offset_;
        panTimerWasRunning_ = timer_.isActive();
        timer_.stop();
        setCursor(Qt::ClosedHandCursor);
    }
    emit MouseDown(ButtonMask(e->button()), ShiftMask(e->modifiers()), pos.x(), pos.y());
}

void MsgScroller::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = ClientPos(e->position());
    if (panning_) {
        const double dx = pos.x() - panStartX_;
        if (std::abs(dx) >= QApplication::startDragDistance()) {
            panMoved_ = true;
        }
        offset_ = RoundHalfEvenToInt32(panStartOffset_ - dx);
        Paint();
    }
    hotSpot_ = HitTest(static_cast<int>(pos.x()), static_cast<int>(pos.y()));
    emit HotSpotMove(hotSpot_);
    emit MouseMove(ButtonMask(e->buttons()), ShiftMask(e->modifiers()), pos.x(), pos.y());
}

void MsgScroller::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = ClientPos(e->position());
    bool dragged = false;
    if (panning_ && e->button() == Qt::LeftButton) {
        panning_ = false;
        dragged = panMoved_;
        if (panTimerWasRunning_) {
            timer_.start();
        }
        unsetCursor();
    }
    hotSpot_ = HitTest(static_cast<int>(pos.x()), static_cast<int>(pos.y()));
    emit MouseUp(ButtonMask(e->button()), ShiftMask(e->modifiers()), pos.x(), pos.y());
    const bool inside = rect().contains(e->position().toPoint());
    if (pressed_ && inside && !dragged) {
        // A drag that panned the line is not a click on the message it ends over.
        if (hotSpot_ >= 0) {
            emit HotSpotClick(hotSpot_);
        }
        emit Click();
    }
    pressed_ = e->buttons() != Qt::NoButton;
}

void MsgScroller::mouseDoubleClickEvent(QMouseEvent* e) {
    pressed_ = true;
    const QPointF pos = ClientPos(e->position());
    emit MouseDown(ButtonMask(e->button()), ShiftMask(e->modifiers()), pos.x(), pos.y());
    emit DblClick();
}

void MsgScroller::WriteProperties(PropertyBag& bag) const {
    const QFont containerFont = parentWidget() ? parentWidget()->font() : QApplication::font();
    bag.WriteProperty("Border", borderStyle_, int16_t{1});
    bag.WriteProperty("BackColor", backColor_, kSysButtonFace);
    bag.WriteProperty("ForeColor", foreColor_, kSysButtonText);
    bag.WriteProperty("ScrollInterval", scrollInterval_, int16_t{120});
    bag.WriteProperty("Font", font(), containerFont);
    bag.WriteProperty("ScrollSpeed", scrollSpeed_, int16_t{3});
    bag.WriteProperty("Seperator", seperator_, QStringLiteral(" "));
    bag.WriteProperty("Enabled", enabledProp_, false);
    bag.WriteProperty("AutoScroll", autoScroll_, false);
    bag.WriteProperty("Pan", allowPan_, true);
}

void MsgScroller::ReadProperties(const PropertyBag& bag) {
    const QFont containerFont = parentWidget() ? parentWidget()->font() : QApplication::font();
    borderStyle_ = static_cast<int16_t>(bag.ReadProperty("Border", 1).toInt());
    backColor_ = bag.ReadProperty("BackColor", kSysButtonFace).toUInt();
    foreColor_ = bag.ReadProperty("ForeColor", kSysButtonText).toUInt();
    SetScrollInterval(static_cast<int16_t>(bag.ReadProperty("ScrollInterval", 120).toInt()));
    setFont(bag.ReadProperty("Font", containerFont).value<QFont>());
    SetScrollSpeed(static_cast<int16_t>(bag.ReadProperty("ScrollSpeed", 3).toInt()));
    seperator_ = bag.ReadProperty("Seperator", QStringLiteral(" ")).toString();
    enabledProp_ = bag.ReadProperty("Enabled", false).toBool();
    autoScroll_ = bag.ReadProperty("AutoScroll", false).toBool();
    allowPan_ = bag.ReadProperty("Pan", true).toBool();
    Layout();
}
