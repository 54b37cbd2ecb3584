#include "cutting/formbuttons.h"

#include <QPushButton>

QAbstractButton* CreateFormButton(const QString& caption, QWidget* parent) {
    // Plain push buttons until the glossy CandyButton control takes their place.
    auto* button = new QPushButton(caption, parent);
    button->setMinimumSize(112, 30);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
