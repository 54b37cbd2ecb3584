#pragma once
// Walks every MPEG frame of a file on a worker thread for its exact playing time (a large file
// takes seconds), delivering progress and the result on the thread the scanner lives on.
// Starting a new scan cancels the running one; a cancelled scan delivers nothing more.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include <QObject>
#include <QString>

class LengthScanner : public QObject {
    Q_OBJECT
public:
    explicit LengthScanner(QObject* parent = nullptr);
    // Cancels and waits for a running scan (a megabyte of frames at most).
    ~LengthScanner() override;

    void Scan(const QString& path);
    void Cancel();
    bool IsScanning() const { return scanning_; }
    // Share done while scanning, else negative.
    double Progress() const { return scanning_ ? progress_ : -1.0; }

signals:
    void progressChanged(double fraction);
    // `seconds` is 0 when the file could not be read or holds no MPEG audio frames.
    void finished(double seconds);

private:
    void StopWorker();

    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    // Deliveries of older scans carry an older number and are dropped.
    uint64_t generation_ = 0;
    bool scanning_ = false;
    double progress_ = 0.0;
};
