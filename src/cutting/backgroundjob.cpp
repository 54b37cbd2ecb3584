#include "cutting/backgroundjob.h"

#include <atomic>
#include <memory>

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kSteps = 1000;
constexpr int kRefreshMs = 50;
constexpr int kQuietMs = 400;

}  // namespace

bool RunBackgroundJob(QWidget* owner, const QString& label, bool showDialog,
                      const std::function<void(const JobProgress&)>& job) {
    std::atomic<double> fraction{0.0};
    std::atomic<bool> cancel{false};
    std::unique_ptr<QThread> thread(QThread::create([&] {
        job([&](double done) {
            fraction = done;
            return !cancel.load();
        });
    }));
    QEventLoop loop;
    // Queued: the loop below is running by the time the thread's end is delivered.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    std::unique_ptr<QProgressDialog> dialog;
    QTimer refresh;
    if (showDialog) {
        dialog = std::make_unique<QProgressDialog>(label, "Cancel", 0, kSteps, owner);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(kQuietMs);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setValue(0);
        QObject::connect(dialog.get(), &QProgressDialog::canceled, [&] { cancel = true; });
        refresh.setInterval(kRefreshMs);
        QObject::connect(&refresh, &QTimer::timeout, [&] {
            if (!dialog->wasCanceled()) dialog->setValue(static_cast<int>(fraction.load() * (kSteps - 1)));
        });
        refresh.start();
    }
    thread->start();
    loop.exec();
    thread->wait();
    refresh.stop();
    // Read before closing: closing a progress dialog counts as its Cancel.
    const bool cancelled = cancel.load();
    if (dialog) dialog->close();
    return cancelled;
}
