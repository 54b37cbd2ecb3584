#include "playback/lengthscanner.h"

#include <QFile>

#include "files/threadpriority.h"
#include "mpeg/framescan.h"

LengthScanner::LengthScanner(QObject* parent) : QObject(parent) {
    connect(&worker_, &BackgroundWorker::progressChanged, this, &LengthScanner::progressChanged);
}

void LengthScanner::Scan(const QString& path) {
    const std::string localPath = QFile::encodeName(path).toStdString();
    table_.reset();
    worker_.Start([this, localPath](const BackgroundWorker::Progress& progress, const std::atomic<bool>&) {
        // The walk reads the whole file: it yields to the player's decoding and reading.
        LowerThisThreadsPriority();
        auto table = std::make_shared<FrameTable>();
        const bool ok = ScanFrames(localPath, *table, nullptr, progress);
        const double seconds = ok ? table->durationSeconds : 0.0;
        std::shared_ptr<const FrameTable> walked;
        if (ok) walked = std::move(table);
        return [this, seconds, walked] {
            table_ = walked;
            emit finished(seconds);
        };
    });
}
