#include "cutting/backgroundjob.h"

#include <memory>

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include "jobs/backgroundworker.h"

namespace {

constexpr int kSteps = 1000;
constexpr int kRefreshMs = 50;
constexpr int kQuietMs = 400;

}  // namespace

bool RunBackgroundJob(QWidget* owner, const QString& label, bool showDialog,
                      const std::function<void(const JobProgress&)>& job) {
    BackgroundWorker worker;
    QEventLoop loop;
    // Queued: the loop below is running by the time the job's end is delivered.
    QObject::connect(&worker, &BackgroundWorker::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    std::unique_ptr<QProgressDialog> dialog;
    QTimer refresh;
    if (showDialog) {
        dialog = std::make_unique<QProgressDialog>(label, "Cancel", 0, kSteps, owner);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(kQuietMs);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setValue(0);
        QObject::connect(dialog.get(), &QProgressDialog::canceled, [&] { worker.RequestStop(); });
        refresh.setInterval(kRefreshMs);
        QObject::connect(&refresh, &QTimer::timeout, [&] {
            if (!dialog->wasCanceled() && worker.ShareDone() >= 0)
                dialog->setValue(static_cast<int>(worker.ShareDone() * (kSteps - 1)));
        });
        refresh.start();
    }
    worker.Start([&job](const BackgroundWorker::Progress& progress, const std::atomic<bool>&) {
        job(progress);
        return BackgroundWorker::Delivery();
    });
    loop.exec();
    refresh.stop();
    // Read before closing: closing a progress dialog counts as its Cancel.
    const bool cancelled = worker.StopRequested();
    if (dialog) dialog->close();
    return cancelled;
}
