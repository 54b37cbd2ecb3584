#include "playback/lengthscanner.h"

#include <QFile>
#include <QMetaObject>

#include "files/threadpriority.h"
#include "mpeg/framescan.h"

LengthScanner::LengthScanner(QObject* parent) : QObject(parent) {}

LengthScanner::~LengthScanner() { StopWorker(); }

void LengthScanner::StopWorker() {
    if (cancel_) cancel_->store(true);
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
    outcome_.reset();
}

void LengthScanner::Cancel() {
    ++generation_;
    StopWorker();
    scanning_ = false;
    progress_ = 0.0;
    table_.reset();
}

void LengthScanner::Scan(const QString& path) {
    Cancel();
    const uint64_t generation = generation_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    outcome_ = std::make_shared<Outcome>();
    scanning_ = true;
    auto cancel = cancel_;
    auto outcome = outcome_;
    const std::string localPath = QFile::encodeName(path).toStdString();
    worker_ = std::thread([this, generation, cancel, outcome, localPath] {
        // The walk reads the whole file: it yields to the player's decoding and reading.
        LowerThisThreadsPriority();
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
        auto table = std::make_shared<FrameTable>();
        const bool ok = ScanFrames(localPath, *table, nullptr, progress);
        if (cancel->load()) return;
        const double seconds = ok ? table->durationSeconds : 0.0;
        std::shared_ptr<const FrameTable> walked;
        if (ok) walked = std::move(table);
        {
            std::lock_guard<std::mutex> lock(outcome->mutex);
            outcome->done = true;
            outcome->seconds = seconds;
            outcome->table = walked;
        }
        outcome->ended.notify_all();
        post([this, seconds, walked] {
            scanning_ = false;
            table_ = walked;
            emit finished(seconds);
        });
    });
}

bool LengthScanner::WaitBriefly(int ms) {
    if (!scanning_ || !outcome_) return !scanning_;
    double seconds = 0.0;
    {
        std::unique_lock<std::mutex> lock(outcome_->mutex);
        if (!outcome_->ended.wait_for(lock, std::chrono::milliseconds(ms), [&] { return outcome_->done; }))
            return false;
        seconds = outcome_->seconds;
        table_ = outcome_->table;
    }
    // The worker's own queued delivery carries the old number now and is dropped.
    ++generation_;
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
    outcome_.reset();
    scanning_ = false;
    progress_ = 1.0;
    emit progressChanged(1.0);
    emit finished(seconds);
    return true;
}
