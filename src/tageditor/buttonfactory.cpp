#include "tageditor/buttonfactory.h"

#include <QPushButton>

QAbstractButton* MakeEditorButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}
