#include "playback/lengthscanner.h"

#include <QFile>

#include "mpeg/framescan.h"

LengthScanner::LengthScanner(QObject* parent) : QObject(parent) {
    connect(&worker_, &BackgroundWorker::progressChanged, this, &LengthScanner::progressChanged);
}

void LengthScanner::Scan(const QString& path) {
    const std::string localPath = QFile::encodeName(path).toStdString();
    worker_.Start([this, localPath](const BackgroundWorker::Progress& progress, const std::atomic<bool>&) {
        FrameTable table;
        const double seconds = ScanFrames(localPath, table, nullptr, progress) ? table.durationSeconds : 0.0;
        return [this, seconds] { emit finished(seconds); };
    });
}
