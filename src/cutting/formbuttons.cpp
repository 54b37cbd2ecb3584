#include "cutting/formbuttons.h"

#include "controls/candybutton.h"
#include "controls/windowfonts.h"

QAbstractButton* CreateFormButton(const QString& caption, QWidget* parent) {
    auto* button = new CandyButton(caption, parent);
    button->SetStyle(7);
    button->SetForeColor(kSysHighlight);
    // The two link buttons carry the smaller face so their captions fit the narrower buttons.
    const bool small = caption == "Homepage" || caption == "Help";
    button->SetFont(WindowFont("Arial", small ? 8.25 : 9, true));
    button->setMinimumSize(112, 30);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
