#pragma once
// Shows how far a tag write has come while it copies the audio behind a grown tag (seconds on a
// large file). Installs the tag library's copy-progress hook for its lifetime; the dialog appears
// only when the copy runs longer than half a second, and has no cancel button: a write that has
// started is finished or fails as a whole.
#include <cstdint>
#include <memory>

#include <QPointer>
#include <QString>

#include "files/safefile.h"

class QProgressDialog;
class QWidget;

class WriteProgress {
public:
    // `show` false keeps the reports without any dialog (headless runs).
    WriteProgress(QWidget* owner, const QString& label, bool show);
    ~WriteProgress();
    WriteProgress(const WriteProgress&) = delete;
    WriteProgress& operator=(const WriteProgress&) = delete;

    // Last reported share of the copy in thousandths; -1 before the first report.
    int Value() const { return value_; }
    bool HasDialog() const { return dialog_ != nullptr; }

private:
    void Report(int64_t done, int64_t total);

    QPointer<QWidget> owner_;
    QString label_;
    bool show_;
    int value_ = -1;
    std::unique_ptr<QProgressDialog> dialog_;
    mdlID3::CopyProgress previous_;
};
