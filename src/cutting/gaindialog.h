#pragma once
// "Gain of selection...": asks for a gain in dB and shows the whole number of 1.5 dB steps it
// becomes, since the frames' global gains move only in those steps.
#include <optional>

#include <QDialog>
#include <QString>

class QDoubleSpinBox;
class QLabel;

class GainDialog : public QDialog {
    Q_OBJECT
public:
    explicit GainDialog(QWidget* parent = nullptr);

    double Db() const;
    void SetDb(double db);
    // What the step line says for `db`: "+2 steps = +3.01 dB".
    static QString StepText(double db);

    // Runs the dialog; nothing when it is cancelled.
    static std::optional<double> Ask(QWidget* parent);

    QDoubleSpinBox* Amount;
    QLabel* Steps;
};
