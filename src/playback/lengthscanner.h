#pragma once
// Walks every MPEG frame of a file on a worker thread for its exact playing time (a large file
// takes seconds), delivering progress and the result on the thread the scanner lives on.
// Starting a new scan cancels the running one; a cancelled scan delivers nothing more.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include <QObject>
#include <QString>

struct FrameTable;

class LengthScanner : public QObject {
    Q_OBJECT
public:
    explicit LengthScanner(QObject* parent = nullptr);
    // Cancels and waits for a running scan (a megabyte of frames at most).
    ~LengthScanner() override;

    void Scan(const QString& path);
    // Waits up to `ms` for the running scan. When it ends in time, `finished` is emitted before
    // this returns (and not again later), so ordinary files have their length at once while a
    // large one never holds the GUI longer than `ms`. True when the scan has ended.
    bool WaitBriefly(int ms);
    void Cancel();
    bool IsScanning() const { return scanning_; }
    // Share done while scanning, else negative.
    double Progress() const { return scanning_ ? progress_ : -1.0; }
    // The walk of the last scan that finished (every frame's offset), or null.
    std::shared_ptr<const FrameTable> Table() const { return table_; }

signals:
    void progressChanged(double fraction);
    // `seconds` is 0 when the file could not be read or holds no MPEG audio frames.
    void finished(double seconds);

private:
    // What the worker hands over when it ends; shared so a late worker never outlives it.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        double seconds = 0.0;
        std::shared_ptr<const FrameTable> table;
    };

    void StopWorker();

    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    std::shared_ptr<Outcome> outcome_;
    // Deliveries of older scans carry an older number and are dropped.
    uint64_t generation_ = 0;
    bool scanning_ = false;
    double progress_ = 0.0;
    std::shared_ptr<const FrameTable> table_;
};
