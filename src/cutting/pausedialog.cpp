#include "cutting/pausedialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QVBoxLayout>

PauseDialog::PauseDialog(QWidget* parent)
    : QDialog(parent), Threshold(new QDoubleSpinBox(this)), MinimumLength(new QDoubleSpinBox(this)),
      Trim(new QCheckBox("Trim the pauses away", this)) {
    setWindowTitle("Find pauses");
    const PauseOptions defaults;
    Threshold->setRange(-96.0, -6.0);
    Threshold->setDecimals(1);
    Threshold->setSingleStep(1.0);
    Threshold->setSuffix(" dB");
    Threshold->setValue(defaults.thresholdDb);
    Threshold->setToolTip("Stretches whose level stays below this count as quiet");
    MinimumLength->setRange(0.05, 60.0);
    MinimumLength->setDecimals(2);
    MinimumLength->setSingleStep(0.1);
    MinimumLength->setSuffix(" s");
    MinimumLength->setValue(defaults.minPauseSeconds);
    MinimumLength->setToolTip("Shorter quiet stretches are not pauses");
    Trim->setToolTip("Leave each pause out of the parts instead of cutting in its middle");

    auto* form = new QFormLayout;
    form->addRow("Quieter than", Threshold);
    form->addRow("For at least", MinimumLength);
    form->addRow(Trim);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

PauseChoice PauseDialog::Choice() const {
    PauseChoice choice;
    choice.options.thresholdDb = Threshold->value();
    choice.options.minPauseSeconds = MinimumLength->value();
    choice.trim = Trim->isChecked();
    return choice;
}

std::optional<PauseChoice> PauseDialog::Ask(QWidget* owner) {
    PauseDialog dialog(owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Choice();
}
