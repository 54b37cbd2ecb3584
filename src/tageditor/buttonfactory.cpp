#include "tageditor/buttonfactory.h"

#include "controls/candybutton.h"
#include "controls/windowfonts.h"

QAbstractButton* MakeEditorButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new CandyButton(caption, parent);
    button->setObjectName(name);
    button->SetStyle(6);
    button->SetFont(WindowFont("Tahoma", 9, false));
    button->SetCaptionHighLiteColor(0);
    button->SetIconHighLiteColor(0);
    return button;
}
