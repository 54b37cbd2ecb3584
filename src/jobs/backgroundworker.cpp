#include "jobs/backgroundworker.h"

#include <chrono>

#include <QMetaObject>

BackgroundWorker::BackgroundWorker(QObject* parent) : QObject(parent) {}

BackgroundWorker::~BackgroundWorker() { Cancel(); }

void BackgroundWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void BackgroundWorker::Cancel() {
    ++generation_;
    if (run_) run_->stop = true;
    Join();
    run_.reset();
    running_ = false;
}

void BackgroundWorker::RequestStop() {
    if (run_) run_->stop = true;
}

void BackgroundWorker::Start(Job job) {
    Cancel();
    const uint64_t generation = generation_;
    auto run = std::make_shared<Run>();
    run_ = run;
    running_ = true;
    thread_ = std::thread([this, generation, run, job = std::move(job)] {
        // Posted calls run on this object's thread and are dropped with the object; Cancel (and
        // so the destructor) joins this thread first.
        auto post = [this, generation](auto call) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, call] {
                    if (generation == generation_) call();
                },
                Qt::QueuedConnection);
        };
        int lastPercent = -1;
        const Progress progress = [&](double fraction) {
            if (run->stop.load(std::memory_order_relaxed)) return false;
            run->fraction = fraction;
            const int percent = static_cast<int>(fraction * 100.0);
            if (percent != lastPercent) {
                lastPercent = percent;
                post([this, fraction] { emit progressChanged(fraction); });
            }
            return true;
        };
        Delivery delivery = job(progress, run->stop);
        {
            std::lock_guard<std::mutex> lock(run->mutex);
            run->done = true;
            run->delivery = std::move(delivery);
        }
        run->ended.notify_all();
        post([this, run] { Deliver(run); });
    });
}

void BackgroundWorker::Deliver(const std::shared_ptr<Run>& run) {
    Join();
    running_ = false;
    if (run->delivery) run->delivery();
    emit finished();
}

bool BackgroundWorker::WaitBriefly(int ms) {
    if (!running_ || !run_) return true;
    const std::shared_ptr<Run> run = run_;
    {
        std::unique_lock<std::mutex> lock(run->mutex);
        if (!run->ended.wait_for(lock, std::chrono::milliseconds(ms), [&] { return run->done; })) return false;
    }
    // The job's own posts carry the old number now and are dropped.
    ++generation_;
    run->fraction = 1.0;
    emit progressChanged(1.0);
    Deliver(run);
    return true;
}
