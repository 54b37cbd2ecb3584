#pragma once
// The editor's two push buttons come from here so that their look can change in one place.
#include <QString>

class QAbstractButton;
class QWidget;

QAbstractButton* MakeEditorButton(const QString& name, const QString& caption, QWidget* parent);
