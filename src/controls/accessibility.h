#pragma once
// Registers the owner-drawn controls with Qt's accessibility, so screen readers get a role, a
// name and a value for each; safe to call more than once (every control's constructor does).
class QObject;
class QVariant;
class QWidget;

void InstallControlsAccessibility();

// Tells an active screen reader that a control's value or name changed; nothing when none runs.
void NotifyAccessibleValue(QWidget* control, const QVariant& value);
void NotifyAccessibleName(QWidget* control);
