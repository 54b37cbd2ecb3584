#include "cutting/gaindialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "level/gainplan.h"

GainDialog::GainDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Gain of selection");
    Amount = new QDoubleSpinBox(this);
    Amount->setObjectName("Amount");
    Amount->setRange(-40.0, 40.0);
    Amount->setDecimals(1);
    Amount->setSingleStep(kStepDb);
    Amount->setSuffix(" dB");
    Steps = new QLabel(this);
    Steps->setObjectName("Steps");
    auto* note = new QLabel("MP3 frames change their level in steps of 1.5 dB, so the nearest step is taken.", this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* form = new QFormLayout;
    form->addRow("&Gain:", Amount);
    form->addRow("Applied:", Steps);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    connect(Amount, &QDoubleSpinBox::valueChanged, this, [this](double db) { Steps->setText(StepText(db)); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    SetDb(3.0);
}

double GainDialog::Db() const { return Amount->value(); }

void GainDialog::SetDb(double db) {
    Amount->setValue(db);
    Steps->setText(StepText(Amount->value()));
}

QString GainDialog::StepText(double db) {
    const int steps = StepsForDb(db);
    return QString("%1%2 step%3 = %4%5 dB")
        .arg(steps > 0 ? "+" : "")
        .arg(steps)
        .arg(steps == 1 || steps == -1 ? "" : "s")
        .arg(DbForSteps(steps) > 0 ? "+" : "")
        .arg(DbForSteps(steps), 0, 'f', 2);
}

std::optional<double> GainDialog::Ask(QWidget* parent) {
    GainDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Db();
}
