#pragma once
// One long job at a time (a frame walk, a waveform decode, finding pauses, writing parts) on a
// thread of its own, so the window keeps painting. The job reports its progress and sees when to
// stop; what it produces is handed over on the thread the worker lives on (the GUI thread), with
// the progress reports before it.
//
// Starting another job, Cancel and the destructor stop the running job and wait for it (a job
// looks at its progress report often); a job stopped that way hands nothing over. RequestStop
// only asks: the job's end is still handed over, and StopRequested says it was asked.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <QObject>

class BackgroundWorker : public QObject {
    Q_OBJECT
public:
    // Share done, 0..1; false when the job should stop.
    using Progress = std::function<bool(double fraction)>;
    // What a job hands over; runs on the worker's thread. May be empty.
    using Delivery = std::function<void()>;
    // Runs on the job's thread; `stop` is what Progress answers, for code that polls a flag.
    using Job = std::function<Delivery(const Progress& progress, const std::atomic<bool>& stop)>;

    explicit BackgroundWorker(QObject* parent = nullptr);
    ~BackgroundWorker() override;

    void Start(Job job);
    void Cancel();
    void RequestStop();
    bool IsRunning() const { return running_; }
    bool StopRequested() const { return run_ && run_->stop.load(); }
    // Share done of the running job, negative when none runs.
    double ShareDone() const { return running_ && run_ ? run_->fraction.load() : -1.0; }
    // Waits up to `ms` for the running job. When it ends in time, progress 1, its delivery and
    // `finished` come before this returns (and not again later). True when no job runs any more.
    bool WaitBriefly(int ms);

signals:
    // At most once per whole percent.
    void progressChanged(double fraction);
    // A job ended and its delivery has run.
    void finished();

private:
    // What the job's thread shares with this object; shared so the thread never outlives it.
    struct Run {
        std::atomic<bool> stop{false};
        std::atomic<double> fraction{0.0};
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        Delivery delivery;
    };

    void Join();
    void Deliver(const std::shared_ptr<Run>& run);

    std::thread thread_;
    std::shared_ptr<Run> run_;
    // Posts of older jobs carry an older number and are dropped.
    uint64_t generation_ = 0;
    bool running_ = false;
};
