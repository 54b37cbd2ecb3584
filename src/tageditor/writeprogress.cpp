#include "tageditor/writeprogress.h"

#include <QProgressDialog>

WriteProgress::WriteProgress(QWidget* owner, const QString& label, bool show)
    : owner_(owner), label_(label), show_(show) {
    previous_ = mdlID3::SetCopyProgress([this](int64_t done, int64_t total) { Report(done, total); });
}

WriteProgress::~WriteProgress() {
    mdlID3::SetCopyProgress(previous_);
    if (dialog_) dialog_->close();
}

void WriteProgress::Report(int64_t done, int64_t total) {
    value_ = total > 0 ? static_cast<int>(done * 1000 / total) : 1000;
    if (!show_) return;
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(label_, QString(), 0, 1000, owner_.data());
        dialog_->setWindowTitle(QStringLiteral("Trimbel"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setWindowFlag(Qt::WindowCloseButtonHint, false);
        dialog_->setCancelButton(nullptr);
        dialog_->setAutoClose(false);
        dialog_->setMinimumDuration(500);
    }
    // A modal progress dialog processes events in setValue, so it paints while the copy runs.
    dialog_->setValue(value_);
}
