#pragma once
// "Find pauses...": how quiet and how long a pause is, and whether the pauses are cut away.
#include <optional>

#include <QDialog>

#include "split/pausefinder.h"

class QCheckBox;
class QDoubleSpinBox;

struct PauseChoice {
    PauseOptions options;
    bool trim = false;  // leave the pauses out of the parts instead of cutting in their middle
};

class PauseDialog : public QDialog {
    Q_OBJECT
public:
    explicit PauseDialog(QWidget* parent = nullptr);
    PauseChoice Choice() const;
    // Shows the dialog; nothing when it was cancelled.
    static std::optional<PauseChoice> Ask(QWidget* owner);

    QDoubleSpinBox* Threshold;
    QDoubleSpinBox* MinimumLength;
    QCheckBox* Trim;
};
