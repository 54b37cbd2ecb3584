#pragma once
// Walks every MPEG frame of a file on a worker thread for its exact playing time (a large file
// takes seconds), delivering progress and the result on the thread the scanner lives on.
// Starting a new scan cancels the running one; a cancelled scan delivers nothing more.
#include <QObject>
#include <QString>

#include "jobs/backgroundworker.h"

class LengthScanner : public QObject {
    Q_OBJECT
public:
    explicit LengthScanner(QObject* parent = nullptr);

    void Scan(const QString& path);
    // Waits up to `ms` for the running scan. When it ends in time, `finished` is emitted before
    // this returns (and not again later), so ordinary files have their length at once while a
    // large one never holds the GUI longer than `ms`. True when the scan has ended.
    bool WaitBriefly(int ms) { return worker_.WaitBriefly(ms); }
    void Cancel() { worker_.Cancel(); }
    bool IsScanning() const { return worker_.IsRunning(); }
    // Share done while scanning, else negative.
    double Progress() const { return worker_.ShareDone(); }

signals:
    void progressChanged(double fraction);
    // `seconds` is 0 when the file could not be read or holds no MPEG audio frames.
    void finished(double seconds);

private:
    // Cancels and waits for a running scan (a megabyte of frames at most) when the scanner goes.
    BackgroundWorker worker_;
};
