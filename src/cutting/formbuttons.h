#pragma once
// Every push button of the cutting window is made here, so the look of all of them changes in
// one place.
#include <QAbstractButton>

QAbstractButton* CreateFormButton(const QString& caption, QWidget* parent);
