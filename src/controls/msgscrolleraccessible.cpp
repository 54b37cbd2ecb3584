#include "controls/msgscrolleraccessible.h"

#include <QStringList>

#include "controls/msgscroller.h"

MsgScrollerAccessible::MsgScrollerAccessible(MsgScroller* scroller)
    : QAccessibleWidget(scroller, QAccessible::StaticText) {}

QString MsgScrollerAccessible::text(QAccessible::Text t) const {
    auto* scroller = static_cast<MsgScroller*>(widget());
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        QStringList messages;
        for (int i = 1; i <= scroller->ListCount(); ++i) messages << scroller->Item(i).Text.trimmed();
        return messages.join(QLatin1Char(' '));
    }
    if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty())
        return QStringLiteral("Scrolling messages");
    return QAccessibleWidget::text(t);
}
