#include "cutting/lengthscanner.h"

#include <QFile>
#include <QMetaObject>

#include "analysis/framescan.h"

LengthScanner::LengthScanner(QObject* parent) : QObject(parent) {}

LengthScanner::~LengthScanner() { StopWorker(); }

void LengthScanner::StopWorker() {
    if (cancel_) cancel_->store(true);
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
}

void LengthScanner::Cancel() {
    ++generation_;
    StopWorker();
    scanning_ = false;
    progress_ = 0.0;
}

void LengthScanner::Scan(const QString& path) {
    Cancel();
    const uint64_t generation = generation_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    scanning_ = true;
    auto cancel = cancel_;
    const std::string localPath = QFile::encodeName(path).toStdString();
    worker_ = std::thread([this, generation, cancel, localPath] {
        // Posted calls run on this object's thread and are discarded with the object; the
        // destructor joins this thread before that.
        auto post = [this, generation](auto call) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, call] {
                    if (generation == generation_) call();
                },
                Qt::QueuedConnection);
        };
        int lastPercent = -1;
        auto progress = [&](double fraction) {
            if (cancel->load(std::memory_order_relaxed)) return false;
            const int percent = static_cast<int>(fraction * 100.0);
            if (percent != lastPercent) {
                lastPercent = percent;
                post([this, fraction] {
                    progress_ = fraction;
                    emit progressChanged(fraction);
                });
            }
            return true;
        };
        FrameTable table;
        const bool ok = ScanFrames(localPath, table, nullptr, progress);
        if (cancel->load()) return;
        const double seconds = ok ? table.durationSeconds : 0.0;
        post([this, seconds] {
            scanning_ = false;
            emit finished(seconds);
        });
    });
}
